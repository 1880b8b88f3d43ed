// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void WriteWelcomeBar(TDProject&) {
    throw TError("WriteWelcomeBar is not built yet");
}
void WriteDateScript(TDProject&) {
    throw TError("WriteDateScript is not built yet");
}
void WriteWelcomeLinks(TDProject&) {
    throw TError("WriteWelcomeLinks is not built yet");
}
