// Any text as an integer or a colour: a value or a TError, and what is written reads back
// to the same value.
#include "model/Values.h"
#include "platform/Error.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (std::optional<std::int32_t> value = TryStrictInteger(text)) {
        if (StrictInteger(IntegerToText(*value)) != *value)
            std::abort();
    } else {
        try {
            StrictInteger(text);
            std::abort();
        } catch (const TError& e) {
            if (e.Message() != "'" + text + "' is not a valid integer value")
                std::abort();
        }
    }
    try {
        TColor color = TextToColor(text);
        if (TextToColor(ColorToText(color)) != color)
            std::abort();
    } catch (const TError&) {
    }
    return 0;
}
