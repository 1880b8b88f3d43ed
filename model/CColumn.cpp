#include "model/CColumn.h"

#include "platform/Error.h"

#include <utility>

thread_local TDColumn* CurrentColumn = nullptr;

TDColumn::TDColumn(const std::string& fileName, TXmlDocument& document)
    : FileName(fileName), Document(&document) {
    TEmptyAfterUse empty{document};
    try {
        // The name comes from the project document: a link there is never followed.
        document.Load(fileName, TXmlDocument::TLinks::Refuse);
        for (TXmlElement node : ChildNodes(document.Root())) {
            if (PageCount >= Capacity)
                break;
            Pages[static_cast<std::size_t>(PageCount)] = std::make_unique<TDPage>(node);
            ++PageCount;
        }
    } catch (const TError& e) {
        throw e.InFile(fileName);
    }
    CurrentPage = -1;
}

TDPage* TDColumn::AddPage() {
    return AddPage(TDPage());
}

TDPage* TDColumn::AddPage(TDPage newPage) {
    if (PageCount >= Capacity)
        return nullptr;
    Pages[static_cast<std::size_t>(PageCount)] = std::make_unique<TDPage>(std::move(newPage));
    TDPage* page = Pages[static_cast<std::size_t>(PageCount)].get();
    ++PageCount;
    Save();
    return page;
}

void TDColumn::RemovePage(int index) {
    if (index < 0 || index >= PageCount)
        return;
    for (int i = index; i < PageCount - 1; ++i)
        Pages[static_cast<std::size_t>(i)] = std::move(Pages[static_cast<std::size_t>(i + 1)]);
    Pages[static_cast<std::size_t>(PageCount - 1)].reset();
    --PageCount;
    Save();
}

void TDColumn::MovePageUp(int index) {
    if (index < 1 || index >= PageCount)
        return;
    std::swap(Pages[static_cast<std::size_t>(index - 1)], Pages[static_cast<std::size_t>(index)]);
    Save();
}

void TDColumn::MovePageDown(int index) {
    if (index < 0 || index >= PageCount - 1)
        return;
    std::swap(Pages[static_cast<std::size_t>(index)], Pages[static_cast<std::size_t>(index + 1)]);
    Save();
}

void TDColumn::Save() {
    TEmptyAfterUse empty{*Document};
    try {
        Document->Load(FileName, TXmlDocument::TLinks::Refuse);
        TXmlElement root = Document->Root();
        RemoveAllChildren(root);
        for (int i = 0; i < PageCount; ++i)
            Pages[static_cast<std::size_t>(i)]->Save(AppendChild(root, "PAGE"));
        Document->SaveToFile(FileName);
    } catch (const TError& e) {
        throw e.InFile(FileName);
    }
}
