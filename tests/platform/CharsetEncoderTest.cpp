#include "platform/CharsetEncoder.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Bytes as a failure message shows them: printable ASCII as it is, everything else as \xHH.
std::string Shown(const std::string& bytes) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes)
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out += static_cast<char>(c);
        else {
            out += "\\x";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    return out;
}

std::string Encoded(const std::string& encoding, const std::string& text) {
    TCharsetEncoder encoder(encoding);
    return encoder.EncodeAll(text);
}

struct TCase {
    const char* Encoding;
    std::string Text;     // UTF-8
    std::string Expected; // the encoding's bytes
};

// Every encoding of the pages, with letters of the set and characters outside it. The
// expected bytes come from Python's codecs (with xmlcharrefreplace), not from iconv.
const std::vector<TCase> EveryEncoding = {
    {"ISO-8859-1", "Grüße aus Köln: Bäckerei & Café – 5 €",
     "Gr\xFC\xDF"
     "e aus K\xF6ln: B\xE4"
     "ckerei & Caf\xE9 &#8211; 5 &#8364;"},
    {"SHIFT_JIS", "日本語のテキスト、ｶﾀｶﾅ。한국어",
     "\x93\xFA\x96{\x8C\xEA\x82\xCC\x83"
     "e\x83L\x83X\x83g\x81"
     "A\xB6\xC0\xB6\xC5\x81"
     "B&#54620;&#44397;&#50612;"},
    {"ISO-2022-JP", "ようこそ、日本へ! 😀 ok 한글 東京",
     "\x1B$B$h$&$3$=!\"F|K\\$X\x1B(B! &#128512; ok &#54620;&#44544; \x1B$BEl5~\x1B(B"},
    {"EUC-JP", "東京タワー ｶﾅ 한 end",
     "\xC5\xEC\xB5\xFE\xA5\xBF\xA5\xEF\xA1\xBC \x8E\xB6\x8E\xC5 &#54620; end"},
    {"BIG5", "臺灣繁體中文 们",
     "\xBBO\xC6W\xC1"
     "c\xC5\xE9\xA4\xA4\xA4\xE5 &#20204;"},
    {"GB2312", "简体中文欢迎 臺灣 €",
     "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xBB\xB6\xD3\xAD &#33274;&#28771; &#8364;"},
    {"EUC-KR", "한국어 텍스트 日本 ☃",
     "\xC7\xD1\xB1\xB9\xBE\xEE \xC5\xD8\xBD\xBA\xC6\xAE \xEC\xED\xDC\xE2 &#9731;"},
    {"ISO-8859-2", "Příliš žluťoučký kůň, Łódź – ß",
     "P\xF8\xEDli\xB9 \xBElu\xBBou\xE8k\xFD k\xF9\xF2, \xA3\xF3"
     "d\xBC &#8211; \xDF"},
    {"CP1250", "Zażółć gęślą jaźń „quote“ € ñ",
     "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 \x84quote\x93 \x80 &#241;"},
    {"ISO-8859-5", "Съешь же ещё этих мягких булок €",
     "\xC1\xEA\xD5\xE8\xEC \xD6\xD5 \xD5\xE9\xF1 \xED\xE2\xD8\xE5 \xDC\xEF\xD3\xDA\xD8\xE5 "
     "\xD1\xE3\xDB\xDE\xDA &#8364;"},
    {"KOI8-R", "Широкая электрификация ё Ґ",
     "\xFB\xC9\xD2\xCF\xCB\xC1\xD1 \xDC\xCC\xC5\xCB\xD4\xD2\xC9\xC6\xC9\xCB\xC1\xC3\xC9\xD1 \xA3 "
     "&#1168;"},
    {"MACCYRILLIC", "Привет, мир! 中", "\x8F\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! &#20013;"},
    {"CP1251", "Ґанок, україна: ї є і Ё € Ω",
     "\xA5\xE0\xED\xEE\xEA, \xF3\xEA\xF0\xE0\xBF\xED\xE0: \xBF \xBA \xB3 \xA8 \x88 &#937;"},
    {"ISO-8859-7", "Καλημέρα κόσμε € Ж",
     "\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1 \xEA\xFC\xF3\xEC\xE5 \xA4 &#1046;"},
    {"CP1253", "Ελληνικά ά ΐ € Ж", "\xC5\xEB\xEB\xE7\xED\xE9\xEA\xDC \xDC \xC0 \x80 &#1046;"},
    {"CP1252", "Œuvre “quoted” € ™ – naïve Ł",
     "\x8Cuvre \x93quoted\x94 \x80 \x99 \x96 na\xEFve &#321;"},
};

TEST(CharsetEncoder, EveryEncodingWritesItsLettersAndReferencesForTheRest) {
    for (const TCase& c : EveryEncoding)
        EXPECT_EQ(Shown(Encoded(c.Encoding, c.Text)), Shown(c.Expected)) << c.Encoding;
}

