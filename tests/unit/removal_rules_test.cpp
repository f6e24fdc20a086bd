#include "removal/removal_rules.h"

#include <gtest/gtest.h>

#include <set>

namespace corvandel {
namespace {

TEST(BackupFileNameTest, NeverLeavesFolderNamesDeviceOrBreaksUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"Foo Editor 2.1", "Foo Editor 2.1"},
        {"..\\..\\evil", ".._.._evil"},
        {"a/b", "a_b"},
        {"C:x", "C_x"},
        {"<a>|\"b\"?*", "_a___b___"},
        {"tab\there\x1f", "tab_here_"},
        {"name. ", "name__"},
        {"..", "__"},
        {"CON", "_CON"},
        {"con.txt", "_con.txt"},
        {"Nul. stuff", "_Nul. stuff"},
        {"COM1", "_COM1"},
        {"lpt9.log", "_lpt9.log"},
        {"COM10", "COM10"},
        {"COM0", "COM0"},
        {"CONSOLE", "CONSOLE"},
        {"", "_"},
        {"Программа", "Программа"},
        {"Game \xF0\x9F\x8E\xAE", "Game \xF0\x9F\x8E\xAE"},
    };
    for (const auto& [caption, expected] : cases) {
        SCOPED_TRACE(caption);
        EXPECT_EQ(SafeBackupFileName(caption), expected);
    }
}

TEST(BackupFileNameTest, FreePathNeverOverwrites) {
    std::set<std::string> taken;
    const auto exists = [&taken](const std::string& path) { return taken.count(path) != 0; };
    EXPECT_EQ(FreeBackupPath("C:\\B\\", "Foo", exists), "C:\\B\\Foo.reg");
    taken.insert("C:\\B\\Foo.reg");
    EXPECT_EQ(FreeBackupPath("C:\\B\\", "Foo", exists), "C:\\B\\Foo (2).reg");
    taken.insert("C:\\B\\Foo (2).reg");
    EXPECT_EQ(FreeBackupPath("C:\\B\\", "Foo", exists), "C:\\B\\Foo (3).reg");
}

TEST(RegistryEditorKeyTest, JoinsAndCollapsesSeparators) {
    EXPECT_EQ(RegistryEditorKey("HKEY_LOCAL_MACHINE",
                                "\\SOFTWARE\\WOW6432Node\\\\Microsoft\\Windows\\CurrentVersion"
                                "\\Uninstall\\Foo"),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion"
              "\\Uninstall\\Foo");
    EXPECT_EQ(RegistryEditorKey("HKEY_CURRENT_USER", "\\\\\\A"), "HKEY_CURRENT_USER\\A");
    EXPECT_EQ(RegistryEditorKey("HKEY_CURRENT_USER", ""), "HKEY_CURRENT_USER");
    EXPECT_EQ(RegistryEditorKey("", "\\SOFTWARE"), "");
    EXPECT_EQ(RegistryEditorKey("", ""), "");
}

constexpr const char* kHtmlHead =
    "<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>HTML-Ansicht: Programs</title>\r\n"
    "</head>\r\n<table border=\"1\" bordercolor=\"#000000\">\r\n<tr>\r\n"
    "<td><b><center>Name</center></b></td>\r\n<td><b><center>Publisher</center></b></td>\r\n"
    "<td><b><center>Version</center></b></td>\r\n</tr>\r\n";

TEST(HtmlReportTest, EmptyListHasHeaderOnly) {
    EXPECT_EQ(HtmlReport("Programs", {"Name", "Publisher", "Version"}, {}),
              std::string(kHtmlHead) + "</table>\r\n</html>\r\n");
}

TEST(HtmlReportTest, EscapesMarkupAndDashesEmptyCells) {
    const std::string html =
        HtmlReport("Programs", {"Name", "Publisher", "Version"},
                   {{"<script>alert(1)</script> & \"x\"", "", "1.0"}, {"", "O'Neil"}});
    EXPECT_EQ(html, std::string(kHtmlHead) +
                        "<tr>\r\n<td>&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;x&quot;"
                        "</td>\r\n<td>-</td><td>1.0</td></tr>"
                        "<tr>\r\n<td></td>\r\n<td>O&#39;Neil</td><td>-</td></tr>"
                        "</table>\r\n</html>\r\n");
    EXPECT_NE(HtmlReport("<b>", {"<i>"}, {}).find("HTML-Ansicht: &lt;b&gt;</title>"),
              std::string::npos);
}

TEST(BackupDateTextTest, TwoDigitFields) {
    EXPECT_EQ(BackupDateText(DateTime{}, ":"), "30.12.99 00:00");
    EXPECT_EQ(BackupDateText(DateTime{2026, 3, 7, 9, 5, 59, 999}, "."), "07.03.26 09.05");
    EXPECT_EQ(BackupDateText(DateTime{2000, 11, 28, 23, 59}, ":"), "28.11.00 23:59");
}

// Which tool each kind of process starts is in system_view_test.cpp; here, how it is told.
TEST(PlanRestoreTest, ImportsThroughTheToolOfTheSystemsWordSize) {
    const std::string file = "C:\\Program Files (x86)\\Corvandel\\backup\\Tool, x.reg";
    SystemView view;
    view.windowsFolder = "C:\\Windows";
    view.windows64 = true;
    const RestoreLaunch native = PlanRestore(file, view);
    EXPECT_EQ(native.parameters, "/s \"" + file + "\"");
    EXPECT_FALSE(native.hidden);

    view.redirected = true;
    const RestoreLaunch wow = PlanRestore(file, view);
    EXPECT_EQ(wow.parameters, "import \"" + file + "\"");
    EXPECT_TRUE(wow.hidden);
}

}  // namespace
}  // namespace corvandel
