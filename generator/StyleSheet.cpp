// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void WriteStyleSheet(TDProject&) {
    throw TError("WriteStyleSheet is not built yet");
}
std::string HtmlColor(TColor, bool) {
    throw TError("HtmlColor is not built yet");
}
std::string CharsetName(const std::string&) {
    throw TError("CharsetName is not built yet");
}
