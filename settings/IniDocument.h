#pragma once
// An INI file held in memory: parsed from the bytes of a file, changed, and written back as
// bytes. Reading and writing the file itself is the caller's business, so the rules here
// run the same in the program and in unit tests.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/platform.h"

namespace corvandel {

// The system's ANSI code page. Files without a byte-order mark are in it.
class AnsiCodePage {
  public:
    virtual ~AnsiCodePage() = default;
    virtual std::string ToUtf8(std::string_view ansi) const = 0;
    // Characters the code page lacks are the implementation's choice (best fit or '?').
    virtual std::string FromUtf8(std::string_view utf8) const = 0;
};

// How the file was stored; a changed document is written back the same way.
enum class IniEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// Text read as a signed 32-bit number: leading blanks, a sign, then decimal digits, or
// hexadecimal ones after "$" or "0x" (which denote the 32 bits, so "$FFFFFFFF" is -1).
// Nothing unless the whole text reads so.
std::optional<int32_t> ParseInteger(std::string_view text);

// A text file's bytes as UTF-8: the byte-order mark decides the encoding, the ANSI code page
// serves files without one. `encoding` receives what was found.
std::string DecodeTextFile(const std::string& bytes, const AnsiCodePage& ansi,
                           IniEncoding* encoding = nullptr);

class IniDocument {
  public:
    // An empty document, as when the file does not exist; it is written in the ANSI code page.
    // Both services are kept by reference and must outlive the document.
    IniDocument(const AnsiCodePage& ansi, const Locale& locale);

    static IniDocument Parse(const std::string& bytes, const AnsiCodePage& ansi,
                             const Locale& locale);
    // Comments, blank lines and spacing of the original are not kept.
    std::string Serialize() const;

    IniEncoding Encoding() const { return encoding_; }

    bool SectionExists(const std::string& section) const;
    std::vector<std::string> ReadSections() const;
    // The names of the entries, in file order, duplicates included.
    std::vector<std::string> ReadSection(const std::string& section) const;
    // "name=value" lines in file order; the bare name for an entry without a value.
    std::vector<std::string> ReadSectionValues(const std::string& section) const;

    // Reads and writes address the first entry of a name. An entry without "=" exists but has
    // no value, so reading it gives the default.
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) const;
    // Decimal, or hexadecimal after "$" or "0x"; anything else gives the default.
    int32_t ReadInteger(const std::string& section, const std::string& name,
                        int32_t defaultValue) const;
    bool ReadBool(const std::string& section, const std::string& name, bool defaultValue) const;

    void WriteString(const std::string& section, const std::string& name, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& name, int32_t value);
    void WriteBool(const std::string& section, const std::string& name, bool value);

    void DeleteKey(const std::string& section, const std::string& name);
    void EraseSection(const std::string& section);

  private:
    struct Entry {
        std::string name;
        std::string key;  // the name in the locale's upper case
        std::optional<std::string> value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    std::string Fold(std::string_view name) const;
    const Section* FindSection(const std::string& section) const;
    Section* FindSection(const std::string& section);
    Section& AddSection(std::string name, std::string key);
    const Entry* FindEntry(const std::string& section, const std::string& name) const;
    void ParseText(std::string_view text);

    const AnsiCodePage* ansi_;
    const Locale* locale_;
    IniEncoding encoding_ = IniEncoding::Ansi;
    std::vector<Section> sections_;
    // Folded section name to its index in sections_; large files stay linear to load.
    std::unordered_map<std::string, size_t> sectionIndex_;
};

}  // namespace corvandel
