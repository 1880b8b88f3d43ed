// The New, Open and Build dialogs, the About box, the splash window, the application
// folder, the dialog seam, the error report and the start-up.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "generator/Generator.h"
#include "model/CTemplate.h"
#include "model/WelcomeContent.h"
#include "platform/Error.h"
#include "platform/Locale.h"
#include "ui/AppFolders.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/FAbout.h"
#include "ui/FBuild.h"
#include "ui/FMain.h"
#include "ui/FNew.h"
#include "ui/FOpen.h"
#include "ui/FSplash.h"
#include "ui/Workspace.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

QStringList ComboItems(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QStringList ListItems(QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// An application folder in a temporary folder with its Projects folder.
struct TFolders {
    TFolders() : Workspace(Temp.Path() + "/") { MakeFolder(Temp / "Projects"); }
    std::string Projects(const std::string& name = "") const {
        return Workspace.ProjectsFolder() + name;
    }
    TTempFolder Temp;
    TScriptedPrompter Prompter;
    TWorkspace Workspace;
};

// A throwing object, to reach the application's own error report.
class TThrowingObject : public QObject {
  public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw TError("The user event failed", "/tmp/Some.Clm");
        return QObject::event(e);
    }
};

} // namespace

class TDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void newShowsPathsKeystrokeByKeystroke();
    void newTrimsTheNameAndMakesTheProject();
    void newRefusesExistingAndEmptyNames();
    void newListsAndAppliesTemplates();
    void newStaysOpenWhenTheTemplateCannotBeRead();
    void newListsTheBundledTemplatesAndTheUsersOwn();
    void newOffersTheTemplatesThatComeWithTheProgram();
    void openListsProjectFoldersOnly();
    void openMakesABlankProjectOfAnEmptyFolder();
    void openWithoutProjectsOnlyFocusesTheList();
    void enterPressesTheFocusedButtonElseTheDefault();
    void buildSumsUpTheHtmlFolder();
    void newOpenAndBuildAreCentredOnTheScreen();
    void aboutShowsTheGeneratorsNameAndVersion();
    void splashClosesAtTheFirstHandledTick();
    void applicationFolderBesideOrInTheDataFolder();
    void sandboxIsSwitchedOffOnlyForRoot();
    void dialogSeamAndErrorReport();
    void startupCreatesTheDialogsInOrder();
};

void TDialogsTest::newShowsPathsKeystrokeByKeystroke() {
    TFolders f;
    TFormNew form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("New Project"));
    QCOMPARE(form.size(), QSize(342, 200));
    QCOMPARE(form.EditName->text(), QString());
    QCOMPARE(form.EditPath->text(), Q(f.Projects()));
    QCOMPARE(form.EditHTML->text(), Q(f.Projects() + "/HTML"));
    QCOMPARE(form.focusWidget(), form.EditName);
    QVERIFY(form.EditPath->isReadOnly() && form.EditHTML->isReadOnly());
    QVERIFY(form.ButtonCreate->isDefault());
    // Tab goes through the fields as they are seen, the two paths too, so that they can be
    // selected and copied from the keyboard.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.EditName);
    for (QWidget* next :
         std::initializer_list<QWidget*>{form.ComboBoxTemp, form.EditPath, form.EditHTML,
                                         form.ButtonCreate, form.ButtonCancel, form.EditName}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }

    std::string typed;
    for (char c : std::string(" Site")) {
        QTest::keyClick(form.EditName, c);
        typed += c;
        const std::string name = TrimBlanks(typed);
        QCOMPARE(form.EditPath->text(), Q(f.Projects(name)));
        QCOMPARE(form.EditHTML->text(), Q(f.Projects(name) + "/HTML"));
    }
    // Shown again, everything starts afresh.
    form.hide();
    form.show();
    QCOMPARE(form.EditName->text(), QString());
    QCOMPARE(form.EditPath->text(), Q(f.Projects()));
}

