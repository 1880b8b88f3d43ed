// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void WritePage(TDProject&) {
    throw TError("WritePage is not built yet");
}
