// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void WriteSinglePage(TDProject&) {
    throw TError("WriteSinglePage is not built yet");
}
void WriteHotspot(TDProject&) {
    throw TError("WriteHotspot is not built yet");
}
void WriteFoot(TDProject&) {
    throw TError("WriteFoot is not built yet");
}
