#include "platform/CharsetEncoder.h"

#include "platform/Error.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <strings.h>

namespace {

using TRange = TCharsetEncoder::TRange;

// Characters that glibc's converters hold but whose bytes browsers read back as another
// character. Found by writing every character that glibc 2.36 converts into a page of each
// character set and reading the pages in Chromium, which decodes by the WHATWG Encoding
// Standard like every current browser. These are written as references, which every browser
// reads right.
//
// The JIS tables: glibc follows JIS X 0208, browsers the Windows tables, which read these
// bytes as the fullwidth cent, pound and not signs, U+2225, the fullwidth hyphen-minus and
// the fullwidth tilde. Shift_JIS and EUC-JP put YEN SIGN and OVERLINE on the bytes of
// backslash and tilde, which browsers read as backslash and tilde; ISO-2022-JP switches to
// JIS-Roman for them, which browsers read right.
constexpr TRange ShiftJis[] = {{0xA2, 0xA3},     {0xA5, 0xA5},     {0xAC, 0xAC},
                               {0x2016, 0x2016}, {0x203E, 0x203E}, {0x2212, 0x2212},
                               {0x301C, 0x301C}};
// EUC-JP, like Big5 and EUC-KR below, also writes C1 controls as single bytes, which
// browsers take for lead bytes or errors.
constexpr TRange EucJp[] = {{0x80, 0x9F},     {0xA2, 0xA3},     {0xA5, 0xA5},     {0xAC, 0xAC},
                            {0x2016, 0x2016}, {0x203E, 0x203E}, {0x2212, 0x2212}, {0x301C, 0x301C}};
constexpr TRange Iso2022Jp[] = {
    {0xA2, 0xA3}, {0xAC, 0xAC}, {0x2016, 0x2016}, {0x2212, 0x2212}, {0x301C, 0x301C}};
// Big5: browsers read the bytes that glibc gives to private-use characters as the real
// characters of the Hong Kong extension, and glibc's U+2593 as the fullwidth U+FFED.
constexpr TRange Big5[] = {{0x80, 0x9F}, {0x2593, 0x2593}, {0xE000, 0xF8FF}};
// Browsers read GB2312 as GBK, where A1AA is the em dash and A1A4 the middle dot.
constexpr TRange Gb2312[] = {{0x2015, 0x2015}, {0x30FB, 0x30FB}};
// Browsers read EUC-KR as Windows-949: A3DC is the fullwidth won sign, A2E8 is nothing.
constexpr TRange EucKr[] = {{0x80, 0x9F}, {0x20A9, 0x20A9}, {0x327E, 0x327E}};
// glibc puts CURRENCY SIGN on FF, which browsers read as the euro sign.
constexpr TRange MacCyrillic[] = {{0xA4, 0xA4}};

struct TMisread {
    const char* Encoding;
    const TRange* Ranges;
    std::size_t Count;
};

template <std::size_t N> constexpr TMisread Entry(const char* encoding, const TRange (&ranges)[N]) {
    return {encoding, ranges, N};
}

constexpr TMisread Misread[] = {
    Entry("SHIFT_JIS", ShiftJis),      Entry("EUC-JP", EucJp),
    Entry("ISO-2022-JP", Iso2022Jp),   Entry("BIG5", Big5),
    Entry("GB2312", Gb2312),           Entry("EUC-KR", EucKr),
    Entry("MACCYRILLIC", MacCyrillic),
};

// The control characters that ISO-2022-JP takes for shift and escape bytes; browsers read
// them as errors.
constexpr unsigned char Iso2022JpControls[] = {0x0E, 0x0F, 0x1B};

constexpr char32_t ReplacementCharacter = 0xFFFD;

// One character of UTF-8 text, or what stands in its place.
struct TScanned {
    enum TKind { Valid, IllFormed, Unfinished } Kind;
    std::size_t Length; // bytes: the character's, the ill-formed subsequence's, or all given
    char32_t CodePoint; // of a valid character
};

// The character at text[0], a byte of 0x80 or above, of size bytes at most. An ill-formed
// sequence is as long as its maximal subpart (the longest start of a well-formed sequence),
// at least one byte, as the Unicode Standard and browsers count them.
TScanned Scan(const unsigned char* text, std::size_t size) {
    const unsigned lead = text[0];
    std::size_t length;
    unsigned low = 0x80, high = 0xBF; // the range of the first continuation byte
    char32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else
        return {TScanned::IllFormed, 1, 0};
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= size)
            return {TScanned::Unfinished, size, 0};
        const unsigned byte = text[i];
        if (byte < (i == 1 ? low : 0x80u) || byte > (i == 1 ? high : 0xBFu))
            return {TScanned::IllFormed, i, 0};
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
    }
    return {TScanned::Valid, length, codePoint};
}

