#include "ui/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/settings.h"
#include "ui/control_ids.h"

namespace corvandel {
namespace {

// Language files and the test driver address items by name, and the window tells commands
// apart by id: both must be unique across all menus, controls and the main window's
// components without a control. In the context menus a
// shortcut text is there exactly when its key is bound.
TEST(CommandTableTest, NamesAndIdsAreUniqueAndShortcutsMatchTheirKeys) {
    std::set<std::string> names;
    std::set<int> ids;
    auto check = [&](const auto& items, bool keysBound) {
        for (const MenuItem& item : items) {
            const std::string name = item.component.name;
            EXPECT_TRUE(names.insert(name).second) << name;
            if (item.id == 0)
                continue;
            EXPECT_TRUE(ids.insert(item.id).second) << name;
            EXPECT_EQ(CommandByName(name), item.id);
            if (keysBound)
                EXPECT_EQ(item.key != 0, *item.shortcut != '\0') << name;
            else
                EXPECT_EQ(item.key, 0) << name;
        }
    };
    check(kProgramListMenu, true);
    check(kBackupsMenu, true);
    check(kThemeMenu, false);
    check(kViewMenu, false);
    check(kGeneralMenu, false);
    for (const ControlName& control : kControlNames) {
        EXPECT_TRUE(names.insert(control.name).second) << control.name;
        EXPECT_TRUE(ids.insert(control.id).second) << control.name;
        EXPECT_EQ(ControlByName(control.name), control.id);
    }
    // The components without a control share the window's texts: a second component of a
    // name would never get its translation.
    for (const stored::TextOnly& entry : stored::main_window::kTextOnly)
        EXPECT_TRUE(names.insert(entry.component.name).second) << entry.component.name;
    // The window shows each stored option in the menu item of the option's name.
    for (const OptionKey& option : kOptionKeys)
        EXPECT_NE(CommandByName(KeyOf(option.id).name), 0) << KeyOf(option.id).name;
    EXPECT_EQ(CommandByName("NoSuchItem"), 0);
    EXPECT_EQ(ControlByName("NoSuchControl"), 0);
}

}  // namespace
}  // namespace corvandel