void TDialogsTest::newTrimsTheNameAndMakesTheProject() {
    TFolders f;
    TFormNew form(f.Workspace, f.Prompter);
    form.show();
    QTest::keyClicks(form.EditName, QStringLiteral("  Site  "));
    QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(f.Workspace.IsOpen());
    QCOMPARE(f.Workspace.Project->Folder, f.Projects("Site"));
    for (const char* sub : {"", "/HTML", "/Temp", "/Images", "/Downloads"})
        QVERIFY2(FolderExists(f.Projects("Site") + sub), sub);
    QCOMPARE(RootName(f.Projects("Site/Default.Pro")), std::string("PROJECT"));
    QVERIFY(f.Prompter.Calls.isEmpty());
    // Made without a template, the project has every site option on, also on disk.
    QVERIFY(f.Workspace.Project->OPTIONS == TDOptions::ForNewProject());
    TXmlDocument document;
    TDProject reopened(f.Projects("Site"), document);
    QVERIFY(reopened.OPTIONS == TDOptions::ForNewProject());
    QCOMPARE(reopened.OPTIONS.PICTURE_SIZE, 1600);
    // It is Modern, in the language of the locale, with the Modern pages' words on disk.
    QCOMPARE(reopened.OPTIONS.DESIGN, std::string("Modern"));
    QVERIFY(!reopened.OPTIONS.SITE_LANGUAGE.empty());
    QCOMPARE(reopened.HOTSPOT.FORMAT, std::string("Markdown"));
    QVERIFY(ReadFileBytes(f.Projects("Site/Default.Pro")).find("<SKIP_TO_CONTENT>") !=
            std::string::npos);
    // Never blank: the first column holds the welcome page, in the site's language.
    QCOMPARE(reopened.MenuCount, 1);
    QCOMPARE(reopened.MenuItem(0).TITLE,
             std::string(WelcomeWordsFor(reopened.OPTIONS.SITE_LANGUAGE).ColumnTitle));
    QVERIFY(FileExists(reopened.ColumnFile(0)));
}

void TDialogsTest::newRefusesExistingAndEmptyNames() {
    TFolders f;
    MakeProject(f.Projects("Site"), {{"News", {"One"}}});
    const auto existing = Snapshot(f.Projects("Site"));
    TFormNew form(f.Workspace, f.Prompter);
    form.show();

    // Blank names: nothing but the focus.
    QTest::keyClicks(form.EditName, QStringLiteral("   "));
    form.ButtonCreateClick();
    QVERIFY(form.isVisible());
    QVERIFY(f.Prompter.Calls.isEmpty());

    // Names of a folder that exists, and a name with a separator, which says so.
    const struct {
        const char* Name;
        QString Message;
    } refused[] = {
        {"Site", QStringLiteral("Information: \"Site\" exists, try another name!")},
        {" Site ", QStringLiteral("Information: \"Site\" exists, try another name!")},
        {"Sub/Folder", QStringLiteral("Information: A project name cannot contain \"/\".")},
    };
    for (const auto& r : refused) {
        form.EditName->setText(QString::fromLatin1(r.Name));
        QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
        QVERIFY(form.isVisible());
        QCOMPARE(f.Prompter.TakeCalls(), QStringList{r.Message});
        QCOMPARE(form.focusWidget(), form.EditName);
    }
    QVERIFY(!f.Workspace.IsOpen());
    QVERIFY(Snapshot(f.Projects("Site")) == existing);
    QVERIFY(!FolderExists(f.Projects("Sub")));
}

