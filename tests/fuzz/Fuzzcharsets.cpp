// Any bytes in any character set of the pages: the first byte picks the set, the second where
// the text is cut in two. The encoder never fails on a text, gives the same bytes for the
// text in pieces, writes bytes that read back in the set, and a well-formed text reads back
// as itself once the references are read as their characters.
#include "platform/CharsetEncoder.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>
#include <memory>
#include <optional>
#include <string>

namespace {

const char* const Encodings[] = {"ISO-8859-1", "SHIFT_JIS",  "ISO-2022-JP", "EUC-JP",
                                 "BIG5",       "GB2312",     "EUC-KR",      "ISO-8859-2",
                                 "CP1250",     "ISO-8859-5", "KOI8-R",      "MACCYRILLIC",
                                 "CP1251",     "ISO-8859-7", "CP1253",      "CP1252"};
constexpr std::size_t EncodingCount = sizeof Encodings / sizeof *Encodings;

// The text converted from one encoding to another by iconv, or nothing when it does not read.
std::optional<std::u32string> Convert(const std::string& from, const std::string& text) {
    iconv_t handle = iconv_open("UTF-32LE", from.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        std::abort();
    std::u32string out(text.size() + 1, U'\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* next = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(char32_t);
    const std::size_t result = iconv(handle, &in, &inLeft, &next, &outLeft);
    iconv_close(handle);
    if (result == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize((reinterpret_cast<char32_t*>(next) - out.data()));
    return out;
}

// The text with every reference "&#N;" read as its character.
std::u32string WithoutReferences(const std::u32string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'&' && i + 2 < text.size() && text[i + 1] == U'#') {
            std::size_t j = i + 2;
            std::uint64_t value = 0;
            while (j < text.size() && text[j] >= U'0' && text[j] <= U'9' && value < 0x110000)
                value = value * 10 + (text[j++] - U'0');
            if (j > i + 2 && j < text.size() && text[j] == U';' && value < 0x110000) {
                out += static_cast<char32_t>(value);
                i = j;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    static std::unique_ptr<TCharsetEncoder> encoders[EncodingCount];
    const std::size_t which = data[0] % EncodingCount;
    if (!encoders[which])
        encoders[which] = std::make_unique<TCharsetEncoder>(Encodings[which]);
    TCharsetEncoder& encoder = *encoders[which];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t cut = text.empty() ? 0 : data[1] % (text.size() + 1);

    const std::string whole = encoder.EncodeAll(text);
    std::string pieces;
    encoder.Encode(std::string_view(text).substr(0, cut), pieces);
    encoder.Encode(std::string_view(text).substr(cut), pieces);
    encoder.Finish(pieces);
    if (pieces != whole)
        std::abort();

    std::optional<std::u32string> written = Convert(Encodings[which], whole);
    if (!written)
        std::abort(); // bytes that do not read back in their own set
    // glibc reads Shift_JIS's 5C and 7E as JIS-Roman, browsers as ASCII, which the encoder
    // writes them as.
    if (which == 1)
        for (char32_t& c : *written)
            c = c == U'\u00A5' ? U'\\' : c == U'\u203E' ? U'~' : c;
    if (const std::optional<std::u32string> original = Convert("UTF-8", text))
        if (WithoutReferences(*written) != WithoutReferences(*original))
            std::abort();
    return 0;
}
