#pragma once

// Shared by the tests of the content dialogs and their fields: a project in a temporary
// application folder, sample pictures, and a prompter that also notes where file dialogs
// open.

#include "UiTestSupport.h"

#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "ui/FileFolders.h"
#include "ui/Workspace.h"

#include <QImage>
#include <QPainter>

#include <memory>
#include <string>

// A JPEG of width x height: the left half red, the right half blue.
inline void WriteHalvesJpeg(const std::string& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    painter.end();
    if (!image.save(QString::fromStdString(path), "JPEG", 95))
        throw std::runtime_error("cannot write " + path);
}

// The scripted prompter, also noting the folder each file dialog opens in.
class TFieldPrompter : public TScriptedPrompter {
  public:
    QString OpenFile(const QString& caption, const QString& folder,
                     const QString& filter) override {
        Folders << folder;
        return TScriptedPrompter::OpenFile(caption, folder, filter);
    }
    QStringList Folders;
};

// A project as its Default.Pro now holds it.
struct TStoredProject {
    explicit TStoredProject(const std::string& folder) : Project(folder, Document) {}
    TXmlDocument Document;
    TDProject Project;
};

// A page as its column document now holds it.
struct TStoredPage {
    TStoredPage(const std::string& columnFile, int index) {
        TXmlDocument document;
        TDColumn column(columnFile, document);
        Page = column.Page(index);
    }
    TDPage Page;
};

// An application folder in a temporary folder with the project Projects/Site open in it:
// menu item 0 is the column "News" with the pages "First" and "Second", item 1 the link
// "Elsewhere". Dates are written day.month.year.
class TContentFixture {
  public:
    TContentFixture() : Workspace(Temp.Path() + "/") {
        SetShortDatePattern("%d.%m.%Y");
        // A new session: no file was picked yet.
        ForgetPickedFolders();
        FirstFolder = FileDialogFolder(TFileKind::Picture);
        MakeFolder(Temp / "Projects");
        MakeFolder(Temp / "Images");
        MakeFolder(Temp / "Files");
        MakeProject(Folder(), {{"News", {"First", "Second"}}, {"Elsewhere", {}, true}});
        Workspace.Project = std::make_unique<TDProject>(Folder(), Workspace.XMLDoc);
    }
    ~TContentFixture() { SetShortDatePattern(""); }

    std::string Folder() const { return Temp / "Projects/Site"; }
    std::string Images() const { return Project().ImagesPath(); }
    std::string Downloads() const { return Project().DownloadsPath(); }
    std::string ColumnFile() const { return Project().ColumnFile(0); }
    TDProject& Project() const { return *Workspace.Project; }
    // The Images folder beside the executable, where the picture file dialog opens.
    std::string AppImages(const std::string& name = "") const { return Temp / "Images/" + name; }
    // Copies a sample picture to path and gives path back.
    std::string Put(const std::string& sample, const std::string& path) const {
        WriteFileBytes(path, ReadFileBytes(SamplePicture(sample)));
        return path;
    }

    TTempFolder Temp;
    TFieldPrompter Prompter;
    TWorkspace Workspace;
    // Where the first picture dialog of the session opens: the user's Pictures or home folder.
    QString FirstFolder;
};
