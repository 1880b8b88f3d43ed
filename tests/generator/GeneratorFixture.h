#pragma once

// A project in a temporary folder, and a way to catch what one writer writes.

#include "TestSupport.h"
#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"

#include <functional>
#include <memory>
#include <string>

class TGeneratorFixture {
  public:
    TGeneratorFixture() {
        MakeFolder(Dir / "Site");
        Project = std::make_unique<TDProject>(Dir / "Site", Document);
        Project->OutputFolder = Project->Folder + "/Temp";
        Project->PageName = Project->FRAME.HOMEPAGE;
    }
    ~TGeneratorFixture() { ReleaseColumn(); }

    // Adds a column with the given number of pages (titles "Page 1", "Page 2" ...) and
    // returns its menu index.
    int AddColumn(int pages, const std::string& style = "Title list with summary") {
        TDMenuItem* item = Project->AddMenuItem(false);
        item->STYLE = style;
        Project->Save();
        int index = Project->MenuCount - 1;
        TDColumn column(Project->ColumnFile(index), Document);
        for (int i = 0; i < pages; ++i)
            column.AddPage()->TITLE = "Page " + std::to_string(i + 1);
        column.Save();
        return index;
    }

    // Loads the column of menu item index as CurrentColumn, with the given current page.
    TDColumn& UseColumn(int index, int currentPage) {
        ReleaseColumn();
        Column = std::make_unique<TDColumn>(Project->ColumnFile(index), Document);
        Column->CurrentPage = currentPage;
        CurrentColumn = Column.get();
        Project->CurrentItem = index;
        return *Column;
    }
    void ReleaseColumn() {
        CurrentColumn = nullptr;
        Column.reset();
    }

    // Runs a writer with the output open on a file in the output folder; returns its bytes.
    std::string Capture(const std::function<void(TDProject&)>& writer) {
        const std::string file = Project->OutputFolder + "/captured.out";
        Project->Output.Open(file);
        writer(*Project);
        Project->Output.Close();
        return ReadFileBytes(file);
    }

    TTempFolder Dir;
    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;
    std::unique_ptr<TDColumn> Column;
};

// Joins lines with CR LF after each, as the page files hold them.
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}
