// The site options dialog: its controls, loading and writing the record, the list of sizes
// (a size of the user's own kept), Cancel, and Style > Site Options... with the preview
// built again after OK; and the Build dialog telling why an option wrote nothing.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "model/COptions.h"
#include "model/SiteLanguage.h"
#include "ui/FBuild.h"
#include "ui/FMain.h"
#include "ui/FOptions.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

namespace {

QStringList ComboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// Clicks a check box on its box: the control is as wide as the dialog, and its middle may lie
// beyond its text, where a click does nothing.
void Toggle(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

// An application folder with one open project.
struct TFixture {
    TFixture() : Workspace(Temp.Path() + "/") {
        MakeFolder(Temp / "Projects");
        Folder = Workspace.ProjectsFolder() + "Site";
        MakeProject(Folder, {{"News", {"One"}}});
        Workspace.Project = std::make_unique<TDProject>(Folder, Workspace.XMLDoc);
    }
    TDOptions& Options() { return Workspace.Project->OPTIONS; }
    // The options as the project's file holds them.
    TDOptions Saved() {
        TXmlDocument document;
        return TDProject(Folder, document).OPTIONS;
    }
    void Show(QDialog& dialog) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    TTempFolder Temp;
    TWorkspace Workspace;
    std::string Folder;
    TScriptedPrompter Prompter;
};

} // namespace

class TOptionsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void controls();
    void showLoadsAndOKWrites();
    void designAndLanguage();
    void modernAppliesThreeOptions();
    void aSizeOfTheUsersOwnIsKept();
    void cancelWritesNothing();
    void throughTheMainWindow();
};

