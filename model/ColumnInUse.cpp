#include "model/ColumnInUse.h"

TColumnInUse::TColumnInUse(const std::string& fileName, TXmlDocument& document)
    : FColumn(std::make_unique<TDColumn>(fileName, document)), FPrevious(CurrentColumn) {
    CurrentColumn = FColumn.get();
}

TColumnInUse::~TColumnInUse() {
    if (CurrentColumn == FColumn.get())
        CurrentColumn = FPrevious;
}
