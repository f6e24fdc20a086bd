#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_codec.h"
#include "tests/fakes/fake_platform.h"

namespace corvandel {
namespace {

using testing::FakeCp1251;
using testing::FakeLocale;

TEST(SettingsFilePathTest, PortableBesideTheExecutableOtherwiseInTheProfile) {
    struct Case {
        const char* label;
        bool portable;
        const char* exeFolder;
        const char* appData;
        const char* company;
        const char* expected;
    };
    const Case cases[] = {
        {"portable ignores the profile", true, "D:\\Tools\\Corvandel\\",
         "C:\\Users\\Ann\\AppData\\Roaming", "Acme", "D:\\Tools\\Corvandel\\Config\\Option.ini"},
        {"profile", false, "D:\\Tools\\Corvandel\\", "C:\\Users\\Ann\\AppData\\Roaming", "Acme",
         "C:\\Users\\Ann\\AppData\\Roaming\\Acme\\Corvandel\\Config\\Option.ini"},
        {"separators are not doubled", false, "D:\\", "C:\\Roaming\\", "Acme\\",
         "C:\\Roaming\\Acme\\Corvandel\\Config\\Option.ini"},
        {"empty profile folder", false, "D:\\", "", "Acme",
         "\\Acme\\Corvandel\\Config\\Option.ini"},
        {"empty company", false, "D:\\", "C:\\Roaming", "",
         "C:\\Roaming\\\\Corvandel\\Config\\Option.ini"},
        {"both empty", false, "D:\\", "", "", "\\\\Corvandel\\Config\\Option.ini"},
        {"names in any script", false, "D:\\", "C:\\Пользователи\\Аня", "Фирма",
         "C:\\Пользователи\\Аня\\Фирма\\Corvandel\\Config\\Option.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(SettingsFilePath(c.portable, c.exeFolder, c.appData, c.company), c.expected);
    }
}

class MainSettingsTest : public ::testing::Test {
  protected:
    IniDocument Parse(const std::string& text) const {
        return IniDocument::Parse(text, ansi, locale);
    }
    IniDocument Empty() const { return IniDocument(ansi, locale); }

    FakeCp1251 ansi;
    FakeLocale locale;
};

TEST_F(MainSettingsTest, AnEmptyFileGivesDefaultsAndTheCurrentSize) {
    const MainSettings s = LoadMainSettings(Empty(), 480, 640);
    EXPECT_FALSE(s.themeAuto || s.themeLight || s.themeDark || s.viewLog || s.iconSmall ||
                 s.iconBig || s.maximized);
    EXPECT_EQ(s.height, 480);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(ChosenTheme(s), ThemeChoice::None);
}

TEST_F(MainSettingsTest, EveryFlagIsReadFromItsMenuItemName) {
    const MainSettings s =
        LoadMainSettings(Parse("[Option]\nThemeAuto=1\nThemeLight=0\nThemeDark=$1\nViewLogMenu=2\n"
                               "IconSmallMenu=word\nIconBigMenu=-1\n[Other]\nThemeLight=1\n"),
                         1, 1);
    EXPECT_EQ((std::vector<bool>{s.themeAuto, s.themeLight, s.themeDark, s.viewLog, s.iconSmall,
                                 s.iconBig}),
              (std::vector<bool>{true, false, true, true, false, true}));
}

TEST_F(MainSettingsTest, WindowStateAndSize) {
    struct Case {
        const char* label;
        const char* file;
        bool maximized;
        int height;
        int width;
    };
    const Case cases[] = {
        {"maximized keeps the current size",
         "[Option]\nWindow=wsMaximized\nHeight=700\nWidth=900\n", true, 480, 640},
        {"the state compares with case", "[Option]\nWindow=wsmaximized\nHeight=700\nWidth=900\n",
         false, 700, 900},
        {"normal", "[Option]\nWindow=wsNormal\nHeight=700\nWidth=900\n", false, 700, 900},
        {"no state", "[Option]\nHeight=700\nWidth=900\n", false, 700, 900},
        {"hexadecimal size", "[Option]\nHeight=$2BC\nWidth=0x384\n", false, 700, 900},
        {"unreadable size", "[Option]\nHeight=tall\nWidth=99999999999\n", false, 480, 640},
        {"one size missing", "[Option]\nWidth=900\n", false, 480, 900},
        {"case-insensitive names", "[OPTION]\nwindow=wsMaximized\n", true, 480, 640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const MainSettings s = LoadMainSettings(Parse(c.file), 480, 640);
        EXPECT_EQ(s.maximized, c.maximized);
        EXPECT_EQ(s.height, c.height);
        EXPECT_EQ(s.width, c.width);
    }
}

TEST_F(MainSettingsTest, TheLastCheckedThemeInMenuOrderWins) {
    struct Case {
        bool autoTheme, light, dark;
        ThemeChoice expected;
    };
    const Case cases[] = {
        {false, false, false, ThemeChoice::None}, {true, false, false, ThemeChoice::Auto},
        {false, true, false, ThemeChoice::Light}, {false, false, true, ThemeChoice::Dark},
        {true, true, false, ThemeChoice::Light},  {true, false, true, ThemeChoice::Dark},
        {false, true, true, ThemeChoice::Dark},   {true, true, true, ThemeChoice::Dark},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.autoTheme << c.light << c.dark);
        MainSettings s;
        s.themeAuto = c.autoTheme;
        s.themeLight = c.light;
        s.themeDark = c.dark;
        EXPECT_EQ(ChosenTheme(s), c.expected);
    }
    EXPECT_EQ(ChosenTheme(LoadMainSettings(Parse("[Option]\nThemeAuto=1\nThemeDark=1\n"), 1, 1)),
              ThemeChoice::Dark);
}

TEST_F(MainSettingsTest, SavingIntoANewFileWritesTheKeysInMenuOrder) {
    MainSettings s;
    s.themeLight = s.iconBig = true;
    s.height = 700;
    s.width = 900;
    IniDocument doc = Empty();
    SaveMainSettings(s, doc);
    EXPECT_EQ(doc.Serialize(),
              "[Option]\r\nThemeAuto=0\r\nThemeLight=1\r\nThemeDark=0\r\nViewLogMenu=0\r\n"
              "IconSmallMenu=0\r\nIconBigMenu=1\r\nWindow=wsNormal\r\nHeight=700\r\n"
              "Width=900\r\n\r\n");
    EXPECT_EQ(LoadMainSettings(doc, 1, 1).height, 700);
}

TEST_F(MainSettingsTest, SavingMaximizedKeepsTheRestoredSizeAndOtherWritersKeys) {
    IniDocument doc = Parse(
        "[Option]\r\nCheckBoxAutoCheck=1\r\nWindow=wsNormal\r\nHeight=700\r\nWidth=900\r\n"
        "ViewLogMenu=1\r\n\r\n[Language]\r\nFile=Russian.lng\r\n");
    MainSettings s;
    s.themeDark = s.maximized = true;
    s.height = 1080;
    s.width = 1920;
    SaveMainSettings(s, doc);
    EXPECT_EQ(doc.Serialize(),
              "[Option]\r\nCheckBoxAutoCheck=1\r\nWindow=wsMaximized\r\nHeight=700\r\n"
              "Width=900\r\nViewLogMenu=0\r\nThemeAuto=0\r\nThemeLight=0\r\nThemeDark=1\r\n"
              "IconSmallMenu=0\r\nIconBigMenu=0\r\n\r\n[Language]\r\nFile=Russian.lng\r\n\r\n");
}

// Each window writes only its own keys: whatever else the file holds, another window's
// keys and an administrator's servers among them, comes back unchanged.
TEST_F(MainSettingsTest, EachGroupWritesItsOwnKeysAndKeepsTheRest) {
    const std::string file =
        "[Option]\nThemeDark=1\nCheckBoxAutoCheck=0\nHeight=700\n[Language]\nLanguage=English\n"
        "[Update]\nPrimary=http://mirror.corp/\nMirror=\n[Other]\nKept=yes\n";
    const Settings read = ReadSettings(Parse(file));
    EXPECT_TRUE(read.main.themeDark);
    EXPECT_EQ(read.main.height, 700);
    EXPECT_EQ(read.main.width, 0);  // not in the file: the window's own
    EXPECT_FALSE(read.autoCheck);
    EXPECT_EQ(read.language, "English");
    EXPECT_EQ(read.primaryServer, "http://mirror.corp/");
    EXPECT_EQ(read.mirrorServer, "");  // named, if empty
    EXPECT_EQ(ReadSettings(Empty()).primaryServer, std::nullopt);
    EXPECT_TRUE(ReadSettings(Empty()).autoCheck);

    Settings changed = read;
    changed.main.themeDark = false;
    changed.main.themeLight = true;
    changed.autoCheck = true;
    changed.language = "Russian";
    changed.primaryServer = "http://elsewhere/";
    const struct {
        SettingsGroup group;
        bool themeLight, autoCheck;
        const char* language;
    } cases[] = {
        {SettingsGroup::MainWindow, true, false, "English"},
        {SettingsGroup::Language, false, false, "Russian"},
        {SettingsGroup::Updater, false, true, "English"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.group));
        IniDocument doc = Parse(file);
        WriteSettings(changed, c.group, doc);
        const Settings back = ReadSettings(doc);
        EXPECT_EQ(back.main.themeLight, c.themeLight);
        EXPECT_EQ(back.autoCheck, c.autoCheck);
        EXPECT_EQ(back.language, c.language);
        EXPECT_EQ(back.primaryServer, "http://mirror.corp/");
        EXPECT_EQ(doc.ReadString("Other", "Kept", ""), "yes");
    }
}

}  // namespace
}  // namespace corvandel
