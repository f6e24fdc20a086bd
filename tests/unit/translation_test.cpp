#include "settings/translation.h"

#include <gtest/gtest.h>

#include "settings/language_files.h"
#include "tests/fakes/fake_codec.h"
#include "tests/fakes/fake_platform.h"

namespace corvandel {
namespace {

// A small main window and an About window with the kinds of texts the program has.
struct Windows {
    ComponentList main;
    ComponentList about;
    Windows() {
        main.Add("Form1", "TForm1").Define("Caption", "Corvandel 1.0");
        main.Add("ButtonUninstall", "TButton")
            .Define("Caption", "Деинсталляция")
            .Define("Hint", "");
        main.Add("EditSearchUninstall", "TEdit").Define("TextHint", "Поиск");
        main.Add("ListViewUninstall", "TListView")
            .Define("Columns[0].Caption", "Установленные программы")
            .Define("Columns[1].Caption", "Издатель");
        main.Add("StatusBarUninstall", "TStatusBar").Define("Caption", "Элементов: 5");
        main.Add("N5", "TMenuItem").Define("Caption", "-");
        main.Add("Version", "TMenuItem").Define("Caption", "0x1F");
        main.Add("SaveDialogUninstall", "TSaveDialog").Define("Filter", "HTML|*.html");
        main.Add("TabControl", "TTabControl").Define("Tabs [0]", "Один").Define("Tabs [1]", "Два");
        main.Add("LangError", "TMenuItem").Define("Caption", "Ошибка");
        about.Add("Form8", "TForm8").Define("Caption", "О программе");
        about.Add("LabelCopyright", "TLabel").Define("Caption", "Copyright");
        about.Add("Button1", "TButton").Define("Caption", "Ok");
    }
};

TEST(TranslationTest, TextFilterSkipsEmptySeparatorsAndNumbers) {
    for (const char* text :
         {"", "-", "42", " -7", "+0", "$FF", "0x1f", "0XFFFFFFFF", "-2147483648"})
        EXPECT_FALSE(PassesTextFilter(text)) << text;
    for (const char* text :
         {"Ok", "--", "4 2", "2147483648", "0x1FFFFFFFF", "$", "0x", "12a", "1.5"})
        EXPECT_TRUE(PassesTextFilter(text)) << text;
}

TEST(TranslationTest, PassTranslatesEveryKindOfTextByKeyAndLogsMisses) {
    const testing::FakeLocale locale;
    Windows w;
    Translation translation(locale);
    translation.TranslateForm(
        w.main, WindowRole::Main,
        {"form1.buttonuninstall.CAPTION=Uninstall",  // any letter case
         "Form1.Caption=Ignored", "Form1.EditSearchUninstall.TextHint=Search",
         "Form1.ListViewUninstall.Columns[1].Caption=Publisher",
         "Form1.SaveDialogUninstall.Filter=HTML files|*.html", "Form1.TabControl.Tabs [1]=Two",
         "Form1.LangError.Caption=", "Form1.StatusBarUninstall.Caption=Never",
         "Form1.N5.Caption=Never", "Form1.Version.Caption=Never", "no key here",
         "Form1.LangError.Caption=Second"},
        {"earlier=line"});
    EXPECT_EQ(w.main.Caption("Form1"), "Corvandel 1.0");
    EXPECT_EQ(w.main.Caption("ButtonUninstall"), "Uninstall");
    EXPECT_EQ(w.main.Find("EditSearchUninstall")->Text("TextHint"), "Search");
    EXPECT_EQ(w.main.Find("ListViewUninstall")->Text("Columns[0].Caption"),
              "Установленные программы");
    EXPECT_EQ(w.main.Find("ListViewUninstall")->Text("Columns[1].Caption"), "Publisher");
    EXPECT_EQ(w.main.Find("SaveDialogUninstall")->Text("Filter"), "HTML files|*.html");
    EXPECT_EQ(w.main.Find("TabControl")->Text("Tabs [1]"), "Two");
    // An empty text uses the entry up and changes nothing; the next entry is not reached.
    EXPECT_EQ(w.main.Caption("LangError"), "Ошибка");
    EXPECT_EQ(w.main.Caption("StatusBarUninstall"), "Элементов: 5");
    EXPECT_EQ(w.main.Caption("N5"), "-");
    EXPECT_EQ(w.main.Caption("Version"), "0x1F");
    EXPECT_EQ(
        translation.Missing(),
        (std::vector<std::string>{
            "earlier=line", "Form1.ListViewUninstall.Columns[0].Caption=Установленные программы",
            "Form1.TabControl.Tabs [0]=Один"}));
}

TEST(TranslationTest, WindowCaptionsTakeEmptyTextsAndTheUpdateWindowEndsWithTheTitle) {
    const testing::FakeLocale locale;
    Windows w;
    Translation translation(locale);
    translation.TranslateForm(w.about, WindowRole::Other, {"Form8.Caption="}, {});
    EXPECT_EQ(w.about.Caption("Form8"), "");
    EXPECT_EQ(w.about.Caption("LabelCopyright"), "Copyright");
    EXPECT_EQ(translation.Missing(), std::vector<std::string>{"Form8.Button1.Caption=Ok"});

    ComponentList update;
    update.Add("Form10", "TForm10").Define("Caption", "Обновление");
    translation.TranslateForm(update, WindowRole::Update, {"Form10.Caption=Update"}, {});
    EXPECT_EQ(update.Caption("Form10"), "Update Corvandel");
    // A pass without the key appends the title again to what the window shows.
    translation.TranslateForm(update, WindowRole::Update, {}, {});
    EXPECT_EQ(update.Caption("Form10"), "Update Corvandel Corvandel");
    EXPECT_EQ(translation.Missing(), std::vector<std::string>{"Form10.Caption=Update Corvandel"});
}

TEST(LanguageFilesTest, CleaningKeepsOnlyWhatAWindowCanUse) {
    const testing::FakeLocale locale;
    const testing::FakeCp1251 ansi;
    Windows w;
    IniDocument document = IniDocument::Parse(
        "; comment\r\n[Language information]\r\nLANGNAME=Test\r\nJunk=1\r\n"
        "[Corvandel]\r\nForm1.ButtonUninstall.Caption=First\r\nNoDot=1\r\n"
        "Form1.Missing.Caption=x\r\nForm9.Caption=x\r\nFORM1.BUTTONUNINSTALL.Caption=Second\r\n"
        "form8.caption=About\r\nForm8.Button1.Whatever [3]=kept\r\n"
        "[Other]\r\nBogus=1\r\nForm1.Nothing.Caption=1\r\n[destdir]\r\nAny=1\r\n",
        ansi, locale);
    EXPECT_TRUE(CleanLanguageDocument(document, {&w.main, &w.about}));
    EXPECT_EQ(document.Serialize(),
              "[Language information]\r\nLANGNAME=Test\r\nJunk=1\r\n\r\n"
              "[Corvandel]\r\nFORM1.BUTTONUNINSTALL.Caption=Second\r\nform8.caption=About\r\n"
              "Form8.Button1.Whatever [3]=kept\r\n\r\n[destdir]\r\nAny=1\r\n\r\n");

    // Nothing to remove: the document is reported unchanged, so the file keeps its comments.
    IniDocument clean = IniDocument::Parse("[Corvandel]\r\nForm8.Caption=About\r\n", ansi, locale);
    EXPECT_FALSE(CleanLanguageDocument(clean, {&w.main, &w.about}));
}

TEST(LanguageFilesTest, MenuItemsAreSortedNamedAndCheckedByTheStoredName) {
    const testing::FakeLocale locale;
    const auto display = [](const std::string& file) -> std::optional<std::string> {
        if (file == "English.ini")
            return "English";
        return std::nullopt;
    };
    const std::vector<std::string> files{"Russian.ini", "english.ini", "Francais.ini", "x.y.ini"};
    auto items = LanguageItems(files, "", locale, display);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].base, "english");
    EXPECT_EQ(items[1].base, "Francais");
    EXPECT_EQ(items[2].base, "Russian");
    EXPECT_EQ(items[3].base, "x.y");
    EXPECT_EQ(LanguageItemCaption(items[1]), "Francais\t\tFrancais");
    EXPECT_EQ(LanguageFromCaption(LanguageItemCaption(items[3])), "x.y");
    for (const LanguageItem& item : items)
        EXPECT_FALSE(item.checked);

