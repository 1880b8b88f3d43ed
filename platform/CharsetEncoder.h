#pragma once

#include <cstddef>
#include <iconv.h>
#include <string>
#include <string_view>

// Turns UTF-8 text into the bytes of another character set through the C library's iconv,
// character by character. A character the set cannot hold is written as the HTML character
// reference "&#N;", N being its code point in decimal, so that a browser shows it all the
// same; before each reference a stateful encoding (ISO-2022-JP) returns to its initial state,
// where the reference's ASCII letters mean themselves.
//
// A few characters that iconv does convert are written as references too: those whose bytes
// browsers read back as another character (see CharsetEncoder.cpp).
//
// Bytes that are not well-formed UTF-8 (a hand-edited project) are not characters: each
// maximal ill-formed subsequence becomes "&#65533;", the replacement character, as many as a
// browser would show for the same bytes in a UTF-8 page.
//
// The text may come in pieces: a character split between two calls of Encode is converted
// whole. Finish ends a text, and the encoder is then ready for the next one.
class TCharsetEncoder {
  public:
    // An encoding by its iconv name ("ISO-8859-1", "SHIFT_JIS", "ISO-2022-JP" ...), one that
    // writes ASCII as ASCII. Throws TError when the system cannot convert to it or it writes
    // ASCII otherwise (UTF-16).
    explicit TCharsetEncoder(const std::string& encoding);
    ~TCharsetEncoder();
    TCharsetEncoder(const TCharsetEncoder&) = delete;
    TCharsetEncoder& operator=(const TCharsetEncoder&) = delete;

    const std::string& Encoding() const { return FEncoding; }

    // Appends the bytes of text to out. The bytes of a character that text ends inside are
    // kept back for the next call.
    void Encode(std::string_view text, std::string& out);
    // Appends the end of the text to out: a character left unfinished becomes "&#65533;", and
    // a stateful encoding returns to its initial state.
    void Finish(std::string& out);
    // Forgets the text in progress without writing anything.
    void Reset();

    // Encode and Finish of one whole text.
    std::string EncodeAll(std::string_view text);

    struct TRange {
        char32_t First, Last;
    };

  private:
    void EncodeComplete(const char* text, std::size_t size, bool atEnd, std::string& out);
    void ConvertRun(const char* text, std::size_t size, std::string& out);
    void WriteReference(char32_t codePoint, std::string& out);
    void ReturnToInitialState(std::string& out);
    bool WrittenAsReference(char32_t codePoint) const;

    iconv_t FHandle;
    std::string FEncoding;
    // ASCII characters and ranges of other characters that are written as references
    // although iconv converts them.
    bool FAsciiReference[128] = {};
    bool FHasAsciiReference = false;
    // Whether iconv has converted anything since the initial state was last written.
    bool FShifted = false;
    const TRange* FRanges = nullptr;
    std::size_t FRangeCount = 0;
    // The first bytes of a character that the last text ended inside.
    char FPending[4] = {};
    std::size_t FPendingSize = 0;
};
