// The start page that the preview pane shows while no project is open: the recent projects
// with their pictures, a missing folder, Enter on an entry, the templates, and the check box
// that reopens the last project on start.

#include "ui/StartPage.h"
#include "UiTestSupport.h"
#include "app/Startup.h"
#include "model/CTemplate.h"
#include "ui/FMain.h"
#include "ui/FNew.h"
#include "ui/PreviewPane.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QToolButton>
#include <QWebEngineView>

#include <sys/stat.h>

namespace {

// The program over an application folder in a temporary folder, with no project open.
struct TStartFixture {
    TStartFixture() {
        QSettings(QStringLiteral("Corvane"), QStringLiteral("Corvane")).clear();
        MakeFolder(Temp / "Projects");
        MakeFolder(Temp / "Templates");
    }
    void Start() {
        Program = std::make_unique<TProgram>(Temp.Path() + "/", Prompter);
        Main().resize(900, 640);
        Main().show();
        QApplication::setActiveWindow(&Main());
    }
    TFormMain& Main() { return *Program->FormMain; }
    TStartPage& Page() { return *Main().StartPage; }
    QString Folder(const char* name) const {
        return Q(Temp / "Projects/") + QString::fromLatin1(name);
    }
    // Enter on a recent entry: true when the project's homepage was shown.
    bool EnterOn(QToolButton* entry) {
        QSignalSpy loaded(Main().WebBrowser, &QWebEngineView::loadFinished);
        QTest::keyClick(entry, Qt::Key_Return);
        return !Main().PanelPreview->StartPageShown() && (loaded.count() > 0 || loaded.wait(20000));
    }

    TTempFolder Temp;
    TScriptedPrompter Prompter;
    std::unique_ptr<TProgram> Program;
};

QImage Filled(QColor color) {
    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(color);
    return picture;
}

// The colour in the middle of what a button shows.
QColor MiddleOf(const QToolButton* button) {
    const QImage shown = button->icon().pixmap(button->iconSize()).toImage();
    return shown.pixelColor(shown.width() / 2, shown.height() / 2);
}

} // namespace

class TStartPageTest : public QObject {
    Q_OBJECT

  private slots:
    void theRecentProjectsAndTemplatesAreListedAndEnterOpensOne();
    void theReopenCheckBoxIsRememberedAndReopensTheLastProject();
};

