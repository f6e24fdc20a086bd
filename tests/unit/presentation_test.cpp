#include "inventory/presentation.h"

#include <gtest/gtest.h>

#include "foundation/text.h"
#include "inventory/install_date.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

using testing::FakeLocale;
using testing::FakeRegistry;

UninstallEntry Row(const std::string& caption, int index) {
    UninstallEntry row;
    row.caption = caption;
    row.imageIndex = index;
    return row;
}

std::vector<int> Order(const std::vector<UninstallEntry>& rows) {
    std::vector<int> order;
    for (const auto& row : rows)
        order.push_back(row.imageIndex);
    return order;
}

// The lower case of the fake Russian locale: ASCII and the basic Cyrillic letters.
std::u16string LowerRu(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0x410 && c <= 0x42F))
            c += 0x20;
        if (c == 0x401)
            c = 0x451;
    }
    return out;
}

TEST(ByteSizeTest, UnitsFromSevenHundredAndRoundingHalfToEven) {
    const struct {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {-1, "-1 b"},
        {0, "0 b"},
        {699, "699 b"},
        {700, "1 kb"},
        {1536, "2 kb"},
        {2560, "2 kb"},
        {3584, "4 kb"},
        {716799, "700 kb"},
        {716800, "1 Mb"},
        {5368709120, "5 Gb"},
        {3298534883328, "3072 Gb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

class SortTest : public ::testing::Test {
  protected:
    FakeLocale locale;
};

TEST_F(SortTest, PublisherDescendingPutsCyrillicBeforeLatinAndKeepsEqualsInOrder) {
    const char* publishers[] = {"beta", "Альфа", "Zeta", "яблоко", "alpha", "АЛЬФА", "ALPHA"};
    std::vector<UninstallEntry> rows;
    for (int i = 0; i < 7; ++i) {
        rows.push_back(Row("p" + std::to_string(i), i));
        rows.back().columns[kColPublisher] = publishers[i];
    }
    SortByColumn(rows, 1, -1, locale);
    EXPECT_EQ(Order(rows), (std::vector<int>{3, 1, 5, 2, 0, 4, 6}));
    SortByColumn(rows, 1, +1, locale);
    EXPECT_EQ(Order(rows), (std::vector<int>{4, 6, 0, 2, 1, 5, 3}));
}

TEST_F(SortTest, EqualKeysKeepTheirOrderInLongLists) {
    // Long enough that an unstable sort would reorder equal keys.
    const char* publishers[] = {"Beta", "alpha", "ALPHA", "beta", "Гамма", "гамма"};
    std::vector<UninstallEntry> rows;
    for (int i = 0; i < 60; ++i) {
        rows.push_back(Row("p", i));
        rows.back().columns[kColPublisher] = publishers[(i * 5) % 6];
    }
    for (int direction : {+1, -1}) {
        auto sorted = rows;
        SortByColumn(sorted, 1, direction, locale);
        for (size_t i = 1; i < sorted.size(); ++i) {
            const int order =
                CompareByColumn(sorted[i - 1], sorted[i], kColPublisher, direction, locale);
            EXPECT_LE(order, 0) << i;
            if (order == 0) {
                EXPECT_LT(sorted[i - 1].imageIndex, sorted[i].imageIndex) << i;
            }
        }
    }
}

TEST_F(SortTest, HeaderIndexSelectsTheColumn) {
    // Each column orders the three rows differently.
    std::vector<UninstallEntry> base{Row("b", 0), Row("c", 1), Row("a", 2)};
    const char* texts[3][4] = {
        {"P2", "1.0", "03.01.2026", "C:\\B"},
        {"P1", "3.0", "01.01.2026", "C:\\C"},
        {"P3", "2.0", "02.01.2026", "C:\\A"},
    };
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c)
            base[r].columns[c] = texts[r][c];
    }
    const struct {
        int listColumn;
        std::vector<int> order;
    } cases[] = {
        {0, {2, 0, 1}},   // caption
        {1, {1, 0, 2}},   // publisher
        {2, {0, 2, 1}},   // version
        {3, {1, 2, 0}},   // install date text
        {4, {2, 0, 1}},   // folder
        {-1, {0, 1, 2}},  // not a list column: untouched
        {10, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        auto rows = base;
        SortByColumn(rows, c.listColumn, +1, locale);
        EXPECT_EQ(Order(rows), c.order) << "list column " << c.listColumn;
    }
}

TEST_F(SortTest, CompareByColumnFollowsTheListOrder) {
    UninstallEntry a = Row("Ab", 0);
    UninstallEntry b = Row("abc", 1);
    a.columns[kColVersion] = "ёж";
    b.columns[kColVersion] = "ЁЖ";
    EXPECT_LT(CompareByColumn(a, b, kCaptionColumn, +1, locale), 0);
    EXPECT_GT(CompareByColumn(a, b, kCaptionColumn, -1, locale), 0);
    EXPECT_LT(CompareByName(a, b, +1, locale), 0);
    EXPECT_EQ(CompareByColumn(a, b, kColVersion, +1, locale), 0);
    a.columns[kColPublisher] = "Я";
    b.columns[kColPublisher] = "Z";
    EXPECT_GT(CompareByColumn(a, b, kColPublisher, +1, locale), 0);
}

UninstallEntry Keyed(const std::string& caption, const std::string& root, const std::string& path,
                     int index) {
    UninstallEntry row = Row(caption, index);
    row.columns[kColRootName] = root;
    row.columns[kColKeyPath] = path;
    return row;
}

constexpr const char* kLm = "HKEY_LOCAL_MACHINE";
constexpr const char* kCu = "HKEY_CURRENT_USER";

TEST(DuplicateTest, KeyDropsEveryWow6432NodeInAnyCase) {
    const struct {
        const char* caption;
        const char* root;
        const char* path;
        const char* key;
    } cases[] = {
        {"Tool", kLm, "\\SOFTWARE\\WOW6432Node\\Microsoft\\Uninstall\\Tool",
         "Tool|HKEY_LOCAL_MACHINE|\\SOFTWARE\\Microsoft\\Uninstall\\Tool"},
        {"Tool", kLm, "\\software\\wow6432node\\X", "Tool|HKEY_LOCAL_MACHINE|\\software\\X"},
        {"Tool", kLm, "\\A\\Wow6432Node\\B\\WOW6432NODE\\C", "Tool|HKEY_LOCAL_MACHINE|\\A\\B\\C"},
        // Only the key path segment followed by a backslash is the redirection node.
        {"Tool", kLm, "\\SOFTWARE\\WOW6432Node", "Tool|HKEY_LOCAL_MACHINE|\\SOFTWARE\\WOW6432Node"},
        {"Тул", kCu, "\\Software\\Тул", "Тул|HKEY_CURRENT_USER|\\Software\\Тул"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DuplicateKey(Keyed(c.caption, c.root, c.path, 0)), c.key) << c.path;
}

TEST(DuplicateTest, FirstRowOfEachKeyIsKept) {
    const std::string wow = "\\SOFTWARE\\WOW6432Node\\Uninstall\\Tool";
    const std::string native = "\\SOFTWARE\\Uninstall\\Tool";
    std::vector<UninstallEntry> rows{
        Keyed("Tool", kLm, wow, 0),
        Keyed("Tool", kLm, native, 1),  // the same key, 32-bit view
        Keyed("Tool", kCu, native, 2),  // another root
        Keyed("tool", kLm, native, 3),  // captions differ in case
        Keyed("Other", kLm, native, 4),
        Keyed("Tool", kLm, "\\SOFTWARE\\wow6432node\\Uninstall\\Tool", 5),
        Keyed("Tool", kLm, "\\software\\Uninstall\\Tool", 6),  // paths differ in case
    };
    RemoveDuplicates(rows);
    EXPECT_EQ(Order(rows), (std::vector<int>{0, 2, 3, 4, 6}));
}

TEST(DuplicateTest, SameResultAsALinearSearchOnAMixedList) {
    const char* captions[] = {"A", "a", "B"};
    const char* roots[] = {kLm, kCu};
    const char* paths[] = {"\\S\\WOW6432Node\\X", "\\S\\X", "\\S\\wow6432NODE\\X", "\\S\\Y"};
    std::vector<UninstallEntry> rows;
    for (int i = 0; i < 120; ++i) {
        rows.push_back(Keyed(captions[(i * 7) % 3], roots[(i / 5) % 2], paths[(i * 3) % 4], i));
    }
    std::vector<UninstallEntry> expected;
    for (const auto& row : rows) {
        bool seen = false;
        for (const auto& kept : expected)
            seen = seen || DuplicateKey(kept) == DuplicateKey(row);
        if (!seen)
            expected.push_back(row);
    }
    RemoveDuplicates(rows);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(rows.size(), 12u);  // 3 captions x 2 roots x 2 distinct paths
}

TEST(FilterTest, MatchesCaptionOrPublisherOnlyInListOrder) {
    std::vector<UninstallEntry> rows{Row("Архиватор", 0), Row("Editor", 1), Row("Тулбар", 2),
                                     Row("Game", 3), Row("Viewer", 4)};
    rows[1].columns[kColPublisher] = "ТУЛ Софт";
    rows[3].columns[kColVersion] = "тул 1.0";
    rows[4].columns[kColInstallLocation] = "C:\\Тул\\";
    EXPECT_EQ(Order(FilterRows(rows, u"тул", LowerRu)), (std::vector<int>{1, 2}));
    EXPECT_EQ(Order(FilterRows(rows, u"", LowerRu)), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Order(FilterRows(rows, u"edit", LowerRu)), (std::vector<int>{1}));
    EXPECT_TRUE(FilterRows(rows, u"zzz", LowerRu).empty());
    // The indices the window compares with the rows it shows.
    const auto texts = SearchTexts(rows, LowerRu);
    EXPECT_EQ(MatchingRows(texts, u"тул"), (std::vector<size_t>{1, 2}));
    EXPECT_EQ(MatchingRows(texts, u"").size(), 5u);
}

void ExpectDate(const std::optional<DateTime>& date, int year, int month, int day) {
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(date->year, year);
    EXPECT_EQ(date->month, month);
    EXPECT_EQ(date->day, day);
    EXPECT_EQ(date->hour, 0);
    EXPECT_EQ(date->minute, 0);
}

TEST(RecentTest, ParseShortDateReadsWhatFormatShortDateWrote) {
    const char* patterns[] = {"dd.MM.yyyy", "d/M/yy",      "yyyy-MM-dd",
                              "M/d/yyyy",   "d.M.y",       "dd' de 'MM' de 'yyyy",
                              "dd.MM.yy",   "yyyy'г.' d.M"};
    const DateTime dates[] = {{2026, 12, 9}, {2005, 7, 4},  {2000, 2, 29},
                              {1999, 1, 31}, {2049, 10, 1}, {1950, 6, 15}};
    for (const char* pattern : patterns) {
        for (const DateTime& date : dates) {
            const std::string text = FormatShortDate(pattern, date);
            SCOPED_TRACE(std::string(pattern) + " " + text);
            ExpectDate(ParseShortDate(text, pattern), date.year, date.month, date.day);
        }
    }
}

TEST(RecentTest, ParseShortDateRejectsWhatIsNotADay) {
    const struct {
        const char* text;
        const char* pattern;
    } cases[] = {
        {"31.02.2026", "dd.MM.yyyy"}, {"29.02.2025", "dd.MM.yyyy"},
        {"29.02.1900", "dd.MM.yyyy"}, {"00.01.2026", "dd.MM.yyyy"},
        {"01.13.2026", "dd.MM.yyyy"}, {"01.00.2026", "dd.MM.yyyy"},
        {"31.04.2026", "dd.MM.yyyy"}, {"01.01.2026x", "dd.MM.yyyy"},
        {"", "dd.MM.yyyy"},           {"ab.cd.efgh", "dd.MM.yyyy"},
        {"01-01-2026", "dd.MM.yyyy"}, {"01.01.26", "dd.MM.yyyy"},
        {"01.01.0000", "dd.MM.yyyy"}, {"01 01 2026", "dd' de 'MM' de 'yyyy"},
        {"123.01.2026", "d.MM.yyyy"}, {"01.01", "dd.MM"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ParseShortDate(c.text, c.pattern).has_value()) << c.text;
}

TEST(RecentTest, TwoDigitYearsAndLeapDays) {
    ExpectDate(ParseShortDate("01.01.49", "dd.MM.yy"), 2049, 1, 1);
    ExpectDate(ParseShortDate("01.01.50", "dd.MM.yy"), 1950, 1, 1);
    ExpectDate(ParseShortDate("01.01.00", "dd.MM.yy"), 2000, 1, 1);
    ExpectDate(ParseShortDate("1.1.99", "d.M.yy"), 1999, 1, 1);
    ExpectDate(ParseShortDate("29.02.2024", "dd.MM.yyyy"), 2024, 2, 29);
    ExpectDate(ParseShortDate("29.02.2000", "dd.MM.yyyy"), 2000, 2, 29);
}

TEST(RecentTest, RecentMeansAtMostThreeWholeDaysAgo) {
    const DateTime morning{2026, 12, 9, 10, 0, 0, 0};
    const struct {
        const char* text;
        DateTime now;
        bool recent;
    } cases[] = {
        {"09.12.2026", morning, true},
        {"08.12.2026", morning, true},
        {"06.12.2026", morning, true},   // 3 days and 10 hours
        {"05.12.2026", morning, false},  // 4 days
        {"06.12.2026", {2026, 12, 9, 23, 59, 59, 999}, true},
        {"05.12.2026", {2026, 12, 9, 0, 0, 0, 0}, false},
        {"31.12.2025", {2026, 1, 3, 12, 0, 0, 0}, true},  // across a year end
        {"28.02.2024", {2024, 3, 2, 12, 0, 0, 0}, true},  // 29 February counts
        {"27.02.2024", {2024, 3, 2, 12, 0, 0, 0}, false},
        // Tomorrow is less than one whole day ahead and truncates to day 0.
        {"10.12.2026", morning, true},
        {"11.12.2026", morning, false},
        {"01.01.2027", morning, false},
        {"garbage", morning, false},
        {"", morning, false},
        {"30.12.1899", morning, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRecentEntry(c.text, "dd.MM.yyyy", c.now), c.recent)
            << c.text << " at " << c.now.day << "." << c.now.month << " " << c.now.hour << "h";
    }
}

TEST(IconTest, EnsureExtensionLooksOnlyAtTheFileName) {
    const struct {
        const char* name;
        const char* extension;
        const char* result;
    } cases[] = {
        {"C:\\x\\app", ".ico", "C:\\x\\app.ico"},
        {"C:\\x\\app.exe", ".ico", "C:\\x\\app.exe"},
        {"C:\\x.y\\app", ".ico", "C:\\x.y\\app.ico"},
        {"C:app", ".ico", "C:app.ico"},
        {"a.b:c", ".ico", "a.b:c.ico"},
        {"file.", ".ico", "file."},
        {"", ".ico", ".ico"},
        {"app", "ico", "app.ico"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EnsureExtension(c.name, c.extension), c.result) << c.name;
}

TEST(IconTest, FolderOfKeepsTheSeparator) {
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"C:\\Program Files\\Tool\\tool.exe", "C:\\Program Files\\Tool\\"},
        {"C:\\Dir\\", "C:\\Dir\\"},
        {"C:tool.exe", "C:"},
        {"tool.exe", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
}

TEST(IconTest, EmptyFoldersComeFromTheIconSource) {
    std::vector<UninstallEntry> rows{Row("a", 0), Row("b", 1), Row("c", 2)};
    rows[0].columns[kColIconSource] = "C:\\Tool\\tool.exe";
    rows[1].columns[kColIconSource] = "C:\\Tool\\tool.exe";
    rows[1].columns[kColInstallLocation] = "D:\\Kept\\";
    rows[2].columns[kColIconSource] = "tool.exe";
    FillEmptyFolders(rows);
    EXPECT_EQ(rows[0].columns[kColInstallLocation], "C:\\Tool\\");
    EXPECT_EQ(rows[1].columns[kColInstallLocation], "D:\\Kept\\");
    EXPECT_EQ(rows[2].columns[kColInstallLocation], "");
}

class ProductIconTest : public ::testing::Test {
  protected:
    static constexpr const char* kMachine = "HKLM\\SOFTWARE\\Classes\\Installer\\Products\\";
    static constexpr const char* kUser = "HKCU\\Software\\Microsoft\\Installer\\Products\\";
    static constexpr const char* kMsiexec = "MsiExec.exe /X{1234}";

    void Product(const std::string& key, const std::string& name, const std::string& icon) {
        registry.SetString(key, "ProductName", name);
        registry.SetString(key, "ProductIcon", icon);
    }
    UninstallEntry& Add(const std::string& caption, const std::string& iconSource) {
        rows.push_back(Row(caption, static_cast<int>(rows.size())));
        rows.back().columns[kColIconSource] = iconSource;
        return rows.back();
    }
    std::string Icon(size_t row) const { return rows[row].columns[kColIconSource]; }
    void Load() {
        LoadProductIcons(registry, rows, "C:\\Users\\Tester\\AppData\\Roaming");
        EXPECT_EQ(registry.OpenHandles(), 0);
    }

    FakeRegistry registry;
    std::vector<UninstallEntry> rows;
};

TEST_F(ProductIconTest, MsiexecRowsOfTheSameCaptionGetTheProductIcon) {
    Product(std::string(kMachine) + "P1", "Office Tool", "C:\\Windows\\Installer\\{1}\\tool.ico");
    Add("Office Tool", "C:\\Windows\\System32\\MSIEXEC.EXE");
    Add("office tool", "C:\\Windows\\System32\\msiexec.exe");  // caption differs in case
    Add("Office Tool", "C:\\Tool\\tool.exe");                  // not an Installer icon
    Add("Office Tool", kMsiexec);
    Load();
    EXPECT_EQ(Icon(0), "C:\\Windows\\Installer\\{1}\\tool.ico");
    EXPECT_EQ(Icon(1), "C:\\Windows\\System32\\msiexec.exe");
    EXPECT_EQ(Icon(2), "C:\\Tool\\tool.exe");
    EXPECT_EQ(Icon(3), "C:\\Windows\\Installer\\{1}\\tool.ico");
}

TEST_F(ProductIconTest, IconTextRules) {
    Product(std::string(kMachine) + "P1", "Roamer", "%AppData%\\Vendor\\icon");
    Product(std::string(kMachine) + "P2", "Twice", "%APPDATA%\\a;%appdata%\\b.ico");
    Product(std::string(kUser) + "P3", "Blank", "");
    Product(std::string(kUser) + "P4", "Dotted", "C:\\v1.2\\icon");
    Add("Roamer", kMsiexec);
    Add("Twice", kMsiexec);
    Add("Blank", kMsiexec);
    Add("Dotted", kMsiexec);
    Load();
    EXPECT_EQ(Icon(0), "c:\\users\\tester\\appdata\\roaming\\Vendor\\icon.ico");
    EXPECT_EQ(Icon(1),
              "c:\\users\\tester\\appdata\\roaming\\a;c:\\users\\tester\\appdata\\roaming\\b.ico");
    EXPECT_EQ(Icon(2), ".ico");
    EXPECT_EQ(Icon(3), "C:\\v1.2\\icon.ico");
}

TEST_F(ProductIconTest, MachineProductsComeBeforeTheUsersAndTheFirstMatchWins) {
    Product(std::string(kUser) + "U1", "Shared", "C:\\user.ico");
    Product(std::string(kMachine) + "M1", "Shared", "C:\\machine.ico");
    Product(std::string(kMachine) + "M2", "Shared", "C:\\second.ico");
    Add("Shared", kMsiexec);
    Load();
    EXPECT_EQ(Icon(0), "C:\\machine.ico");
}

TEST_F(ProductIconTest, IncompleteProductsAreSkippedAndTheRestStillApply) {
    registry.SetString(std::string(kMachine) + "NoIcon", "ProductName", "NoIcon");
    Product(std::string(kMachine) + "NoName", "", "C:\\noname.ico");
    registry.SetDword(std::string(kMachine) + "Numeric", "ProductName", 7);
    registry.SetString(std::string(kMachine) + "Numeric", "ProductIcon", "C:\\numeric.ico");
    registry.SetString(std::string(kMachine) + "NumericIcon", "ProductName", "Later");
    registry.SetDword(std::string(kMachine) + "NumericIcon", "ProductIcon", 1);
    Product(std::string(kUser) + "Good", "Later", "C:\\later.ico");
    Add("NoIcon", kMsiexec);
    Add("", kMsiexec);
    Add("Later", kMsiexec);
    Load();
    EXPECT_EQ(Icon(0), kMsiexec);
    EXPECT_EQ(Icon(1), kMsiexec);
    EXPECT_EQ(Icon(2), "C:\\later.ico");
}

TEST_F(ProductIconTest, NoProductKeysLeaveTheRowsAlone) {
    Add("Tool", kMsiexec);
    Load();
    EXPECT_EQ(Icon(0), kMsiexec);
}

// A value the elevated program would hand the shell: only a web address goes.
TEST(WebAddressTest, OnlyHttpAndHttpsAddressesAreOpened) {
    const std::pair<const char*, bool> cases[] = {
        {"https://contoso.example/support", true},
        {"HTTP://contoso.example", true},
        {"http://contoso.example/a?b=c#d", true},
        {"C:\\Users\\u\\x.exe", false},
        {"file:///C:/Windows/System32/calc.exe", false},
        {"contoso.example", false},
        {"https://", false},
        {"https:///etc", false},
        {"http://contoso.example/\" & calc", false},
        {"http://a b", false},
        {"http://contoso.example\r\nx", false},
        {"ms-settings:appsfeatures", false},
        {"", false},
    };
    for (const auto& [text, web] : cases)
        EXPECT_EQ(IsWebAddress(text), web) << text;
}

}  // namespace

}  // namespace corvandel
