#include "ui/Workspace.h"

#include "model/CColumn.h"

#include <utility>

TWorkspace::TWorkspace(std::string applicationFolder)
    : ApplicationFolder(std::move(applicationFolder)) {}

TColumnInUse::TColumnInUse(const std::string& fileName, TXmlDocument& document)
    : FColumn(std::make_unique<TDColumn>(fileName, document)) {
    CurrentColumn = FColumn.get();
}

TColumnInUse::~TColumnInUse() {
    if (CurrentColumn == FColumn.get())
        CurrentColumn = nullptr;
}

std::string TrimBlanks(const std::string& text) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}