    const std::vector<std::string> english{"English.ini"};
    for (const char* stored : {"English", "english", "ENGLISH", "English.ini"}) {
        items = LanguageItems(english, stored, locale, display);
        EXPECT_TRUE(items[0].checked) << stored;
        EXPECT_EQ(items[0].display, "English");
    }
    for (const char* stored : {"ENGLISH.INI", "english.ini", "Engl"})
        EXPECT_FALSE(LanguageItems(english, stored, locale, display)[0].checked) << stored;
}

TEST(LanguageFilesTest, LogIsReadByItsMarkAndWrittenAsUtf16) {
    const testing::FakeCp1251 ansi;
    const std::string written = SerializeLogLines({"Form8.Caption=О программе", "a=b"});
    EXPECT_EQ(written.substr(0, 4), std::string("\xFF\xFE"
                                                "F\0",
                                                4));
    EXPECT_EQ(ParseLogLines(written, ansi),
              (std::vector<std::string>{"Form8.Caption=О программе", "a=b"}));
    EXPECT_EQ(ParseLogLines("x=\xCE\xEA\r\ny=1\n", ansi),
              (std::vector<std::string>{"x=Ок", "y=1"}));
    EXPECT_TRUE(ParseLogLines("", ansi).empty());
}

}  // namespace
}  // namespace corvandel