void TDialogsTest::newListsAndAppliesTemplates() {
    TFolders f;
    // A template saved from a project with a background picture.
    MakeProject(f.Temp / "Model", {{"News", {"One"}}});
    {
        TXmlDocument document;
        TDProject model(f.Temp / "Model", document);
        model.FRAME.BACKGROUND = "Paper.gif";
        model.TOPIC.CAPTION = "Not in the template";
        model.Save();
        WriteFileBytes(f.Temp / "Model/Images/Paper.gif", "GIF89a-paper");
        MakeFolder(f.Temp / "Templates");
        SaveAsTemplate(model, f.Temp / "Templates/Shop.tmp");
    }
    // None of these is offered: hidden, lower-case extension, a folder.
    WriteFileBytes(f.Temp / "Templates/.Hidden.Tmp", "x");
    WriteFileBytes(f.Temp / "Templates/Lower.tmp", "x");
    MakeFolder(f.Temp / "Templates/Folder.Tmp");

    TFormNew form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(ComboItems(form.ComboBoxTemp), QStringList({"[Blank Project]", "Shop"}));
    QCOMPARE(form.ComboBoxTemp->currentIndex(), 0);
    QVERIFY(!form.ComboBoxTemp->isEditable());

    form.EditName->setText(QStringLiteral("Shop Site"));
    form.ComboBoxTemp->setCurrentIndex(1);
    QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
    QVERIFY(f.Workspace.IsOpen());
    const TDProject& project = *f.Workspace.Project;
    QCOMPARE(project.FRAME.BACKGROUND, std::string("Background.gif"));
    QCOMPARE(ReadFileBytes(f.Projects("Shop Site/Images/Background.gif")),
             std::string("GIF89a-paper"));
    // The welcome column, English in a project without a site language.
    QCOMPARE(project.MenuCount, 1);
    QCOMPARE(project.MenuItem(0).TITLE, std::string("Welcome"));
    QVERIFY(project.TOPIC.CAPTION != "Not in the template");
    QCOMPARE(RootName(f.Projects("Shop Site/Default.Pro")), std::string("TEMPLATE"));
    // The template was saved from a project without options: so is the new one.
    QVERIFY(project.OPTIONS == TDOptions());
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogsTest::newStaysOpenWhenTheTemplateCannotBeRead() {
    TFolders f;
    MakeFolder(f.Temp / "Templates");
    WriteFileBytes(f.Temp / "Templates/Broken.Tmp", "<TEMPLATE><FRAME>");
    TFormNew form(f.Workspace, f.Prompter);
    form.show();
    form.EditName->setText(QStringLiteral("Site"));
    form.ComboBoxTemp->setCurrentIndex(1);
    QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QVERIFY(!f.Workspace.IsOpen());
    QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].startsWith("Error: ") && calls[0].contains("Broken.Tmp"),
             qPrintable(calls[0]));
    // The folder that the failed try made is gone with all it made, so the name can be
    // tried again: with the blank project it is made.
    QVERIFY(!FolderExists(f.Projects("Site")));
    QVERIFY(ListFolder(f.Temp / "Projects").empty());
    form.ComboBoxTemp->setCurrentIndex(0);
    QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
    QVERIFY(f.Prompter.Calls.isEmpty());
    QVERIFY(f.Workspace.IsOpen());
    QCOMPARE(f.Workspace.Project->Folder, f.Projects("Site"));
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

void TDialogsTest::newListsTheBundledTemplatesAndTheUsersOwn() {
    TTempFolder temp;
    const std::string app = temp / "App/", bundled = temp / "Bundled/";
    for (const std::string& folder : {app, app + "Projects", app + "Templates", bundled})
        MakeFolder(folder);
    // Each template carries a background picture that tells it apart.
    int models = 0;
    auto saveTemplate = [&](const std::string& file, const std::string& picture) {
        const std::string model = temp / ("Model" + std::to_string(++models));
        MakeProject(model, {});
        TXmlDocument document;
        TDProject project(model, document);
        project.FRAME.BACKGROUND = "Paper.gif";
        project.Save();
        WriteFileBytes(project.ImagesPath() + "Paper.gif", picture);
        SaveAsTemplate(project, file);
    };
    saveTemplate(app + "Templates/Shop.Tmp", "GIF89a-users-shop");
    saveTemplate(app + "Templates/Mine.Tmp", "GIF89a-mine");
    saveTemplate(bundled + "Shop.Tmp", "GIF89a-bundled-shop");
    saveTemplate(bundled + "Night.Tmp", "GIF89a-night");

    TScriptedPrompter prompter;
    TWorkspace workspace(app, bundled);
    TFormNew form(workspace, prompter);
    // Makes a project from the template at index and gives its background picture.
    auto create = [&](const std::string& name, int index) {
        form.show();
        form.EditName->setText(Q(name));
        form.ComboBoxTemp->setCurrentIndex(index);
        QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
        if (!workspace.IsOpen())
            return std::string("no project");
        workspace.Project.reset();
        return ReadFileBytes(app + "Projects/" + name + "/Images/Background.gif");
    };

    form.show();
    // Both folders in one list by name; the user's Shop stands for both.
    QCOMPARE(ComboItems(form.ComboBoxTemp),
             QStringList({"[Blank Project]", "Mine", "Night", "Shop"}));
    QCOMPARE(form.ComboBoxTemp->currentIndex(), 0);
    QCOMPARE(create("From Mine", 1), std::string("GIF89a-mine"));
    QCOMPARE(create("From Night", 2), std::string("GIF89a-night"));
    QCOMPARE(create("From Shop", 3), std::string("GIF89a-users-shop"));

    // A template the user saves under a bundled name takes its place from the next showing.
    saveTemplate(app + "Templates/Night.Tmp", "GIF89a-users-night");
    form.show();
    QCOMPARE(ComboItems(form.ComboBoxTemp),
             QStringList({"[Blank Project]", "Mine", "Night", "Shop"}));
    QCOMPARE(create("From Night Again", 2), std::string("GIF89a-users-night"));
    QVERIFY(prompter.Calls.isEmpty());

    // Without a bundled folder, the user's own alone, as before.
    TWorkspace alone(app);
    TFormNew formAlone(alone, prompter);
    formAlone.show();
    QCOMPARE(ComboItems(formAlone.ComboBoxTemp),
             QStringList({"[Blank Project]", "Mine", "Night", "Shop"}));
    std::filesystem::remove(app + "Templates/Night.Tmp");
    formAlone.hide();
    formAlone.show();
    QCOMPARE(ComboItems(formAlone.ComboBoxTemp), QStringList({"[Blank Project]", "Mine", "Shop"}));
}

