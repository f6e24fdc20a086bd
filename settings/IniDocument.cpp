#include "settings/IniDocument.h"

#include <utility>

#include "foundation/text.h"

namespace corvandel {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimLeft(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin]))
        ++begin;
    return text.substr(begin);
}

std::string_view TrimRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

// A trailing odd byte cannot form a code unit and is dropped.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return Utf16ToUtf8(units);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

}  // namespace

std::optional<int32_t> ParseInteger(std::string_view text) {
    text = TrimLeft(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t magnitude = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    auto bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

IniDocument::IniDocument(const AnsiCodePage& ansi, const Locale& locale)
    : ansi_(&ansi), locale_(&locale) {}

std::string DecodeTextFile(const std::string& bytes, const AnsiCodePage& ansi,
                           IniEncoding* encoding) {
    const std::string_view view(bytes);
    IniEncoding found = IniEncoding::Ansi;
    std::string text;
    if (view.starts_with(kUtf8Mark)) {
        found = IniEncoding::Utf8;
        text = std::string(view.substr(kUtf8Mark.size()));
    } else if (view.starts_with(kUtf16LeMark)) {
        found = IniEncoding::Utf16LE;
        text = DecodeUtf16(view.substr(kUtf16LeMark.size()), false);
    } else if (view.starts_with(kUtf16BeMark)) {
        found = IniEncoding::Utf16BE;
        text = DecodeUtf16(view.substr(kUtf16BeMark.size()), true);
    } else if (!view.empty()) {
        text = ansi.ToUtf8(view);
    }
    if (encoding != nullptr)
        *encoding = found;
    return text;
}

IniDocument IniDocument::Parse(const std::string& bytes, const AnsiCodePage& ansi,
                               const Locale& locale) {
    IniDocument document(ansi, locale);
    document.ParseText(DecodeTextFile(bytes, ansi, &document.encoding_));
    return document;
}

void IniDocument::ParseText(std::string_view text) {
    constexpr size_t kNone = static_cast<size_t>(-1);
    // Lines before the first header, and those under a repeated header, belong to no section.
    size_t current = kNone;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++pos;

        if (line.empty() || line.front() == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name(Trim(line.substr(1, line.size() - 2)));
            std::string key = Fold(name);
            if (sectionIndex_.count(key) != 0) {
                current = kNone;
            } else {
                AddSection(name, std::move(key));
                current = sections_.size() - 1;
            }
            continue;
        }
        if (current == kNone)
            continue;
        Entry entry;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            entry.name = std::string(line);
        } else {
            entry.name = std::string(TrimRight(line.substr(0, equals)));
            entry.value = std::string(TrimLeft(line.substr(equals + 1)));
        }
        entry.key = Fold(entry.name);
        sections_[current].entries.push_back(std::move(entry));
    }
}

std::string IniDocument::Serialize() const {
    std::string text;
    for (const Section& section : sections_) {
        text += '[';
        text += section.name;
        text += "]\r\n";
        for (const Entry& entry : section.entries) {
            text += entry.name;
            if (entry.value) {
                text += '=';
                text += *entry.value;
            }
            text += "\r\n";
        }
        text += "\r\n";
    }
    switch (encoding_) {
        case IniEncoding::Utf8:
            return std::string(kUtf8Mark) + text;
        case IniEncoding::Utf16LE:
            return std::string(kUtf16LeMark) + Utf16Bytes(text, false);
        case IniEncoding::Utf16BE:
            return std::string(kUtf16BeMark) + Utf16Bytes(text, true);
        case IniEncoding::Ansi:
            break;
    }
    return text.empty() ? text : ansi_->FromUtf8(text);
}

std::string IniDocument::Fold(std::string_view name) const {
    return Utf16ToUtf8(locale_->ToUpper(Utf8ToUtf16(name)));
}

const IniDocument::Section* IniDocument::FindSection(const std::string& section) const {
    const auto it = sectionIndex_.find(Fold(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniDocument::Section* IniDocument::FindSection(const std::string& section) {
    return const_cast<Section*>(std::as_const(*this).FindSection(section));
}

IniDocument::Section& IniDocument::AddSection(std::string name, std::string key) {
    sectionIndex_.emplace(std::move(key), sections_.size());
    sections_.push_back(Section{std::move(name), {}});
    return sections_.back();
}

const IniDocument::Entry* IniDocument::FindEntry(const std::string& section,
                                                 const std::string& name) const {
    const Section* found = FindSection(section);
    if (found == nullptr)
        return nullptr;
    const std::string key = Fold(name);
    for (const Entry& entry : found->entries) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

bool IniDocument::SectionExists(const std::string& section) const {
    return FindSection(section) != nullptr;
}

std::vector<std::string> IniDocument::ReadSections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& section : sections_)
        names.push_back(section.name);
    return names;
}

std::vector<std::string> IniDocument::ReadSection(const std::string& section) const {
    std::vector<std::string> names;
    if (const Section* found = FindSection(section)) {
        for (const Entry& entry : found->entries)
            names.push_back(entry.name);
    }
    return names;
}

std::vector<std::string> IniDocument::ReadSectionValues(const std::string& section) const {
    std::vector<std::string> lines;
    if (const Section* found = FindSection(section)) {
        for (const Entry& entry : found->entries)
            lines.push_back(entry.value ? entry.name + "=" + *entry.value : entry.name);
    }
    return lines;
}

std::string IniDocument::ReadString(const std::string& section, const std::string& name,
                                    const std::string& defaultValue) const {
    const Entry* entry = FindEntry(section, name);
    return entry != nullptr && entry->value ? *entry->value : defaultValue;
}

int32_t IniDocument::ReadInteger(const std::string& section, const std::string& name,
                                 int32_t defaultValue) const {
    const Entry* entry = FindEntry(section, name);
    if (entry == nullptr || !entry->value)
        return defaultValue;
    return ParseInteger(*entry->value).value_or(defaultValue);
}

bool IniDocument::ReadBool(const std::string& section, const std::string& name,
                           bool defaultValue) const {
    return ReadInteger(section, name, defaultValue ? 1 : 0) != 0;
}

void IniDocument::WriteString(const std::string& section, const std::string& name,
                              const std::string& value) {
    Section* found = FindSection(section);
    if (found == nullptr)
        found = &AddSection(section, Fold(section));
    std::string key = Fold(name);
    for (Entry& entry : found->entries) {
        if (entry.key == key) {
            entry.value = value;
            return;
        }
    }
    found->entries.push_back(Entry{name, std::move(key), value});
}

void IniDocument::WriteInteger(const std::string& section, const std::string& name, int32_t value) {
    WriteString(section, name, std::to_string(value));
}

void IniDocument::WriteBool(const std::string& section, const std::string& name, bool value) {
    WriteString(section, name, value ? "1" : "0");
}

void IniDocument::DeleteKey(const std::string& section, const std::string& name) {
    Section* found = FindSection(section);
    if (found == nullptr)
        return;
    const std::string key = Fold(name);
    for (auto it = found->entries.begin(); it != found->entries.end(); ++it) {
        if (it->key == key) {
            found->entries.erase(it);
            return;
        }
    }
}

void IniDocument::EraseSection(const std::string& section) {
    const auto it = sectionIndex_.find(Fold(section));
    if (it == sectionIndex_.end())
        return;
    const size_t erased = it->second;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(erased));
    sectionIndex_.erase(it);
    for (auto& [key, index] : sectionIndex_) {
        if (index > erased)
            --index;
    }
}

}  // namespace corvandel
