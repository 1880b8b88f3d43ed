// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void WriteTopic(TDProject&) {
    throw TError("WriteTopic is not built yet");
}
void WriteMenuBar(TDProject&) {
    throw TError("WriteMenuBar is not built yet");
}
