// PLACEHOLDER: replaced by the real writers; every function here throws.
#include "generator/Generator.h"

#include "platform/Error.h"

void WriteTextArea(TDProject&) {
    throw TError("WriteTextArea is not built yet");
}
void WriteColumnListing(TDProject&) {
    throw TError("WriteColumnListing is not built yet");
}
