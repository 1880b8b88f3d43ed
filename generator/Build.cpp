// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void Build(TDProject&, const std::string&) {
    throw TError("Build is not built yet");
}
void BuildPreview(TDProject&) {
    throw TError("BuildPreview is not built yet");
}
void WriteEmptyHomepage(TDProject&) {
    throw TError("WriteEmptyHomepage is not built yet");
}
std::string ReplaceAll(std::string, const std::string&, const std::string&) {
    throw TError("ReplaceAll is not built yet");
}
std::string UniqueFileName(const std::string&, const std::string&) {
    throw TError("UniqueFileName is not built yet");
}
std::string Translate(const TDProject&, const std::string&) {
    throw TError("Translate is not built yet");
}
std::int32_t FitWidth(std::int32_t, int) {
    throw TError("FitWidth is not built yet");
}
std::int32_t FitHeight(std::int32_t, int) {
    throw TError("FitHeight is not built yet");
}
void CopyIntoOutput(TDProject&, const std::string&, const std::string&) {
    throw TError("CopyIntoOutput is not built yet");
}
