#pragma once

#include "model/CColumn.h"
#include "platform/XmlDocument.h"

#include <memory>
#include <string>

// A column document in use: constructed from its file, made CurrentColumn, and released when
// this goes out of scope, however the command ends; CurrentColumn then refers again to what
// it referred to before (none, unless uses are nested).
class TColumnInUse {
  public:
    TColumnInUse(const std::string& fileName, TXmlDocument& document);
    ~TColumnInUse();
    TColumnInUse(const TColumnInUse&) = delete;
    TColumnInUse& operator=(const TColumnInUse&) = delete;

    TDColumn* operator->() { return FColumn.get(); }
    TDColumn& operator*() { return *FColumn; }

  private:
    std::unique_ptr<TDColumn> FColumn;
    TDColumn* FPrevious;
};
