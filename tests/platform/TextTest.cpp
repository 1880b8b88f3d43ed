// How texts from a server or a project are shown on a terminal: characters kept, controls
// and bytes that are no character shown as "?".

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

TEST(ControlCharactersShown, ControlsAndStrayBytesAreShownAsQuestionMarks) {
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Shown;
    } cases[] = {
        {"plain", "index.htm", "index.htm"},
        {"C0 controls and DEL", std::string("a\0b\x1b[2Jc\td\x7f", 11), "a?b?[2Jc?d?"},
        {"C1 controls as UTF-8",
         "a\xc2\x80"
         "b\xc2\x9b"
         "31mc\xc2\x9f",
         "a?b?31mc?"},
        {"the character after the C1 range", "\xc2\xa0", "\xc2\xa0"},
        {"e acute", "caf\xc3\xa9", "caf\xc3\xa9"},
        {"euro sign, its continuation bytes in 0x80..0x9F", "\xe2\x82\xac 5", "\xe2\x82\xac 5"},
        {"a letter beyond the first plane", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
        {"single bytes 0x80..0x9F of a one-byte charset",
         "a\x9b"
         "31mb\x85",
         "a?31mb?"},
        {"Latin-1 e acute alone", "caf\xe9", "caf?"},
        {"a sequence cut short", "a\xe2\x82", "a??"},
        {"a lead byte before an ASCII byte",
         "\xc3"
         "A",
         "?A"},
        {"over-long slash", "\xc0\xaf", "??"},
        {"over-long C1 control", "\xe0\x82\x9b", "???"},
        {"a surrogate", "\xed\xa0\x80", "???"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "????"},
        {"a byte never in UTF-8", "\xff\xfe", "??"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ControlCharactersShown(c.Text), c.Shown) << c.Name;
}

TEST(ControlCharactersShown, AtMostTheLongestCharactersThenAnEllipsis) {
    EXPECT_EQ(ControlCharactersShown("\xc3\xa9\xc3\xa9\xc3\xa9", 2), "\xc3\xa9\xc3\xa9...");
    EXPECT_EQ(ControlCharactersShown("ab", 2), "ab");
    EXPECT_EQ(ControlCharactersShownByLine("one\x1b\ntwo\xc2\x9b\n"), "one?\ntwo?\n");
}
