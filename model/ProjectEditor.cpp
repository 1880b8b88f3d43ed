#include "model/ProjectEditor.h"

#include "model/ColumnInUse.h"
#include "model/PageId.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

std::string Joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

void TProjectEditor::CheckItem(int item) const {
    if (item < 0 || item >= FProject.MenuCount)
        throw TNoSuchPlace("The menu list holds no item " + std::to_string(item + 1),
                           FProject.ProjectFile());
}

std::string TProjectEditor::ColumnFile(int item) const {
    CheckItem(item);
    if (!FProject.MenuItem(item).IsColumn())
        throw TNoSuchPlace("Menu item " + std::to_string(item + 1) + " is a link, not a column",
                           FProject.ProjectFile());
    return FProject.ColumnFile(item);
}

const TDMenuItem* TProjectEditor::AddColumn() {
    return FProject.AddMenuItem(false);
}

const TDMenuItem* TProjectEditor::AddLink() {
    return FProject.AddMenuItem(true);
}

TDPage TProjectEditor::NewPage(const TDProject& project) {
    TDPage page;
    // Links from other texts find the page by its id wherever it moves.
    page.ID = NewPageId();
    if (project.OPTIONS.IsModern())
        page.FORMAT = "Markdown";
    return page;
}

std::optional<std::string> TProjectEditor::AddPage(int item) {
    TColumnInUse column(ColumnFile(item), *FProject.Document);
    const TDPage* page = column->AddPage(NewPage(FProject));
    if (!page)
        return std::nullopt;
    return page->TITLE;
}

bool TProjectEditor::Move(const TMenuPlace& place, bool up) {
    if (!place.IsPage()) {
        CheckItem(place.Item);
        const int other = up ? place.Item - 1 : place.Item + 1;
        if (other < 0 || other >= FProject.MenuCount)
            return false;
        if (up)
            FProject.MoveMenuItemUp(place.Item);
        else
            FProject.MoveMenuItemDown(place.Item);
        return true;
    }
    TColumnInUse column(ColumnFile(place.Item), *FProject.Document);
    if (place.Page >= column->PageCount)
        throw TNoSuchPlace("The column holds no page " + std::to_string(place.Page + 1),
                           column->FileName);
    const int other = up ? place.Page - 1 : place.Page + 1;
    if (other < 0 || other >= column->PageCount)
        return false;
    if (up)
        column->MovePageUp(place.Page);
    else
        column->MovePageDown(place.Page);
    return true;
}

bool TProjectEditor::MoveUp(const TMenuPlace& place) {
    return Move(place, true);
}

bool TProjectEditor::MoveDown(const TMenuPlace& place) {
    return Move(place, false);
}

void TProjectEditor::Remove(const TMenuPlace& place) {
    if (!place.IsPage()) {
        CheckItem(place.Item);
        FProject.RemoveMenuItem(place.Item);
        return;
    }
    TColumnInUse column(ColumnFile(place.Item), *FProject.Document);
    if (place.Page >= column->PageCount)
        throw TNoSuchPlace("The column holds no page " + std::to_string(place.Page + 1),
                           column->FileName);
    column->RemovePage(place.Page);
}

std::vector<std::string> TProjectEditor::PageTitles(int item) const {
    TColumnInUse column(ColumnFile(item), *FProject.Document);
    std::vector<std::string> titles;
    titles.reserve(static_cast<std::size_t>(column->PageCount));
    for (int j = 0; j < column->PageCount; ++j)
        titles.push_back(column->Page(j).TITLE);
    return titles;
}

std::vector<TProjectEditor::TColumnTitles> TProjectEditor::AllPageTitles(unsigned threads) const {
    const std::size_t count = static_cast<std::size_t>(std::max(FProject.MenuCount, 0));
    std::vector<TColumnTitles> titles(count);
    std::vector<std::string> files(count);
    for (std::size_t i = 0; i < count; ++i)
        if (FProject.MenuItem(static_cast<int>(i)).IsColumn())
            files[i] = ColumnFile(static_cast<int>(i));
    std::atomic<std::size_t> next{0};
    // Each reader takes the next column that no one has taken, with a document of its own.
    auto read = [&files, &titles, &next] {
        TXmlDocument document;
        for (std::size_t i = next++; i < files.size(); i = next++) {
            if (files[i].empty())
                continue;
            try {
                TColumnInUse column(files[i], document);
                titles[i].Titles.reserve(static_cast<std::size_t>(column->PageCount));
                for (int j = 0; j < column->PageCount; ++j)
                    titles[i].Titles.push_back(column->Page(j).TITLE);
            } catch (...) {
                titles[i].Error = std::current_exception();
            }
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads && i < count; ++i)
        helpers.emplace_back(read);
    read();
    for (std::thread& helper : helpers)
        helper.join();
    return titles;
}

int TProjectEditor::PrepareHTMLFolder() const {
    return PrepareOutputFolder(FProject.HTMLPath());
}

int TProjectEditor::PrepareOutputFolder(const std::string& folder) {
    // Through a link the files of another folder would go: then nothing is deleted here, and
    // the build that follows stops with the reason.
    try {
        CheckRealFolder(folder);
    } catch (const TError&) {
        return 0;
    }
    int deleted = 0;
    // Entries are told apart by lstat: a link among the files goes as a link (unlink never
    // follows it), its target untouched, so no later write can go through it.
    for (const TFileEntry& entry : ListFolder(folder))
        if ((entry.IsRegular || entry.IsLink) && entry.Name[0] != '.' &&
            DeleteFileQuietly(Joined(folder, entry.Name)))
            ++deleted;
    return deleted;
}
