#include "ui/component.h"

#include <gtest/gtest.h>

namespace corvandel {
namespace {

TEST(ComponentTest, TextsAreReadAndWrittenByNameAndReachTheWindow) {
    ComponentList components;
    components.Add("Form1", "TForm1").Define("Caption", "Corvandel");
    std::vector<std::string> applied;
    components.Add("LangError", "TMenuItem")
        .Define("Caption", "Ошибка")
        .OnChange([&](const std::string& property, const std::string& value) {
            applied.push_back(property + "=" + value);
        });

    EXPECT_EQ(components.Caption("LangError"), "Ошибка");
    EXPECT_TRUE(components.Find("LangError")->Set("Caption", "Error"));
    EXPECT_EQ(components.Caption("LangError"), "Error");
    EXPECT_EQ(applied, std::vector<std::string>{"Caption=Error"});

    // A property the component does not have is refused and nothing changes.
    EXPECT_FALSE(components.Find("LangError")->Set("Hint", "x"));
    EXPECT_EQ(applied.size(), 1u);
    EXPECT_EQ(components.Find("Missing"), nullptr);
    EXPECT_EQ(components.Caption("Missing"), "");

    // Creation order is kept: language files and settings rely on it.
    ASSERT_EQ(components.Items().size(), 2u);
    EXPECT_EQ(components.Items()[0]->Name(), "Form1");
    EXPECT_EQ(components.Items()[1]->ClassName(), "TMenuItem");
}

TEST(ComponentTest, PropertiesKeepTheirDeclarationOrder) {
    Component list("ListViewUninstall", "TListView");
    list.Define("Columns[1].Caption", "Издатель").Define("Columns[0].Caption", "Имя");
    list.Define("Columns[1].Caption", "Publisher");  // a second Define replaces the value
    EXPECT_EQ(list.Properties(),
              (std::vector<std::string>{"Columns[1].Caption", "Columns[0].Caption"}));
    EXPECT_EQ(list.Text("Columns[1].Caption"), "Publisher");
}

}  // namespace
}  // namespace corvandel