void TDialogsTest::newOffersTheTemplatesThatComeWithTheProgram() {
    // The templates of this build, beside the program, as the New dialog of a first start
    // finds them: the user has none of his own yet.
    TFolders f;
    TWorkspace workspace(f.Temp.Path() + "/", CORVANE_BUNDLED_TEMPLATES);
    TFormNew form(workspace, f.Prompter);
    form.show();
    const QStringList names = {"Hiking Club", "Night", "Small Business"};
    QCOMPARE(ComboItems(form.ComboBoxTemp), QStringList{"[Blank Project]"} + names);

    // The green club look is the sample project's.
    TTempFolder sampleCopy;
    std::filesystem::copy(SourceFolder() + "/examples/Sample", sampleCopy / "Sample",
                          std::filesystem::copy_options::recursive);
    TXmlDocument sampleDocument;
    const TDProject sample(sampleCopy / "Sample", sampleDocument);
    // The fixed words of a new English site: every template is in one language throughout.
    TTempFolder englishFolder;
    TXmlDocument englishDocument;
    TDProject english(englishFolder.Path(), englishDocument);
    english.OPTIONS = TDOptions::ForNewProject("en");
    english.FitLanguageToDesign();

    std::vector<TDColor> colors;
    for (int i = 0; i < names.size(); ++i) {
        const std::string name = "Site " + std::to_string(i + 1);
        form.show();
        form.EditName->setText(Q(name));
        form.ComboBoxTemp->setCurrentIndex(i + 1);
        QTest::mouseClick(form.ButtonCreate, Qt::LeftButton);
        QVERIFY2(workspace.IsOpen(), qPrintable(names[i]));
        TDProject& project = *workspace.Project;
        QCOMPARE(project.MenuCount, 1); // the welcome column
        QVERIFY2(project.LANGUAGE == english.LANGUAGE, qPrintable(names[i]));
        // Starter texts of its own where a user's template has none.
        QVERIFY(!project.TOPIC.CAPTION.empty() && !(project.TOPIC.CAPTION == TDTopic().CAPTION));
        QVERIFY(!project.HOTSPOT.TEXT.empty());
        QCOMPARE(project.HOTSPOT.FORMAT, std::string("Markdown"));
        // Each brings its background and button pictures, GIF files that the site shows.
        QCOMPARE(project.FRAME.BACKGROUND, std::string("Background.gif"));
        QCOMPARE(project.MENU.BUTTON, std::string("Button.gif"));
        for (const char* picture : {"Background.gif", "Button.gif"})
            QCOMPARE(ReadFileBytes(project.ImagesPath() + picture).substr(0, 4),
                     std::string("GIF8"));
        project.AddMenuItem(false)->TITLE = "News";
        project.Save();
        Build(project, "HTML");
        const std::string home = project.HTMLPath() + project.FRAME.HOMEPAGE + ".htm";
        QVERIFY2(FileExists(home), home.c_str());
        // The templates are Modern: the background is the style sheet's, the menu has no
        // button pictures.
        QVERIFY(project.OPTIONS.IsModern());
        QVERIFY(ReadFileBytes(project.HTMLPath() + "corvane.css").find("url(\"Background.gif\")") !=
                std::string::npos);
        QVERIFY(FileExists(project.HTMLPath() + "Background.gif"));
        if (i == 0) {
            QVERIFY(project.COLOR == sample.COLOR);
            QVERIFY(project.FRAME.FRAME == sample.FRAME.FRAME);
            QCOMPARE(ReadFileBytes(project.ImagesPath() + "Background.gif"),
                     ReadFileBytes(sample.ImagesPath() + sample.FRAME.BACKGROUND));
        }
        colors.push_back(project.COLOR);
        workspace.Project.reset();
    }
    // Three looks, not one.
    QVERIFY(!(colors[0] == colors[1]) && !(colors[1] == colors[2]) && !(colors[0] == colors[2]));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogsTest::openListsProjectFoldersOnly() {
    TFolders f;
    MakeProject(f.Projects("Beta"), {{"News", {"One"}}});
    MakeFolder(f.Projects("Alpha"));
    MakeFolder(f.Projects(".Hidden"));
    WriteFileBytes(f.Projects("Notes.txt"), "not a project");

    TFormOpen form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Open Project"));
    QCOMPARE(ListItems(form.ListView), QStringList({"Alpha", "Beta"}));
    QCOMPARE(form.ListView->currentRow(), 0);
    QCOMPARE(form.focusWidget(), form.ListView);

    // A double click opens the folder under the mouse.
    QListWidgetItem* beta = form.ListView->item(1);
    const QPoint at = form.ListView->visualItemRect(beta).center();
    QTest::mouseClick(form.ListView->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form.ListView->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(f.Workspace.IsOpen());
    QCOMPARE(f.Workspace.Project->Folder, f.Projects("Beta"));
    QCOMPARE(f.Workspace.Project->MenuCount, 1);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogsTest::openMakesABlankProjectOfAnEmptyFolder() {
    TFolders f;
    MakeFolder(f.Projects("Empty"));
    TFormOpen form(f.Workspace, f.Prompter);
    form.show();
    QTest::mouseClick(form.ButtonOpen, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(f.Workspace.IsOpen());
    QCOMPARE(f.Workspace.Project->MenuCount, 0);
    for (const char* sub : {"/HTML", "/Temp", "/Images", "/Downloads"})
        QVERIFY2(FolderExists(f.Projects("Empty") + sub), sub);
    QCOMPARE(RootName(f.Projects("Empty/Default.Pro")), std::string("PROJECT"));

    // A project folder whose Default.Pro cannot be read: the error, and the dialog stays.
    f.Workspace.Project.reset();
    WriteFileBytes(f.Projects("Empty/Default.Pro"), "<PROJECT>");
    form.show();
    QTest::mouseClick(form.ButtonOpen, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QVERIFY(!f.Workspace.IsOpen());
    const QStringList calls = f.Prompter.TakeCalls();
    QVERIFY(calls.size() == 1 && calls[0].startsWith("Error: ") &&
            calls[0].contains("Default.Pro"));
}

void TDialogsTest::openWithoutProjectsOnlyFocusesTheList() {
    TFolders f;
    TFormOpen form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.ListView->count(), 0);
    form.ButtonOpen->setFocus();
    QTest::mouseClick(form.ButtonOpen, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QVERIFY(!f.Workspace.IsOpen());
    QCOMPARE(form.focusWidget(), form.ListView);
    QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogsTest::enterPressesTheFocusedButtonElseTheDefault() {
    TFolders f;
    MakeFolder(f.Projects("Beta"));

    // New: Enter on the focused Cancel cancels and makes nothing ...
    TFormNew formNew(f.Workspace, f.Prompter);
    formNew.show();
    QTest::keyClicks(formNew.EditName, QStringLiteral("Site"));
    formNew.ButtonCancel->setFocus();
    QTest::keyClick(formNew.ButtonCancel, Qt::Key_Return);
    QVERIFY(!formNew.isVisible());
    QCOMPARE(formNew.result(), int(QDialog::Rejected));
    QVERIFY(!FolderExists(f.Projects("Site")));
    QVERIFY(!f.Workspace.IsOpen());
    // ... and Enter in the name creates.
    formNew.show();
    QVERIFY(formNew.ButtonCreate->isDefault());
    QTest::keyClicks(formNew.EditName, QStringLiteral("Site"));
    QTest::keyClick(formNew.EditName, Qt::Key_Return);
    QCOMPARE(formNew.result(), int(QDialog::Accepted));
    QCOMPARE(f.Workspace.Project->Folder, f.Projects("Site"));
    f.Workspace.Project.reset();

    // Open: the same with Cancel, and Enter in the list opens the selected project.
    TFormOpen formOpen(f.Workspace, f.Prompter);
    formOpen.show();
    formOpen.ButtonCancel->setFocus();
    QTest::keyClick(formOpen.ButtonCancel, Qt::Key_Enter);
    QCOMPARE(formOpen.result(), int(QDialog::Rejected));
    QVERIFY(!f.Workspace.IsOpen());
    formOpen.show();
    QCOMPARE(ListItems(formOpen.ListView), QStringList({"Beta", "Site"}));
    QTest::keyClick(formOpen.ListView, Qt::Key_End);
    QTest::keyClick(formOpen.ListView, Qt::Key_Return);
    QCOMPARE(formOpen.result(), int(QDialog::Accepted));
    QCOMPARE(f.Workspace.Project->Folder, f.Projects("Site"));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogsTest::buildSumsUpTheHtmlFolder() {
    TFolders f;
    MakeFolder(f.Projects("Site"));
    f.Workspace.Project = std::make_unique<TDProject>(f.Projects("Site"), f.Workspace.XMLDoc);
    TDProject& project = *f.Workspace.Project;
    Build(project, "HTML");
    MakeFolder(f.Projects("Site/HTML/Sub"));
    WriteFileBytes(f.Projects("Site/HTML/Sub/NotCounted.htm"), "sub-folders do not count");

    TFormBuild form(f.Workspace);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Build"));
    QCOMPARE(form.size(), QSize(354, 176));
    QCOMPARE(form.EditPath->text(), Q(project.HTMLPath()));
    QCOMPARE(form.LabelHome->text(), QStringLiteral("Default.htm"));
    QCOMPARE(form.LabelCount->text(), QStringLiteral("1 Files"));
    QCOMPARE(form.LabelSize->text(), QStringLiteral("17 Byte"));
    QCOMPARE(form.focusWidget(), form.ButtonClose);
    QVERIFY(form.LabelCount->font().bold());

    // Shown again after more files came: counted afresh, with the thousands separator.
    project.FRAME.HOMEPAGE = "Index";
    WriteFileBytes(f.Projects("Site/HTML/Big.gif"), std::string(1000000, 'x'));
    SetThousandsSeparator(" ");
    form.hide();
    form.show();
    SetThousandsSeparator("");
    QCOMPARE(form.LabelHome->text(), QStringLiteral("Index.htm"));
    QCOMPARE(form.LabelCount->text(), QStringLiteral("2 Files"));
    QCOMPARE(form.LabelSize->text(), QStringLiteral("1 000 017 Byte"));
    QVERIFY(!form.LabelNotes->isVisible());
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());

    // A note of the build (a sitemap without the site's address) shows under the summary.
    f.Workspace.BuildNotes = {"No sitemap was written: the domain \"http://\" (Page > Topic...) "
                              "is not an absolute http:// or https:// address"};
    form.show();
    QVERIFY(form.LabelNotes->isVisible());
    QCOMPARE(form.LabelNotes->text(), Q(f.Workspace.BuildNotes[0]));
    QCOMPARE(form.width(), 354);
    QVERIFY(form.height() > 176);
    QVERIFY(form.LabelNotes->geometry().bottom() < form.ButtonClose->geometry().top());
    form.hide();
    f.Workspace.BuildNotes.clear();
    form.show();
    QVERIFY(!form.LabelNotes->isVisible());
    QCOMPARE(form.size(), QSize(354, 176));
    form.hide();
}

void TDialogsTest::newOpenAndBuildAreCentredOnTheScreen() {
    TFolders f;
    MakeFolder(f.Projects("Site"));
    f.Workspace.Project = std::make_unique<TDProject>(f.Projects("Site"), f.Workspace.XMLDoc);
    // A main window in a corner of the screen: each dialog is centred on the screen all the
    // same, every time it is shown, also after the user moved it.
    QWidget owner;
    owner.setGeometry(10, 10, 300, 200);
    owner.show();
    TFormNew formNew(f.Workspace, f.Prompter, &owner);
    TFormOpen formOpen(f.Workspace, f.Prompter, &owner);
    TFormBuild formBuild(f.Workspace, &owner);
    for (QDialog* form : std::initializer_list<QDialog*>{&formNew, &formOpen, &formBuild}) {
        for (int showing = 0; showing < 2; ++showing) {
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form));
            const QPoint centre = form->screen()->availableGeometry().center();
            QVERIFY2((form->frameGeometry().center() - centre).manhattanLength() <= 2,
                     qPrintable(form->objectName()));
            form->move(5, 5);
            form->hide();
        }
    }
}

void TDialogsTest::aboutShowsTheGeneratorsNameAndVersion() {
    TFormAbout form;
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("About"));
    QCOMPARE(form.Label1->font().pixelSize(), 21);
    QCOMPARE(form.Image1->pixmap().size(), QSize(32, 32));
    QCOMPARE(form.focusWidget(), form.ButtonClose);
    QVERIFY(!form.Label3->text().isEmpty() && !form.Label4->text().isEmpty());

    // The same name and version as the generator's meta tag in every page.
    TTempFolder temp;
    MakeProject(temp / "Site", {{"News", {}}});
    TXmlDocument document;
    TDProject project(temp / "Site", document);
    BuildPreview(project);
    const std::string page = ReadFileBytes(project.PreviewFile());
    const std::string identity =
        (form.Label1->text() + " " + form.Label2->text().mid(9)).toStdString();
    QCOMPARE(form.Label2->text().left(9), QStringLiteral("Version: "));
    QVERIFY2(page.find("<meta name=\"generator\" content=\"" + identity + "\">") !=
                 std::string::npos,
             identity.c_str());

    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
}

void TDialogsTest::splashClosesAtTheFirstHandledTick() {
    QPointer<TFormSplash> splash = new TFormSplash;
    QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!splash->isEnabled());
    QCOMPARE(splash->size(), QSize(454, 280));
    QCOMPARE(splash->Image1->pixmap().size(), QSize(454, 280));
    QCOMPARE(splash->Timer->interval(), 1000);
    QVERIFY(splash->Timer->isActive());
    splash->ShowAtOnce();
    QVERIFY(splash->isVisible());

    // Start-up takes longer than a second without an event loop: the splash stays ...
    QThread::msleep(1200);
    QVERIFY(!splash.isNull() && splash->isVisible());
    // ... and goes as soon as the event loop runs.
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 3000);
}

void TDialogsTest::applicationFolderBesideOrInTheDataFolder() {
    struct TRow {
        bool Installed;
        const char* Xdg;
        const char* Home;
        const char* Expected;
    };
    const TRow rows[] = {
        {false, "/data", "/home/me", "/opt/corvane/bin/"},
        {true, "/data", "/home/me", "/data/Corvane/"},
        {true, "/data/", "/home/me", "/data/Corvane/"},
        {true, "", "/home/me", "/home/me/.local/share/Corvane/"},
        {true, nullptr, "/home/me/", "/home/me/.local/share/Corvane/"},
        {true, "relative/data", "/home/me", "/home/me/.local/share/Corvane/"},
        {true, nullptr, nullptr, "/opt/corvane/bin/"},
    };
    for (const TRow& row : rows)
        QCOMPARE(ChooseApplicationFolder("/opt/corvane/bin", row.Installed, row.Xdg, row.Home),
                 std::string(row.Expected));

    // The bundled templates: beside the program, or in the installed data folder.
    QCOMPARE(ChooseBundledTemplatesFolder("/opt/corvane/bin", false),
             std::string("/opt/corvane/bin/Templates/"));
    QCOMPARE(ChooseBundledTemplatesFolder("/opt/corvane/bin/", false),
             std::string("/opt/corvane/bin/Templates/"));
    const std::string bin = InstallBinFolder();
    QCOMPARE(ChooseBundledTemplatesFolder("/opt/corvane/bin", true),
             bin.substr(0, bin.rfind('/')) + "/share/corvane/Templates/");

    TTempFolder temp;
    QVERIFY(!IsInstalledLocation(temp.Path()));
    QVERIFY(IsInstalledLocation(temp / "missing"));
    QVERIFY(IsInstalledLocation(InstallBinFolder()));
    QVERIFY(IsInstalledLocation(InstallBinFolder() + "/"));
}

void TDialogsTest::sandboxIsSwitchedOffOnlyForRoot() {
    const char* saved = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
    const std::string keep = saved ? saved : "";
    ::unsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    PrepareWebEngineEnvironment(false);
    QVERIFY(std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr);
    PrepareWebEngineEnvironment(true);
    QCOMPARE(std::string(std::getenv("QTWEBENGINE_DISABLE_SANDBOX")), std::string("1"));
    if (saved)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", keep.c_str(), 1);
    else
        ::unsetenv("QTWEBENGINE_DISABLE_SANDBOX");
}

void TDialogsTest::dialogSeamAndErrorReport() {
    TDialogs dialogs;
    QVERIFY(!dialogs.Has(TDialogKind::Page));
    QVERIFY(!dialogs.Show(TDialogKind::Page));
    int shown = 0;
    dialogs.Register(TDialogKind::Page, [&] { return ++shown == 1; });
    QVERIFY(dialogs.Has(TDialogKind::Page));
    QVERIFY(dialogs.Show(TDialogKind::Page));
    QVERIFY(!dialogs.Show(TDialogKind::Page));
    QCOMPARE(shown, 2);

    TScriptedPrompter prompter;
    int steps = 0;
    QVERIFY(ReportErrors(prompter, [&] { ++steps; }));
    QVERIFY(!ReportErrors(prompter, [&] {
        ++steps;
        throw TError("Cannot write the file", "/x/Default.Pro");
        ++steps;
    }));
    QVERIFY(!ReportErrors(prompter, [] { throw std::runtime_error("Out of luck"); }));
    QCOMPARE(steps, 2);
    QCOMPARE(prompter.Calls.size(), 2);
    QCOMPARE(prompter.Calls[0],
             "Error: " +
                 QString::fromUtf8(TError("Cannot write the file", "/x/Default.Pro").what()));
    QVERIFY(prompter.Calls[0].contains("/x/Default.Pro"));
    QCOMPARE(prompter.Calls[1], QStringLiteral("Error: Out of luck"));

    // An error that escapes an event handler reaches the same report.
    auto* application = static_cast<TApplication*>(QCoreApplication::instance());
    application->SetPrompter(&prompter);
    TThrowingObject object;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&object, &event);
    application->SetPrompter(nullptr);
    QCOMPARE(prompter.Calls.size(), 3);
    QVERIFY(prompter.Calls[2].contains("The user event failed"));
}

