#include "foundation/text.h"

#include <gtest/gtest.h>

namespace corvandel {
namespace {

TEST(TextTest, Utf16RoundTripKeepsEveryCodeUnitIncludingLoneSurrogates) {
    const std::u16string samples[] = {
        u"",
        u"plain",
        u"Кириллица",
        u"日本語",
        u"\U0001F600 emoji",
        std::u16string{u'\xD800', u'x'},
        std::u16string{u'x', u'\xDC00'},
        std::u16string{u'\xDC00', u'\xD800'},
    };
    for (const auto& sample : samples) {
        EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(sample)), sample);
    }
    EXPECT_EQ(Utf16ToUtf8(u"Ж\U0001F600"), "Ж\xF0\x9F\x98\x80");
}

TEST(TextTest, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\xFFFD"
              u"b");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\xFFFD\xFFFD");
}

TEST(TextTest, Helpers) {
    EXPECT_EQ(AsciiLower("ABC Жук"), "abc Жук");
    EXPECT_EQ(TrimBlanks("\t \x01 a b \r\n"), "a b");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("x (x86) y (x86)", " (x86)", ""), "x y");
    EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");
}

}  // namespace
}  // namespace corvandel
