#pragma once
// Every control and menu item of a window is a named component with text properties
// (Caption, Hint, Text, TextHint, Title, Filter, column captions). Language files and the
// settings address components by these names, so the names never change.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/stored_names.h"

namespace corvandel {

class Component {
  public:
    using Applier = std::function<void(const std::string& property, const std::string& value)>;

    Component(std::string name, std::string className)
        : name_(std::move(name)), className_(std::move(className)) {}

    const std::string& Name() const { return name_; }
    const std::string& ClassName() const { return className_; }
    // The control's window, for code that walks every control (languages, looks); 0 for
    // components without one (menu items, dialogs, image lists).
    std::uintptr_t NativeHandle() const { return handle_; }
    Component& AttachHandle(std::uintptr_t handle) {
        handle_ = handle;
        return *this;
    }

    // Declares a text property with its design-time value.
    Component& Define(const std::string& property, std::string value) {
        if (properties_.emplace(property, value).second)
            order_.push_back(property);
        properties_[property] = std::move(value);
        return *this;
    }
    // Called whenever a property changes, so the window shows the new text.
    Component& OnChange(Applier applier) {
        applier_ = std::move(applier);
        return *this;
    }

    const std::vector<std::string>& Properties() const { return order_; }
    std::optional<std::string> Get(const std::string& property) const {
        const auto it = properties_.find(property);
        if (it == properties_.end())
            return std::nullopt;
        return it->second;
    }
    std::string Text(const std::string& property) const { return Get(property).value_or(""); }
    bool Set(const std::string& property, const std::string& value) {
        const auto it = properties_.find(property);
        if (it == properties_.end())
            return false;
        it->second = value;
        if (applier_)
            applier_(property, value);
        return true;
    }

  private:
    std::string name_;
    std::string className_;
    std::map<std::string, std::string> properties_;
    std::vector<std::string> order_;
    Applier applier_;
    std::uintptr_t handle_ = 0;
};

// A window's components in creation order; the window itself comes first.
class ComponentList {
  public:
    Component& Add(const std::string& name, const std::string& className) {
        items_.push_back(std::make_unique<Component>(name, className));
        return *items_.back();
    }
    Component& Add(const stored::ComponentName& name) { return Add(name.name, name.type); }
    // A component without a control, with its text if it has one.
    Component& Add(const stored::TextOnly& entry) {
        Component& component = Add(entry.component);
        if (entry.property != nullptr)
            component.Define(entry.property, entry.text);
        return component;
    }
    template <std::size_t N>
    void AddAll(const stored::TextOnly (&entries)[N]) {
        for (const stored::TextOnly& entry : entries)
            Add(entry);
    }
    Component* Find(const std::string& name) const {
        for (const auto& item : items_) {
            if (item->Name() == name)
                return item.get();
        }
        return nullptr;
    }
    // The text a window reads at the moment it needs it (message texts, labels).
    std::string Caption(const std::string& name) const {
        const Component* component = Find(name);
        return component ? component->Text("Caption") : std::string();
    }
    Component* Find(const stored::ComponentName& name) const {
        return Find(std::string(name.name));
    }
    std::string Caption(const stored::ComponentName& name) const {
        return Caption(std::string(name.name));
    }
    std::string Caption(const stored::TextOnly& entry) const { return Caption(entry.component); }
    const std::vector<std::unique_ptr<Component>>& Items() const { return items_; }

  private:
    std::vector<std::unique_ptr<Component>> items_;
};

}  // namespace corvandel
