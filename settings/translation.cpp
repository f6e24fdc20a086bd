#include "settings/translation.h"

#include <array>
#include <functional>

#include "foundation/text.h"
#include "settings/IniDocument.h"

namespace corvandel {

namespace {

constexpr std::array<const char*, 5> kTextProperties{"Caption", "Hint", "Title", "Text",
                                                     "TextHint"};

// Texts computed while the program runs, never taken from a language file.
bool IsNeverTranslated(const Component& component) {
    const std::string& name = component.Name();
    return component.ClassName() == "TStatusBar" || name == "LabelCopyright" ||
           name == "LabelLocalVersion" || name == "LabelServerVersion";
}

bool IsFileDialog(const Component& component) {
    return component.ClassName() == "TSaveDialog" || component.ClassName() == "TOpenDialog";
}

// One translatable text of a component: its property and the key it is looked up under.
using TextVisitor =
    std::function<void(Component& component, const std::string& property, const std::string& key)>;

// Every translatable text of the window's components, in the order a pass handles them: the
// plain text properties, a dialog's filter, list columns, then tab and item lines.
void VisitTexts(const ComponentList& form, const TextVisitor& visit) {
    const auto& items = form.Items();
    if (items.empty())
        return;
    const std::string& window = items.front()->Name();
    for (size_t i = 1; i < items.size(); ++i) {
        Component& component = *items[i];
        if (IsNeverTranslated(component))
            continue;
        const std::string prefix = window + "." + component.Name() + ".";
        for (const char* property : kTextProperties) {
            if (component.Get(property))
                visit(component, property, prefix + property);
        }
        if (IsFileDialog(component) && component.Get("Filter"))
            visit(component, "Filter", prefix + "Filter");
        for (int column = 0;; ++column) {
            const std::string property = "Columns[" + std::to_string(column) + "].Caption";
            if (!component.Get(property))
                break;
            visit(component, property, prefix + property);
        }
        for (const char* lines : {"Tabs [", "Items ["}) {
            for (int line = 0;; ++line) {
                std::string property = lines;
                property += std::to_string(line);
                property += ']';
                if (!component.Get(property))
                    break;
                visit(component, property, prefix + property);
            }
        }
    }
}

}  // namespace

bool PassesTextFilter(std::string_view text) {
    return !text.empty() && text != "-" && !ParseInteger(text);
}

std::string Translation::Fold(std::string_view text) const {
    return Utf16ToUtf8(locale_->ToUpper(Utf8ToUtf16(text)));
}

int Translation::IndexOfKey(const std::string& key) const {
    const std::string folded = Fold(key);
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].folded == folded)
            return static_cast<int>(i);
    }
    return -1;
}

std::string Translation::Translate(const std::string& key, const std::string& defaultText) {
    const int index = IndexOfKey(key);
    if (index < 0) {
        missing_.push_back(key + "=" + defaultText);
        return defaultText;
    }
    std::string text = std::move(entries_[index].text);
    entries_.erase(entries_.begin() + index);
    return text;
}

void Translation::TranslateProperty(Component& component, const std::string& key,
                                    const std::string& property) {
    const std::string current = component.Text(property);
    if (!PassesTextFilter(current))
        return;
    const std::string text = Translate(key, current);
    // An empty translation uses the entry up but leaves the text as it is.
    if (!text.empty())
        component.Set(property, text);
}

void Translation::TranslateForm(ComponentList& form, WindowRole role,
                                const std::vector<std::string>& entries,
                                std::vector<std::string> missing) {
    entries_.clear();
    for (const std::string& line : entries) {
        const size_t equals = line.find('=');
        // A line without "=" has no key and never matches.
        if (equals != std::string::npos)
            entries_.push_back({Fold(line.substr(0, equals)), line.substr(equals + 1)});
    }
    missing_ = std::move(missing);
    if (form.Items().empty())
        return;
    Component& window = *form.Items().front();
    if (role != WindowRole::Main) {
        // The window's caption is taken as it stands, even empty.
        window.Set("Caption", Translate(window.Name() + ".Caption", window.Text("Caption")));
    }
    if (role == WindowRole::Update)
        window.Set("Caption", window.Text("Caption") + " " + kApplicationTitle);
    VisitTexts(form, [&](Component& component, const std::string& property,
                         const std::string& key) { TranslateProperty(component, key, property); });
    entries_.clear();
}

}  // namespace corvandel
