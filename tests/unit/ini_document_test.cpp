#include "settings/IniDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_codec.h"
#include "tests/fakes/fake_platform.h"

namespace corvandel {
namespace {

using testing::FakeCp1251;
using testing::FakeLocale;
using Lines = std::vector<std::string>;

const std::string kUtf8Mark = "\xEF\xBB\xBF";

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

class IniDocumentTest : public ::testing::Test {
  protected:
    IniDocument Parse(const std::string& bytes) const {
        return IniDocument::Parse(bytes, ansi, locale);
    }
    IniDocument WithValue(const std::string& value) const {
        IniDocument doc(ansi, locale);
        doc.WriteString("S", "k", value);
        return doc;
    }

    FakeCp1251 ansi;
    FakeLocale locale;
};

TEST_F(IniDocumentTest, LineRules) {
    struct Case {
        const char* label;
        std::string text;
        Lines valuesOfS;
    };
    const Case cases[] = {
        {"comments, blank lines and lines before the first section",
         "orphan=1\n; [S]\n[S]\n;a=1\n   ; indented\n\n \t \nb=2\nc=;kept\n",
         {"b=2", "c=;kept"}},
        {"blanks around headers, names and values",
         "  [  S  ]  \n\t name \t=\t v  w \t\n",
         {"name=v  w"}},
        {"the first equals sign splits", "[S]\np = C:\\a=b = c\n", {"p=C:\\a=b = c"}},
        {"entries without value",
         "[S]\n flag \nempty=\n=nameless\n",
         {"flag", "empty=", "=nameless"}},
        {"every line ending", "[S]\r\na=1\rb=2\nc=3\r\n\r\n\n\rd=4", {"a=1", "b=2", "c=3", "d=4"}},
        {"only a line in brackets is a header", "[S]\n[open\nclose]\n", {"[open", "close]"}},
        {"a repeated section is skipped up to the next header",
         "[S]\na=1\n[s]\nb=2\n[T]\n[S]\nc=3",
         {"a=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Parse(c.text).ReadSectionValues("S"), c.valuesOfS);
    }
}

TEST_F(IniDocumentTest, SectionsInFileOrderFirstOccurrenceOnly) {
    const IniDocument doc = Parse("[Main]\nx=1\n[other]\n[MAIN]\nx=2\n[]\ne=1\n[ a ] b]\n[Last]\n");
    EXPECT_EQ(doc.ReadSections(), (Lines{"Main", "other", "", "a ] b", "Last"}));
    EXPECT_EQ(doc.ReadString("main", "X", "-"), "1");
    EXPECT_EQ(doc.ReadString("", "e", "-"), "1");
}

TEST_F(IniDocumentTest, RepeatedEntryNamesAreKeptAndTheFirstIsAddressed) {
    IniDocument doc = Parse("[S]\nk=1\nother=x\nK=2\n");
    EXPECT_EQ(doc.ReadSection("S"), (Lines{"k", "other", "K"}));
    EXPECT_EQ(doc.ReadString("S", "K", "-"), "1");
    doc.WriteString("S", "k", "new");
    EXPECT_EQ(doc.ReadSectionValues("S"), (Lines{"k=new", "other=x", "K=2"}));
    doc.DeleteKey("S", "K");
    EXPECT_EQ(doc.ReadString("S", "k", "-"), "2");
}

TEST_F(IniDocumentTest, ReadingGivesTheDefaultOnlyWhenThereIsNoValue) {
    const IniDocument doc = Parse("[S]\nflag\nempty=\n");
    EXPECT_EQ(doc.ReadString("S", "flag", "d"), "d");
    EXPECT_EQ(doc.ReadString("S", "empty", "d"), "");
    EXPECT_EQ(doc.ReadString("S", "missing", "d"), "d");
    EXPECT_EQ(doc.ReadString("T", "flag", "d"), "d");
    EXPECT_FALSE(doc.SectionExists("T"));
    EXPECT_TRUE(doc.ReadSection("T").empty());
}

TEST_F(IniDocumentTest, NamesCompareInTheLocaleUpperCaseValuesDoNot) {
    IniDocument doc = Parse(kUtf8Mark + "[Настройки]\nКлюч=Значение\nёлка=1\n");
    EXPECT_TRUE(doc.SectionExists("НАСТРОЙКИ"));
    EXPECT_FALSE(doc.SectionExists("Настройка"));
    EXPECT_EQ(doc.ReadString("настройки", "КЛЮЧ", "-"), "Значение");
    EXPECT_EQ(doc.ReadString("НАСТРОЙКИ", "ЁЛКА", "-"), "1");
    // Another case addresses the same entry and keeps the stored spelling.
    doc.WriteString("НАСТРОЙКИ", "ключ", "новое");
    EXPECT_EQ(doc.ReadSectionValues("Настройки"), (Lines{"Ключ=новое", "ёлка=1"}));
}

TEST_F(IniDocumentTest, OddInput) {
    struct Case {
        const char* label;
        std::string bytes;
        IniEncoding encoding;
        std::string written;
    };
    const Case cases[] = {
        {"no bytes", "", IniEncoding::Ansi, ""},
        {"UTF-8 mark only", kUtf8Mark, IniEncoding::Utf8, kUtf8Mark},
        {"UTF-16 LE mark only", "\xFF\xFE", IniEncoding::Utf16LE, "\xFF\xFE"},
        {"UTF-16 BE mark and half a unit", "\xFE\xFF[", IniEncoding::Utf16BE, "\xFE\xFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const IniDocument doc = Parse(c.bytes);
        EXPECT_TRUE(doc.ReadSections().empty());
        EXPECT_EQ(doc.Encoding(), c.encoding);
        EXPECT_EQ(doc.Serialize(), c.written);
    }
    EXPECT_EQ(Parse(Utf16Bytes(u"[S]\r\nk=ab", false) + "c").ReadString("S", "k", "-"), "ab");

    const std::string withNul("[S]\nk=a\0b\n", 10);
    EXPECT_EQ(Parse(withNul).Serialize(), std::string("[S]\r\nk=a\0b\r\n\r\n", 14));
}

TEST_F(IniDocumentTest, ALargeFileLoadsCompletely) {
    std::string text;
    for (int s = 0; s < 2000; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int e = 0; e < 100; ++e)
            text += "Key" + std::to_string(e) + "=" + std::to_string(s * 100 + e) + "\r\n";
    }
    const std::string shadowed = "[section0]\r\nKey0=shadowed\r\n";
    const IniDocument doc = Parse(text + shadowed);
    EXPECT_EQ(doc.ReadInteger("SECTION1999", "key99", -1), 199999);
    EXPECT_EQ(doc.ReadString("Section0", "Key0", "-"), "0");
    // Each section gains its closing empty line; the repeated one is gone.
    EXPECT_EQ(doc.Serialize().size(), text.size() + 2 * 2000);
}

TEST_F(IniDocumentTest, ReadIntegerAcceptsWholeDecimalOrHexNumbersOnly) {
    // clang-format off
    const std::pair<const char*, int32_t> accepted[] = {
        {"700", 700},     {"0x2BC", 700},   {"0X1f", 31},    {"$FF", 255},
        {"$ff", 255},     {" -5", -5},      {"\t+7", 7},     {"-0x10", -16},
        {"-$10", -16},    {"007", 7},       {"0", 0},        {"$FFFFFFFF", -1},
        {"2147483647", INT32_MAX},  {"-2147483648", INT32_MIN}, {"0x80000000", INT32_MIN},
    };
    // clang-format on
    for (const auto& [text, expected] : accepted) {
        SCOPED_TRACE(text);
        EXPECT_EQ(WithValue(text).ReadInteger("S", "k", -77), expected);
    }
    const char* rejected[] = {
        "2147483648", "-2147483649", "99999999999", "$100000000", "abc", "12abc", "12 ", "1.5",
        "- 5",        "--5",         "+",           "$",          "0x",  "$-1",   "0xG", ""};
    for (const char* text : rejected) {
        SCOPED_TRACE(text);
        EXPECT_EQ(WithValue(text).ReadInteger("S", "k", -77), -77);
    }
    EXPECT_EQ(Parse("[S]\nk\n").ReadInteger("S", "k", -77), -77);
}

TEST_F(IniDocumentTest, ReadBoolIsAnyNonZeroInteger) {
    EXPECT_TRUE(WithValue("2").ReadBool("S", "k", false));
    EXPECT_TRUE(WithValue("-1").ReadBool("S", "k", false));
    EXPECT_FALSE(WithValue("$0").ReadBool("S", "k", true));
    EXPECT_TRUE(WithValue("word").ReadBool("S", "k", true));
    EXPECT_FALSE(WithValue("true").ReadBool("S", "k", false));
    EXPECT_TRUE(WithValue("").ReadBool("S", "missing", true));
}

TEST_F(IniDocumentTest, WritesReplaceOrAppendAndSerializeWithCrLf) {
    IniDocument doc(ansi, locale);
    doc.WriteString("B", "text", "a=b");
    doc.WriteInteger("A", "number", -42);
    doc.WriteBool("B", "yes", true);
    doc.WriteBool("B", "no", false);
    doc.WriteInteger("b", "TEXT", 5);
    EXPECT_EQ(doc.Serialize(), "[B]\r\ntext=5\r\nyes=1\r\nno=0\r\n\r\n[A]\r\nnumber=-42\r\n\r\n");
}

TEST_F(IniDocumentTest, RewritingAFileDropsCommentsAndSpacing) {
    IniDocument doc = Parse(
        "; by hand\r\nbefore=lost\r\n\r\n[Option]   \r\n  Height =  480\r\n; note\r\nFlag\r\n"
        "\r\n\r\n[Language]\r\nFile=ru.lng\r\n");
    doc.WriteInteger("option", "height", 600);
    doc.WriteString("Option", "Width", "800");
    doc.WriteString("Option", "FLAG", "on");
    doc.WriteString("New", "k", "v");
    EXPECT_EQ(doc.Serialize(),
              "[Option]\r\nHeight=600\r\nFlag=on\r\nWidth=800\r\n\r\n[Language]\r\nFile=ru.lng\r\n"
              "\r\n[New]\r\nk=v\r\n\r\n");
}

TEST_F(IniDocumentTest, ErasingSectionsKeepsTheOthersAddressable) {
    IniDocument doc = Parse("[A]\na=1\n[B]\nb=2\n[C]\nc=3\n");
    doc.EraseSection("b");
    doc.EraseSection("missing");
    doc.DeleteKey("missing", "a");
    doc.DeleteKey("A", "a");
    doc.WriteString("C", "d", "4");
    doc.WriteString("B", "b", "new");
    EXPECT_EQ(doc.Serialize(), "[A]\r\n\r\n[C]\r\nc=3\r\nd=4\r\n\r\n[B]\r\nb=new\r\n\r\n");
}

TEST_F(IniDocumentTest, UnicodeFilesRoundTripWithTheirMark) {
    IniDocument utf8 = Parse(kUtf8Mark + "[Язык]\nФайл=русский.lng\n");
    utf8.WriteString("язык", "日本", "中文 🙂");
    EXPECT_EQ(
        utf8.Serialize(),
        kUtf8Mark + "[Язык]\r\nФайл=русский.lng\r\n日本=中文 🙂\r\n\r\n");

    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "UTF-16 BE" : "UTF-16 LE");
        IniDocument doc = Parse(
            Utf16Bytes(u"; x\r\n[Язык]\r\nФайл = 🙂\r\nlone=\xD800!\r\n", bigEndian));
        EXPECT_EQ(doc.Encoding(), bigEndian ? IniEncoding::Utf16BE : IniEncoding::Utf16LE);
        EXPECT_EQ(doc.ReadString("ЯЗЫК", "ФАЙЛ", "-"), "🙂");
        doc.WriteString("Язык", "Ключ", "x");
        EXPECT_EQ(doc.Serialize(),
                  Utf16Bytes(u"[Язык]\r\nФайл=🙂\r\nlone=\xD800!\r\nКлюч=x\r\n\r\n",
                             bigEndian));
    }
}

TEST_F(IniDocumentTest, FilesWithoutMarkAreInTheAnsiCodePage) {
    // "[Язык]\r\nФайл=ёж\r\n" in code page 1251.
    const std::string cp1251 = "[\xDF\xE7\xFB\xEA]\r\n\xD4\xE0\xE9\xEB=\xB8\xE6\r\n";
    IniDocument doc = Parse(cp1251);
    EXPECT_EQ(doc.ReadString("ЯЗЫК", "файл", "-"), "ёж");
    EXPECT_EQ(doc.Serialize(), cp1251 + "\r\n");
    // What the code page lacks is the conversion's business.
    doc.WriteString("Язык", "名", "Ж😀");
    EXPECT_EQ(doc.Serialize(), cp1251 + "?=\xC6?\r\n\r\n");
}

}  // namespace
}  // namespace corvandel