const unsigned char* Bytes(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

// The number of bytes from text[0] up to the first byte of 0x80 or above, eight at a time.
std::size_t AsciiPrefix(const char* text, std::size_t size) {
    std::size_t at = 0;
    while (at + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, text + at, 8);
        if ((word & 0x8080808080808080ull) != 0)
            break;
        at += 8;
    }
    while (at < size && static_cast<unsigned char>(text[at]) < 0x80)
        ++at;
    return at;
}

} // namespace

TCharsetEncoder::TCharsetEncoder(const std::string& encoding)
    : FHandle(iconv_open(encoding.c_str(), "UTF-8")), FEncoding(encoding) {
    if (FHandle == reinterpret_cast<iconv_t>(-1)) {
        const int error = errno;
        throw TError("Cannot write pages in the character set " + encoding + ": " +
                     std::strerror(error));
    }
    for (const TMisread& entry : Misread)
        if (strcasecmp(entry.Encoding, encoding.c_str()) == 0) {
            FRanges = entry.Ranges;
            FRangeCount = entry.Count;
        }
    if (strcasecmp(encoding.c_str(), "ISO-2022-JP") == 0)
        for (unsigned char control : Iso2022JpControls)
            FAsciiReference[control] = true;
    for (bool reference : FAsciiReference)
        FHasAsciiReference = FHasAsciiReference || reference;

    // ASCII is copied as it is, and the references are ASCII: an encoding that writes ASCII
    // otherwise (UTF-16, EBCDIC) cannot be used.
    char ascii[128];
    for (int i = 0; i < 128; ++i)
        ascii[i] = static_cast<char>(i);
    char converted[1024];
    char* in = ascii;
    std::size_t inLeft = sizeof ascii;
    char* out = converted;
    std::size_t outLeft = sizeof converted;
    const std::size_t result = iconv(FHandle, &in, &inLeft, &out, &outLeft);
    iconv(FHandle, nullptr, nullptr, &out, &outLeft);
    iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    if (result == static_cast<std::size_t>(-1) || out - converted != 128 ||
        std::memcmp(ascii, converted, 128) != 0) {
        iconv_close(FHandle);
        throw TError("Cannot write pages in the character set " + encoding +
                     ": it does not write ASCII as ASCII");
    }
}

TCharsetEncoder::~TCharsetEncoder() {
    iconv_close(FHandle);
}

bool TCharsetEncoder::WrittenAsReference(char32_t codePoint) const {
    // Unicode's tag characters: glibc's converters drop them without a word.
    if (codePoint >= 0xE0000 && codePoint <= 0xE007F)
        return true;
    for (std::size_t i = 0; i < FRangeCount; ++i) {
        if (codePoint < FRanges[i].First)
            return false; // the ranges are in order
        if (codePoint <= FRanges[i].Last)
            return true;
    }
    return false;
}

void TCharsetEncoder::Encode(std::string_view text, std::string& out) {
    std::size_t start = 0;
    if (FPendingSize > 0) {
        // First the character that the last text ended inside.
        char joined[4];
        std::memcpy(joined, FPending, FPendingSize);
        const std::size_t taken = std::min(sizeof joined - FPendingSize, text.size());
        std::memcpy(joined + FPendingSize, text.data(), taken);
        const TScanned scanned = Scan(Bytes(joined), FPendingSize + taken);
        if (scanned.Kind == TScanned::Unfinished) {
            std::memcpy(FPending, joined, FPendingSize + taken);
            FPendingSize += taken;
            return;
        }
        const std::size_t pending = FPendingSize;
        FPendingSize = 0;
        EncodeComplete(joined, scanned.Length, true, out);
        // The pending bytes start a well-formed sequence, so the character or the ill-formed
        // subsequence spans them all.
        start = scanned.Length - pending;
    }
    EncodeComplete(text.data() + start, text.size() - start, false, out);
}

