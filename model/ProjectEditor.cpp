#include "model/ProjectEditor.h"

#include "model/ColumnInUse.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

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

std::optional<std::string> TProjectEditor::AddPage(int item) {
    TColumnInUse column(ColumnFile(item), *FProject.Document);
    const TDPage* page = column->AddPage();
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