void TStartPageTest::theRecentProjectsAndTemplatesAreListedAndEnterOpensOne() {
    TStartFixture f;
    // The last opened first: a picture of its homepage (r), a broken picture (b), the folder
    // gone, a FIFO in the picture's place (f), the folder there without its project.
    const struct {
        const char* Name;
        char Picture;
        bool Exists, HasProject;
    } rows[] = {
        {"Pictured", 'r', true, true}, {"Broken", 'b', true, true},   {"Gone", 0, false, false},
        {"Piped", 'f', true, true},    {"Emptied", 'r', true, false},
    };
    TRecentProjects recent;
    for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) {
        const QString folder = f.Folder(row->Name);
        if (row->HasProject)
            MakeProject(folder.toStdString(), {{"News", {"First"}}});
        else if (row->Exists)
            MakeFolder(folder.toStdString());
        const std::string picture = TRecentProjects::ThumbnailFile(folder).toStdString();
        QDir().mkpath(QFileInfo(Q(picture)).path());
        if (row->Picture == 'r')
            TRecentProjects::KeepThumbnail(folder, QPixmap::fromImage(Filled(Qt::red)));
        if (row->Picture == 'b')
            WriteFileBytes(picture, "\x89PNG and nothing more");
        if (row->Picture == 'f')
            QCOMPARE(::mkfifo(picture.c_str(), 0600), 0);
        recent.Add(folder);
    }
    // Amber: the colours sketched; Pictured: a picture of its own beside it; Spoilt: no
    // template to read, the placeholder.
    MakeProject(f.Temp / "Look", {});
    {
        TXmlDocument document;
        TDProject project(f.Temp / "Look", document);
        project.COLOR.TOPIC_BG = RGBColor(0xf0, 0xb8, 0x5a);
        project.COLOR.TEXT_BG = RGBColor(0x10, 0x20, 0x30);
        SaveAsTemplate(project, f.Temp / "Templates/Amber.Tmp");
        SaveAsTemplate(project, f.Temp / "Templates/Pictured.Tmp");
    }
    QVERIFY(Filled(Qt::green).save(Q(f.Temp / "Templates/Pictured.png")));
    WriteFileBytes(f.Temp / "Templates/Spoilt.Tmp", "<TEMPLATE><COLOR>");
    f.Start();
    TFormMain& m = f.Main();
    TStartPage& page = f.Page();
    QVERIFY(m.PanelPreview->StartPageShown());
    QVERIFY(!m.PanelPreview->ButtonDesktop->isVisible());
    QCOMPARE(page.RecentEntries.size(), 5);
    const QColor placeholder = MiddleOf(page.ButtonNewProject);
    for (int i = 0; i < 5; ++i) {
        const auto& row = rows[i];
        const QToolButton* entry = page.RecentEntries[i];
        const QString name = QString::fromLatin1(row.Name), text = entry->text();
        QCOMPARE(entry->accessibleName(), name);
        QVERIFY2(text.startsWith(name + u'\n' + f.Folder(row.Name) + u'\n'), qPrintable(text));
        QCOMPARE(text.endsWith(QStringLiteral("The folder is missing")), !row.Exists);
        QCOMPARE(text.contains(QStringLiteral("Last change: ")), row.HasProject);
        QVERIFY(!entry->accessibleDescription().isEmpty());
        const QPalette& colors = entry->palette();
        QCOMPARE(colors.color(QPalette::ButtonText) ==
                     colors.color(QPalette::Disabled, QPalette::ButtonText),
                 !row.Exists);
        QCOMPARE(MiddleOf(entry), row.Picture == 'r' ? QColor(Qt::red) : placeholder);
    }
    // The last project has the focus; Tab goes down the list to the check box, the templates
    // and on.
    QTRY_VERIFY(page.RecentEntries[0]->hasFocus());
    QList<QWidget*> order(page.RecentEntries.begin() + 1, page.RecentEntries.end());
    order << page.CheckBoxReopenLast << page.ButtonNewProject;
    order.append(QList<QWidget*>(page.TemplateEntries.begin(), page.TemplateEntries.end()));
    order << page.ButtonOpenProject << page.ButtonUserManual;
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }

    // Enter on the missing one, or on the one without its project, says so and takes it off
    // the list with its picture; nothing opens, nothing is written into the folder.
    const std::pair<int, QString> gone[] = {
        {4, QStringLiteral("Information: There is no project in ") + f.Folder("Emptied") +
                QStringLiteral(" any more.")},
        {2, QStringLiteral("Information: The project folder ") + f.Folder("Gone") +
                QStringLiteral(" is no longer there; it is taken off the list.")},
    };
    qsizetype left = 5;
    for (const auto& [i, said] : gone) {
        const QString folder = f.Folder(rows[i].Name);
        QVERIFY(!f.EnterOn(page.RecentEntries[i]));
        QCOMPARE(f.Prompter.TakeCalls(), QStringList{said});
        QCOMPARE(page.RecentEntries.size(), --left);
        QVERIFY(!recent.Folders().contains(folder));
        QVERIFY(!QFileInfo::exists(TRecentProjects::ThumbnailFile(folder)));
        QVERIFY(!rows[i].Exists || QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    }

    QCOMPARE(page.TemplateEntries.size(), 3);
    const QImage amber = TStartPage::TemplatePicture(f.Temp / "Templates/Amber.Tmp").toImage();
    QCOMPARE(amber.pixelColor(amber.width() / 2, 4), QColor(0xf0, 0xb8, 0x5a));
    QCOMPARE(amber.pixelColor(amber.width() - 12, amber.height() - 20), QColor(0x10, 0x20, 0x30));
    QCOMPARE(MiddleOf(page.TemplateEntries[1]), QColor(Qt::green));
    QCOMPARE(MiddleOf(page.TemplateEntries[2]), MiddleOf(page.ButtonNewProject));
    QCOMPARE(page.TemplateEntries[0]->accessibleName(), QStringLiteral("New project from Amber"));
    QCOMPARE(page.ButtonOpenProject->accessibleName(), QStringLiteral("Open a project"));

    // Enter on a template: the New dialog with that template chosen; New blank project: none.
    TFormNew* dialog = f.Program->FormNew;
    for (const auto& [entry, chosen] :
         {std::pair<QToolButton*, QString>{page.TemplateEntries[1], QStringLiteral("Pictured")},
          {page.ButtonNewProject, QStringLiteral("[Blank Project]")}}) {
        QString shown;
        const auto answered = AnswerModal(dialog, [&shown, dialog] {
            shown = dialog->ComboBoxTemp->currentText();
            dialog->reject();
        });
        QTest::keyClick(entry, Qt::Key_Return);
        QVERIFY(*answered);
        QCOMPARE(shown, chosen);
        QVERIFY(f.Program->Workspace.NewProjectTemplate.empty());
    }

    // Enter on the second opens it, and it goes first.
    QVERIFY(f.EnterOn(page.RecentEntries[1]));
    QCOMPARE(m.windowTitle(), QStringLiteral("Corvane - ") + f.Folder("Broken"));
    QVERIFY(m.PanelPreview->ButtonDesktop->isVisible());
    QCOMPARE(recent.Folders().first(), f.Folder("Broken"));
    QVERIFY(f.Prompter.Calls.isEmpty());

    // The list keeps the last eight, newest first, each once.
    for (int i = 0; i < 10; ++i)
        recent.Add(QStringLiteral("/nowhere/%1").arg(i % 9));
    QCOMPARE(recent.Folders().join(u' ').remove(QStringLiteral("/nowhere/")),
             QStringLiteral("0 8 7 6 5 4 3 2"));
}