void TOptionsDialogTest::controls() {
    TFixture f;
    TFormOptions form(f.Workspace, f.Prompter);
    f.Show(form);
    QCOMPARE(form.objectName(), QStringLiteral("FormOptions"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Site Options"));
    const std::pair<QCheckBox*, const char*> boxes[] = {
        {form.CheckBoxMobile, "CheckBoxMobile"},
        {form.CheckBoxPageTitles, "CheckBoxPageTitles"},
        {form.CheckBoxSitemap, "CheckBoxSitemap"},
        {form.CheckBoxFeeds, "CheckBoxFeeds"},
        {form.CheckBoxAltTexts, "CheckBoxAltTexts"},
    };
    for (const auto& [box, name] : boxes) {
        QCOMPARE(box->objectName(), QString::fromLatin1(name));
        QVERIFY(!box->text().isEmpty());
    }
    QCOMPARE(ComboItems(form.ComboBoxPictureSize), QStringList({"Off", "1024", "1600", "2048"}));
    QVERIFY(!form.ComboBoxPictureSize->isEditable());
    // One line under each control, each its own.
    QStringList lines;
    for (QLabel* label : form.LabelExplanation) {
        QVERIFY(!label->text().isEmpty());
        QVERIFY(!label->text().contains(QLatin1Char('\n')));
        QVERIFY(label->isVisible());
        lines << label->text();
    }
    lines.removeDuplicates();
    QCOMPARE(lines.size(), 6);
    QVERIFY(form.ButtonOK->isDefault());
    // A project from before the designs is Classic; the chosen design has the focus.
    QVERIFY(form.RadioButtonClassic->isChecked());
    QCOMPARE(form.focusWidget(), form.RadioButtonClassic);
    QCOMPARE(form.ComboBoxSiteLanguage->count(), int(std::size(CommonSiteLanguages)));
    QCOMPARE(form.ComboBoxSiteLanguage->itemText(0), QStringLiteral("English (en)"));
    QVERIFY(!form.LabelModern->text().isEmpty() && !form.LabelClassic->text().isEmpty());
}

void TOptionsDialogTest::showLoadsAndOKWrites() {
    TFixture f;
    // A project from before the options: everything off.
    QVERIFY(f.Options() == TDOptions());
    TFormOptions form(f.Workspace, f.Prompter);
    f.Show(form);
    for (QCheckBox* box : {form.CheckBoxMobile, form.CheckBoxPageTitles, form.CheckBoxSitemap,
                           form.CheckBoxFeeds, form.CheckBoxAltTexts})
        QVERIFY(!box->isChecked());
    QCOMPARE(form.ComboBoxPictureSize->currentText(), QStringLiteral("Off"));

    Toggle(form.CheckBoxMobile);
    Toggle(form.CheckBoxFeeds);
    form.ComboBoxPictureSize->setCurrentIndex(1);
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    TDOptions expected;
    expected.MOBILE = expected.FEEDS = true;
    expected.PICTURE_SIZE = 1024;
    QVERIFY(f.Options() == expected);
    QVERIFY(f.Saved() == expected);

    // Shown again, the controls load what the record now holds; each option by itself.
    f.Options() = TDOptions::ForNewProject("de");
    f.Options().SITEMAP = false;
    f.Show(form);
    QVERIFY(form.CheckBoxMobile->isChecked() && form.CheckBoxPageTitles->isChecked() &&
            !form.CheckBoxSitemap->isChecked() && form.CheckBoxFeeds->isChecked() &&
            form.CheckBoxAltTexts->isChecked());
    QCOMPARE(form.ComboBoxPictureSize->currentText(), QStringLiteral("1600"));
    // Modern: the three boxes the design applies do not take a click.
    Toggle(form.CheckBoxPageTitles);
    Toggle(form.CheckBoxFeeds);
    form.ComboBoxPictureSize->setCurrentIndex(0);
    QTest::keyClick(&form, Qt::Key_Return);
    expected = TDOptions();
    expected.MOBILE = expected.PAGE_TITLES = expected.ALT_TEXTS = true;
    expected.DESIGN = "Modern";
    expected.SITE_LANGUAGE = "de";
    QVERIFY(f.Saved() == expected);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

// The design and the site's language: the list and the tag field agree, a tag that is not
// one is refused by name, the language table follows the design, and a project that stays
// Classic keeps its file's bytes.
void TOptionsDialogTest::designAndLanguage() {
    TFixture f;
    f.Workspace.Project->Save();
    const std::string classic = ReadFileBytes(f.Folder + "/Default.Pro");
    TFormOptions form(f.Workspace, f.Prompter);
    f.Show(form);
    QCOMPARE(form.EditSiteLanguage->text(), QString());
    QCOMPARE(form.ComboBoxSiteLanguage->currentIndex(), -1);
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(ReadFileBytes(f.Folder + "/Default.Pro"), classic);

    // Modern, in German picked from the list.
    f.Show(form);
    QTest::mouseClick(form.RadioButtonModern, Qt::LeftButton, {}, QPoint(8, 8));
    const int german = form.ComboBoxSiteLanguage->findData(QStringLiteral("de"));
    QCOMPARE(form.ComboBoxSiteLanguage->itemText(german), QStringLiteral("German (de)"));
    form.ComboBoxSiteLanguage->setCurrentIndex(german);
    emit form.ComboBoxSiteLanguage->activated(german);
    QCOMPARE(form.EditSiteLanguage->text(), QStringLiteral("de"));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    TXmlDocument document;
    {
        const TDProject saved(f.Folder, document);
        QCOMPARE(saved.OPTIONS.DESIGN, std::string("Modern"));
        QCOMPARE(saved.OPTIONS.SITE_LANGUAGE, std::string("de"));
        QCOMPARE(saved.LANGUAGE.Count, 23);
        QCOMPARE(saved.LANGUAGE.Lookup("SKIP_TO_CONTENT"), std::string("Zum Inhalt springen"));
    }

    // A tag typed by hand selects its language, in its usual case; one that is no tag is
    // refused by name and nothing is written.
    f.Show(form);
    QVERIFY(form.RadioButtonModern->isChecked());
    QCOMPARE(form.ComboBoxSiteLanguage->currentIndex(), german);
    form.EditSiteLanguage->selectAll();
    QTest::keyClicks(form.EditSiteLanguage, QStringLiteral("pt-br"));
    QCOMPARE(form.ComboBoxSiteLanguage->currentData().toString(), QStringLiteral("pt-BR"));
    QTest::keyClicks(form.EditSiteLanguage, QStringLiteral("-"));
    QCOMPARE(form.ComboBoxSiteLanguage->currentIndex(), -1);
    const std::string before = ReadFileBytes(f.Folder + "/Default.Pro");
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(f.Prompter.Calls,
             QStringList({"Information: \"pt-br-\" is not a language tag. Pick a language "
                          "from the list or type a tag such as en, de or pt-BR."}));
    QCOMPARE(form.focusWidget(), form.EditSiteLanguage);
    QCOMPARE(ReadFileBytes(f.Folder + "/Default.Pro"), before);
    form.EditSiteLanguage->setText(QStringLiteral(" sr_latn "));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Options().SITE_LANGUAGE, std::string("sr-Latn"));
    // No words of its own for Serbian: the German ones became English.
    QCOMPARE(f.Workspace.Project->LANGUAGE.Lookup("SKIP_TO_CONTENT"),
             std::string("Skip to content"));

    // Back to Classic: the Modern words leave the table.
    f.Show(form);
    QTest::mouseClick(form.RadioButtonClassic, Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Options().DESIGN, std::string("Classic"));
    QCOMPARE(f.Workspace.Project->LANGUAGE.Count, 18);
}

// The modern pages always fit phones, title every page and give pictures their texts: while
// Modern is chosen those boxes show ticked and greyed, the stored choices unchanged, and
// Classic gets them back. Each box as "x" (ticked) or "-", in brackets when greyed.
void TOptionsDialogTest::modernAppliesThreeOptions() {
    TFixture f;
    f.Options().PAGE_TITLES = true;
    TFormOptions form(f.Workspace, f.Prompter);
    const auto boxes = [&form] {
        QString state;
        for (QCheckBox* box :
             {form.CheckBoxMobile, form.CheckBoxPageTitles, form.CheckBoxAltTexts}) {
            const QString mark = box->isChecked() ? QStringLiteral("x") : QStringLiteral("-");
            state += box->isEnabled() ? mark : QStringLiteral("[") + mark + QStringLiteral("]");
        }
        return state;
    };
    const auto choose = [](QRadioButton* design) {
        QTest::mouseClick(design, Qt::LeftButton, {}, QPoint(8, 8));
    };
    f.Show(form);
    QCOMPARE(boxes(), QStringLiteral("-x-"));
    choose(form.RadioButtonModern);
    QCOMPARE(boxes(), QStringLiteral("[x][x][x]"));
    choose(form.RadioButtonClassic);
    QCOMPARE(boxes(), QStringLiteral("-x-"));
    Toggle(form.CheckBoxMobile);
    choose(form.RadioButtonModern);
    Toggle(form.CheckBoxAltTexts); // greyed: no change
    QCOMPARE(boxes(), QStringLiteral("[x][x][x]"));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    // What was chosen for the classic pages is stored.
    TDOptions saved = f.Saved();
    QCOMPARE(saved.DESIGN, std::string("Modern"));
    QVERIFY(saved.MOBILE && saved.PAGE_TITLES && !saved.ALT_TEXTS);
    f.Show(form);
    QCOMPARE(boxes(), QStringLiteral("[x][x][x]"));
    choose(form.RadioButtonClassic);
    QCOMPARE(boxes(), QStringLiteral("xx-"));
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(f.Saved() == saved);
}

void TOptionsDialogTest::aSizeOfTheUsersOwnIsKept() {
    TFixture f;
    f.Options().PICTURE_SIZE = 800; // written by hand into Default.Pro
    TFormOptions form(f.Workspace, f.Prompter);
    f.Show(form);
    QCOMPARE(ComboItems(form.ComboBoxPictureSize),
             QStringList({"Off", "1024", "1600", "2048", "800"}));
    QCOMPARE(form.ComboBoxPictureSize->currentText(), QStringLiteral("800"));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Saved().PICTURE_SIZE, 800);
    // Once the size is one of the list's, the extra item goes.
    f.Options().PICTURE_SIZE = 2048;
    f.Show(form);
    QCOMPARE(ComboItems(form.ComboBoxPictureSize), QStringList({"Off", "1024", "1600", "2048"}));
    QCOMPARE(form.ComboBoxPictureSize->currentText(), QStringLiteral("2048"));
    QTest::keyClick(&form, Qt::Key_Escape);
}

void TOptionsDialogTest::cancelWritesNothing() {
    TFixture f;
    f.Options().SITEMAP = true;
    f.Options().PICTURE_SIZE = 1600;
    f.Workspace.Project->Save();
    const TDOptions before = f.Options();
    const auto files = Snapshot(f.Folder);
    TFormOptions form(f.Workspace, f.Prompter);
    for (int way = 0; way < 3; ++way) {
        f.Show(form);
        Toggle(form.CheckBoxMobile);
        Toggle(form.CheckBoxSitemap);
        form.ComboBoxPictureSize->setCurrentIndex(3);
        QVERIFY(form.CheckBoxMobile->isChecked() && !form.CheckBoxSitemap->isChecked());
        if (way == 0)
            QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            form.close();
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(f.Options() == before);
        QVERIFY(Snapshot(f.Folder) == files);
        // Shown again, the controls show the record, not what was clicked before Cancel.
        f.Show(form);
        QVERIFY(!form.CheckBoxMobile->isChecked());
        QVERIFY(form.CheckBoxSitemap->isChecked());
        QCOMPARE(form.ComboBoxPictureSize->currentText(), QStringLiteral("1600"));
        form.reject();
    }
}

void TOptionsDialogTest::throughTheMainWindow() {
    TTempFolder temp;
    TScriptedPrompter prompter;
    TProgram program(temp.Path() + "/", prompter);
    const std::string folder = program.Workspace.ProjectsFolder() + "Site";
    MakeProject(folder, {{"News", {"One"}}});
    program.Workspace.Project = std::make_unique<TDProject>(folder, program.Workspace.XMLDoc);
    program.FormMain->SetProjectOpen(true);
    TDProject& project = *program.Workspace.Project;
    QVERIFY(program.FormMain->MenuSiteOptions->isEnabled());
    QCOMPARE(program.FormMain->MenuSiteOptions->text().remove('&'),
             QStringLiteral("Site Options..."));
    const auto answered = AnswerModal(program.FormOptions, [&] {
        Toggle(program.FormOptions->CheckBoxMobile);
        QTest::keyClick(program.FormOptions, Qt::Key_Return);
    });
    program.FormMain->MenuSiteOptions->trigger();
    QVERIFY(*answered);
    QVERIFY(project.OPTIONS.MOBILE);
    // The preview was built again with the option.
    QVERIFY(ReadFileBytes(project.PreviewFile())
                .find("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">") !=
            std::string::npos);

    // A sitemap without the site's address: File > Build says why in its summary, once.
    project.OPTIONS.SITEMAP = true;
    project.TOPIC.DOMAIN = "http://";
    project.Save();
    QString notes;
    const auto summed = AnswerModal(program.FormBuild, [&] {
        notes = program.FormBuild->LabelNotes->isVisible() ? program.FormBuild->LabelNotes->text()
                                                           : QStringLiteral("(hidden)");
        QTest::keyClick(program.FormBuild, Qt::Key_Escape);
    });
    program.FormMain->MenuBuild->trigger();
    QVERIFY(*summed);
    QCOMPARE(notes, QStringLiteral("No sitemap was written: the domain \"http://\" (Page > "
                                   "Topic...) is not an absolute http:// or https:// address"));
    project.TOPIC.DOMAIN = "https://club.example/";
    project.Save();
    const auto summedAgain = AnswerModal(program.FormBuild, [&] {
        notes = program.FormBuild->LabelNotes->isVisible() ? program.FormBuild->LabelNotes->text()
                                                           : QStringLiteral("(hidden)");
        QTest::keyClick(program.FormBuild, Qt::Key_Escape);
    });
    program.FormMain->MenuBuild->trigger();
    QVERIFY(*summedAgain);
    QCOMPARE(notes, QStringLiteral("(hidden)"));
    QVERIFY(FileExists(project.HTMLPath() + "sitemap.xml"));

    program.FormMain->SetProjectOpen(false);
    QVERIFY(!program.FormMain->MenuSiteOptions->isEnabled());
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TOptionsDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OptionsDialogTest.moc"