void TDialogsTest::startupCreatesTheDialogsInOrder() {
    TTempFolder temp;
    TScriptedPrompter prompter;
    TProgram program(temp.Path() + "/", prompter);
    QVERIFY(FolderExists(temp / "Projects"));
    QStringList order;
    for (QDialog* dialog : program.FormMain->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        order << dialog->objectName();
    QCOMPARE(order,
             QStringList({"FormNew", "FormOpen", "FormFrame", "FormSize", "FormColor", "FormFont",
                          "FormLanguage", "FormOptions", "FormWelcome", "FormTopic", "FormMenu",
                          "FormHotspot", "FormFoot", "FormColumn", "FormPage", "FormPublish",
                          "FormBuild", "FormAbout", "FormRestore"}));
    for (TDialogKind kind :
         {TDialogKind::New, TDialogKind::Open, TDialogKind::Frame, TDialogKind::Size,
          TDialogKind::Color, TDialogKind::Font, TDialogKind::Language, TDialogKind::Options,
          TDialogKind::WelcomeBar, TDialogKind::Topic, TDialogKind::Menu, TDialogKind::Hotspot,
          TDialogKind::Foot, TDialogKind::Column, TDialogKind::Page, TDialogKind::Publish,
          TDialogKind::Build, TDialogKind::About})
        QVERIFY(program.Dialogs.Has(kind));

    // The About box through the main window, closed with Esc.
    const auto answered =
        AnswerModal(program.FormAbout, [&] { QTest::keyClick(program.FormAbout, Qt::Key_Escape); });
    program.FormMain->MenuAbout->trigger();
    QVERIFY(*answered);
    QVERIFY(!program.FormAbout->isVisible());
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogsTest.moc"
