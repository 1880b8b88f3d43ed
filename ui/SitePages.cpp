#include "ui/SitePages.h"

#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/ColumnInUse.h"
#include "model/PageId.h"

namespace {

void AddPages(TSiteColumn& column, const TDColumn& pages) {
    for (int i = 0; i < pages.PageCount; ++i)
        column.Pages.push_back({column.Item, i, pages.Page(i).TITLE, pages.Page(i).ID});
}

} // namespace

TSitePages TSitePages::Read(const TDProject& project, TXmlDocument& document) {
    TSitePages site;
    for (int item = 0; item < project.MenuCount; ++item) {
        const TDMenuItem& menuItem = project.MenuItem(item);
        if (!menuItem.IsColumn())
            continue;
        TSiteColumn column;
        column.Item = item;
        column.Title = menuItem.TITLE;
        const std::string file = project.ColumnFile(item);
        if (CurrentColumn && CurrentColumn->FileName == file) {
            AddPages(column, *CurrentColumn);
        } else {
            try {
                AddPages(column, TDColumn(file, document));
            } catch (const std::exception&) {
                // Listed without pages: the tree reports what it cannot read.
            }
        }
        site.Columns.push_back(std::move(column));
    }
    return site;
}

const TSitePage* TSitePages::FindById(const std::string& id) const {
    if (id.empty())
        return nullptr;
    for (const TSiteColumn& column : Columns)
        for (const TSitePage& page : column.Pages)
            if (page.Id == id)
                return &page;
    return nullptr;
}

const TSiteColumn* TSitePages::FindColumn(int item) const {
    for (const TSiteColumn& column : Columns)
        if (column.Item == item)
            return &column;
    return nullptr;
}

void AssignPageIds(const TDProject& project, TXmlDocument& document,
                   const std::vector<TPageIdToAssign>& ids, TDPage* edited) {
    for (const TPageIdToAssign& wanted : ids) {
        if (wanted.Item < 0 || wanted.Item >= project.MenuCount ||
            !project.MenuItem(wanted.Item).IsColumn())
            continue;
        const std::string file = project.ColumnFile(wanted.Item);
        if (edited && CurrentColumn && CurrentColumn->FileName == file) {
            if (wanted.Index < 0 || wanted.Index >= CurrentColumn->PageCount)
                continue;
            TDPage& page = wanted.Index == CurrentColumn->CurrentPage
                               ? *edited
                               : CurrentColumn->Page(wanted.Index);
            if (!IsPageId(page.ID) || page.ID == wanted.Replaces)
                page.ID = wanted.Id;
            continue;
        }
        TColumnInUse column(file, document);
        if (wanted.Index < 0 || wanted.Index >= column->PageCount)
            continue;
        TDPage& page = column->Page(wanted.Index);
        if (IsPageId(page.ID) && page.ID != wanted.Replaces)
            continue;
        page.ID = wanted.Id;
        column->Save();
    }
}