void TCharsetEncoder::EncodeComplete(const char* text, std::size_t size, bool atEnd,
                                     std::string& out) {
    std::size_t at = 0;
    while (at < size) {
        const std::size_t before = at;
        // A run of ASCII, copied as it is.
        std::size_t end = at + AsciiPrefix(text + at, size - at);
        if (FHasAsciiReference)
            for (std::size_t i = at; i < end; ++i)
                if (FAsciiReference[static_cast<unsigned char>(text[i])]) {
                    end = i;
                    break;
                }
        if (end > at) {
            ReturnToInitialState(out);
            out.append(text + at, end - at);
            at = end;
        }
        // A run of other characters, for iconv.
        while (end < size) {
            if (Bytes(text)[end] < 0x80)
                break;
            const TScanned scanned = Scan(Bytes(text) + end, size - end);
            if (scanned.Kind != TScanned::Valid || WrittenAsReference(scanned.CodePoint))
                break;
            end += scanned.Length;
        }
        if (end > at) {
            ConvertRun(text + at, end - at, out);
            at = end;
        }
        if (at != before)
            continue;
        // What stopped both runs: a character written as a reference, an ill-formed sequence,
        // or a character that the text ends inside.
        const unsigned char byte = Bytes(text)[at];
        if (byte < 0x80) {
            WriteReference(byte, out);
            ++at;
            continue;
        }
        const TScanned scanned = Scan(Bytes(text) + at, size - at);
        if (scanned.Kind == TScanned::Unfinished && !atEnd) {
            std::memcpy(FPending, text + at, scanned.Length);
            FPendingSize = scanned.Length;
            return;
        }
        WriteReference(scanned.Kind == TScanned::Valid ? scanned.CodePoint : ReplacementCharacter,
                       out);
        at += scanned.Length;
    }
}

void TCharsetEncoder::ConvertRun(const char* text, std::size_t size, std::string& out) {
    // iconv's interface takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(text);
    std::size_t inLeft = size;
    while (inLeft > 0) {
        const std::size_t used = out.size();
        // Enough for every character set of the pages but for the escapes of ISO-2022-JP;
        // when that is not enough, iconv says so and the rest gets more room.
        const std::size_t room = inLeft + inLeft / 2 + 16;
        out.resize(used + room);
        char* next = out.data() + used;
        std::size_t outLeft = room;
        const std::size_t result = iconv(FHandle, &in, &inLeft, &next, &outLeft);
        const int error = errno;
        out.resize(static_cast<std::size_t>(next - out.data()));
        FShifted = true;
        if (result != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        if (error != EILSEQ && error != EINVAL)
            throw TError("Cannot convert a text to the character set " + FEncoding + ": " +
                         std::strerror(error));
        // The run is well-formed UTF-8: iconv stopped at a character the set cannot hold.
        const TScanned scanned = Scan(Bytes(in), inLeft);
        WriteReference(scanned.Kind == TScanned::Valid ? scanned.CodePoint : ReplacementCharacter,
                       out);
        in += scanned.Length;
        inLeft -= scanned.Length;
    }
}

void TCharsetEncoder::WriteReference(char32_t codePoint, std::string& out) {
    ReturnToInitialState(out);
    char digits[16];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(codePoint));
    out.append("&#", 2);
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
    out.push_back(';');
}

void TCharsetEncoder::ReturnToInitialState(std::string& out) {
    if (!FShifted)
        return;
    FShifted = false;
    const std::size_t used = out.size();
    // The longest return sequence of any ISO-2022 set is four bytes.
    constexpr std::size_t Room = 32;
    out.resize(used + Room);
    char* next = out.data() + used;
    std::size_t outLeft = Room;
    const std::size_t result = iconv(FHandle, nullptr, nullptr, &next, &outLeft);
    const int error = errno;
    out.resize(static_cast<std::size_t>(next - out.data()));
    if (result == static_cast<std::size_t>(-1))
        throw TError("Cannot convert a text to the character set " + FEncoding + ": " +
                     std::strerror(error));
}

void TCharsetEncoder::Finish(std::string& out) {
    if (FPendingSize > 0) {
        FPendingSize = 0;
        WriteReference(ReplacementCharacter, out);
    }
    ReturnToInitialState(out);
}

void TCharsetEncoder::Reset() {
    iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    FShifted = false;
    FPendingSize = 0;
}

std::string TCharsetEncoder::EncodeAll(std::string_view text) {
    std::string out;
    Encode(text, out);
    Finish(out);
    return out;
}
