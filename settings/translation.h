#pragma once
// Applying a language file to a window: every text property of every component is looked up
// under a key made of the window's and the component's names. Keys a file lacks can be
// collected for a log, so that translators see what is missing.

#include <string>
#include <string_view>
#include <vector>

#include "foundation/platform.h"
#include "ui/component.h"

namespace corvandel {

// The title of the application: the section of language files that holds its texts.
inline constexpr const char* kApplicationTitle = "Corvandel";

// The main window keeps its own caption (it carries the version); the update window's
// caption ends with the application title.
enum class WindowRole { Main, Other, Update };

// Texts that are looked up: not empty, not a menu separator "-", and not a number (numbers
// are values, not words).
bool PassesTextFilter(std::string_view text);

class Translation {
  public:
    explicit Translation(const Locale& locale) : locale_(&locale) {}

    // One pass over one window. `entries` are the section's "key=text" lines in file order;
    // `missing` starts as the log's lines and gains one "key=default" line per miss.
    void TranslateForm(ComponentList& form, WindowRole role,
                       const std::vector<std::string>& entries, std::vector<std::string> missing);

    // The text under `key`, which is used up; a miss is logged and gives `defaultText`.
    std::string Translate(const std::string& key, const std::string& defaultText);
    int IndexOfKey(const std::string& key) const;

    // The log's lines after the last pass: its earlier content, then the misses.
    const std::vector<std::string>& Missing() const { return missing_; }

  private:
    struct Entry {
        std::string folded;  // the key in the locale's upper case
        std::string text;
    };
    std::string Fold(std::string_view text) const;
    void TranslateProperty(Component& component, const std::string& key,
                           const std::string& property);

    const Locale* locale_;
    std::vector<Entry> entries_;
    std::vector<std::string> missing_;
};

}  // namespace corvandel