void TStartPageTest::theReopenCheckBoxIsRememberedAndReopensTheLastProject() {
    TStartFixture f;
    const QString site = f.Folder("Site"), pro = site + QStringLiteral("/Default.Pro");
    MakeProject(site.toStdString(), {{"News", {"First"}}});
    TRecentProjects().Add(site);
    // The check box as the user leaves it, what became of the project before the next start
    // (kept, its Default.Pro deleted, its folder moved), and whether that start opens it.
    const struct {
        bool Ticked;
        char Then;
        bool Reopens;
    } rows[] = {{true, 'k', true}, {false, 'k', false}, {true, 'd', false}, {true, 'm', false}};
    for (const auto& row : rows) {
        f.Start();
        QCheckBox* box = f.Page().CheckBoxReopenLast;
        if (box->isChecked() != row.Ticked) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
        }
        f.Program.reset();
        if (row.Then == 'd')
            QCOMPARE(::unlink(pro.toLocal8Bit().constData()), 0);
        if (row.Then == 'm')
            QCOMPARE(::rename(site.toLocal8Bit().constData(), (f.Temp / "Elsewhere").c_str()), 0);
        f.Start();
        f.Main().ReopenLastProject();
        QCOMPARE(f.Main().PanelPreview->StartPageShown(), !row.Reopens);
        QCOMPARE(f.Program->Workspace.IsOpen(), row.Reopens);
        QCOMPARE(f.Page().CheckBoxReopenLast->isChecked(), row.Ticked);
        QCOMPARE(QFileInfo::exists(pro), row.Then == 'k');
        f.Program.reset();
    }
    QVERIFY(f.Prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TStartPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartPageTest.moc"