TEST(CharsetEncoder, AsciiAndAnEmptyTextStayAsTheyAre) {
    std::string ascii;
    for (int c = 0; c < 128; ++c)
        if (c != 0x0E && c != 0x0F && c != 0x1B) // ISO-2022-JP's shift and escape bytes
            ascii += static_cast<char>(c);
    for (const TCase& c : EveryEncoding) {
        EXPECT_EQ(Shown(Encoded(c.Encoding, ascii)), Shown(ascii)) << c.Encoding;
        EXPECT_EQ(Encoded(c.Encoding, ""), "") << c.Encoding;
    }
}

// Characters that iconv converts but whose bytes browsers read as another character.
TEST(CharsetEncoder, CharactersThatBrowsersWouldReadAsOthersAreReferences) {
    const TCase cases[] = {
        // JIS X 0208 against the Windows tables, and the yen sign and overline that would
        // become backslash and tilde; the backslash and the tilde themselves stay.
        {"SHIFT_JIS", "¢£¥¬‖‾−〜\\~", "&#162;&#163;&#165;&#172;&#8214;&#8254;&#8722;&#12316;\\~"},
        {"EUC-JP", "¢£¥¬‖‾−〜\\~", "&#162;&#163;&#165;&#172;&#8214;&#8254;&#8722;&#12316;\\~"},
        {"EUC-JP",
         "a\xC2\x80"
         "b\xC2\x9F",
         "a&#128;b&#159;"},
        {"ISO-2022-JP", "¢£¬‖−〜", "&#162;&#163;&#172;&#8214;&#8722;&#12316;"},
        // ISO-2022-JP writes the yen sign and the overline in JIS-Roman, which browsers read.
        {"ISO-2022-JP", "a¥‾b", "a\x1B(J\\~\x1B(Bb"},
        // Its shift and escape bytes.
        {"ISO-2022-JP",
         "a\x1B"
         "b\x0E\x0F",
         "a&#27;b&#14;&#15;"},
        {"BIG5", "\xC2\x80▓\xEE\x80\x80\xEF\xA3\xBF", "&#128;&#9619;&#57344;&#63743;"},
        {"GB2312", "―・", "&#8213;&#12539;"},
        {"EUC-KR", "\xC2\x80\xC2\x9F₩㉾", "&#128;&#159;&#8361;&#12926;"},
        {"MACCYRILLIC", "¤", "&#164;"},
        // Tag characters, which iconv drops, in any encoding.
        {"ISO-8859-1",
         "a\xF3\xA0\x80\x81"
         "b\xF3\xA0\x81\xBF",
         "a&#917505;b&#917631;"},
        {"KOI8-R", "\xF3\xA0\x81\x81", "&#917569;"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Shown(Encoded(c.Encoding, c.Text)), Shown(c.Expected)) << c.Encoding;
    // The neighbours of those characters are converted.
    EXPECT_EQ(Shown(Encoded("GB2312", "、。")), Shown("\xA1\xA2\xA1\xA3"));
    EXPECT_EQ(Shown(Encoded("SHIFT_JIS", "―～")), Shown("\x81\x5C&#65374;"));
    EXPECT_EQ(Shown(Encoded("MACCYRILLIC", "Ґ")), Shown("\xA2"));
}

TEST(CharsetEncoder, Iso2022JpReturnsToAsciiBeforeEachReferenceAndAtTheEnd) {
    const TCase cases[] = {
        {"ISO-2022-JP", "日", "\x1B$BF|\x1B(B"},
        {"ISO-2022-JP", "日😀日", "\x1B$BF|\x1B(B&#128512;\x1B$BF|\x1B(B"},
        {"ISO-2022-JP", "日한", "\x1B$BF|\x1B(B&#54620;"},
        {"ISO-2022-JP", "日\xFF", "\x1B$BF|\x1B(B&#65533;"},
        {"ISO-2022-JP", "😀日", "&#128512;\x1B$BF|\x1B(B"},
        {"ISO-2022-JP", "日 a", "\x1B$BF|\x1B(B a"},
        {"ISO-2022-JP", "ｶ", "&#65398;"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Shown(Encoded(c.Encoding, c.Text)), Shown(c.Expected)) << c.Text;
}

// Bytes that are not UTF-8: each maximal ill-formed subsequence is one replacement character.
TEST(CharsetEncoder, IllFormedUtf8BecomesReplacementCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF", "&#65533;"},
        {"a\x80"
         "b",
         "a&#65533;b"},
        {"\xC3(", "&#65533;("},
        {"\xE2\x82", "&#65533;"}, // unfinished at the end: one
        {"\xE2\x82"
         "A",
         "&#65533;A"}, // cut short: one
        {"\xF0\x9F\x98"
         "A",
         "&#65533;A"},                    // cut short after three bytes: one
        {"\xC0\xAF", "&#65533;&#65533;"}, // overlong: no lead byte at all
        {"\xE0\x80\xAF", "&#65533;&#65533;&#65533;"},
        {"\xED\xA0\x80", "&#65533;&#65533;&#65533;"},             // a surrogate
        {"\xF4\x90\x80\x80", "&#65533;&#65533;&#65533;&#65533;"}, // above U+10FFFF
        {"\xF5\x80", "&#65533;&#65533;"},
        {"\xFE\xFF", "&#65533;&#65533;"},
        {"\xC3\xBC\xC3", "\xFC&#65533;"},
        {"ü\xE4ü", "\xFC&#65533;\xFC"}, // an ISO-8859-1 byte in a UTF-8 text
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Shown(Encoded("ISO-8859-1", text)), Shown(expected)) << Shown(text);
    EXPECT_EQ(Shown(Encoded("SHIFT_JIS", "日\xE6\x9C")), Shown("\x93\xFA&#65533;"));
    EXPECT_EQ(Shown(Encoded("ISO-2022-JP", "日\xE6\x9C"
                                           "a")),
              Shown("\x1B$BF|\x1B(B&#65533;a"));
}

// A text in pieces gives the bytes of the whole text, wherever it is cut, also inside a
// character, an ill-formed sequence or an escape of ISO-2022-JP.
TEST(CharsetEncoder, ATextInPiecesGivesTheBytesOfTheWholeText) {
    std::vector<TCase> cases = EveryEncoding;
    cases.push_back({"ISO-8859-1",
                     "a\xE2\x82"
                     "b\xF0\x9F\x98\xE2\x82\xAC\xFF\xC3",
                     ""});
    cases.push_back({"ISO-2022-JP",
                     "日😀日\xE6\x9C"
                     "a¥b日",
                     ""});
    for (const TCase& c : cases) {
        const std::string whole = Encoded(c.Encoding, c.Text);
        TCharsetEncoder encoder(c.Encoding);
        for (std::size_t cut = 0; cut <= c.Text.size(); ++cut)
            for (std::size_t second = cut; second <= c.Text.size(); ++second) {
                std::string out;
                encoder.Encode(c.Text.substr(0, cut), out);
                encoder.Encode(c.Text.substr(cut, second - cut), out);
                encoder.Encode(c.Text.substr(second), out);
                encoder.Finish(out);
                ASSERT_EQ(Shown(out), Shown(whole))
                    << c.Encoding << " cut at " << cut << " and " << second;
            }
        std::string bytewise;
        for (char byte : c.Text)
            encoder.Encode(std::string_view(&byte, 1), bytewise);
        encoder.Finish(bytewise);
        EXPECT_EQ(Shown(bytewise), Shown(whole)) << c.Encoding << " byte by byte";
    }
}

TEST(CharsetEncoder, FinishWritesAnUnfinishedCharacterAndResetForgetsIt) {
    TCharsetEncoder encoder("ISO-2022-JP");
    std::string out;
    encoder.Encode("a\xE6\x97", out);
    EXPECT_EQ(out, "a"); // the rest of the character is still to come
    encoder.Finish(out);
    EXPECT_EQ(out, "a&#65533;");
    // The next text starts afresh.
    EXPECT_EQ(Shown(encoder.EncodeAll("\xA5")), Shown("&#65533;"));

    out.clear();
    encoder.Encode("日\xE6\x97", out);
    encoder.Reset();
    EXPECT_EQ(encoder.EncodeAll("a"), "a"); // in ASCII, with no return sequence
    EXPECT_EQ(encoder.EncodeAll("\xA5"), "&#65533;");
}

TEST(CharsetEncoder, LongTextsOfManyEscapesAndReferences) {
    std::string text, expected;
    for (int i = 0; i < 20000; ++i) {
        text += "a日😀";
        expected += "a\x1B$BF|\x1B(B&#128512;";
    }
    text += "日";
    expected += "\x1B$BF|\x1B(B";
    EXPECT_TRUE(Encoded("ISO-2022-JP", text) == expected);
    const std::string latin(300000, 'x');
    EXPECT_TRUE(Encoded("ISO-8859-1", latin + "ü") == latin + "\xFC");
}

TEST(CharsetEncoder, AnUnknownEncodingOrOneWithoutAsciiIsAnError) {
    const std::pair<const char*, const char*> cases[] = {
        {"NO-SUCH-CHARSET", "Cannot write pages in the character set NO-SUCH-CHARSET: "},
        {"UTF-16LE", "Cannot write pages in the character set UTF-16LE: it does not write "
                     "ASCII as ASCII"},
        {"EBCDIC-US", "Cannot write pages in the character set EBCDIC-US: it does not write "
                      "ASCII as ASCII"},
    };
    for (const auto& [encoding, message] : cases)
        try {
            TCharsetEncoder encoder(encoding);
            ADD_FAILURE() << encoding << ": no error";
        } catch (const TError& e) {
            EXPECT_EQ(e.Message().rfind(message, 0), 0u) << e.Message();
        }
}

} // namespace
