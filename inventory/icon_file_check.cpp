#include "inventory/icon_file_check.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "foundation/text.h"

namespace corvandel {

namespace {

// Limits no real file comes near. Past them the guard refuses rather than read on: a hostile
// file cannot make it walk millions of entries.
constexpr uint16_t kMaxSections = 96;  // the system loader's own limit
constexpr size_t kMaxResourceEntries = 20'000;
constexpr int32_t kMaxImageSide = 4096;

constexpr uint16_t kResourceIcon = 3;        // RT_ICON
constexpr uint16_t kResourceIconGroup = 14;  // RT_GROUP_ICON
constexpr uint32_t kHighBit = 0x80000000u;

uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int32_t I32(const unsigned char* p) {
    return static_cast<int32_t>(U32(p));
}

// True when length bytes from offset lie inside size bytes.
bool Inside(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

// One image of an icon, length bytes at offset: a PNG, or a bitmap whose header, colour table,
// colour bits and mask all lie inside those bytes.
bool ImageFits(const ByteSource& file, uint64_t offset, uint64_t length) {
    static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char header[40];
    if (length < 8 || !file.Read(offset, header, 8))
        return false;
    if (std::memcmp(header, kPng, sizeof kPng) == 0)
        return length >= sizeof kPng + 25;  // the signature and the IHDR chunk
    if (length < sizeof header || !file.Read(offset, header, sizeof header))
        return false;
    const uint32_t headerSize = U32(header);
    const int32_t width = I32(header + 4);
    const int32_t height = I32(header + 8);  // the colour rows and the mask rows
    const uint16_t planes = U16(header + 12);
    const uint16_t bits = U16(header + 14);
    const uint32_t compression = U32(header + 16);
    const uint32_t used = U32(header + 32);
    constexpr uint32_t kRgb = 0, kBitFields = 3;
    if (headerSize < sizeof header || headerSize > length || width <= 0 || width > kMaxImageSide ||
        height < 2 || height > 2 * kMaxImageSide || planes != 1) {
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (compression != kRgb && !(compression == kBitFields && (bits == 16 || bits == 32)))
        return false;
    if (bits <= 8 && used > (1u << bits))
        return false;
    const uint64_t colours = bits <= 8 && used == 0 ? (uint64_t{1} << bits) : used;
    const uint64_t masks = compression == kBitFields && headerSize == sizeof header ? 12 : 0;
    const uint64_t rows = static_cast<uint64_t>(height) / 2;
    const uint64_t colourRow = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t maskRow = (static_cast<uint64_t>(width) + 31) / 32 * 4;
    const uint64_t total = headerSize + colours * 4 + masks + (colourRow + maskRow) * rows;
    return total <= length;
}

// An .ico or .cur file: a directory of images, each inside the file after the directory.
IconFileKind CheckIconDirectory(const ByteSource& file) {
    const uint64_t size = file.Size();
    unsigned char header[6];
    if (!file.Read(0, header, sizeof header))
        return IconFileKind::Refused;
    const uint16_t count = U16(header + 4);
    const uint64_t directoryEnd = sizeof header + uint64_t{16} * count;
    if (count == 0 || directoryEnd > size)
        return IconFileKind::Refused;
    std::vector<unsigned char> entries(size_t{16} * count);
    if (!file.Read(sizeof header, entries.data(), entries.size()))
        return IconFileKind::Refused;
    for (uint16_t i = 0; i < count; ++i) {
        const unsigned char* entry = entries.data() + size_t{16} * i;
        const uint32_t length = U32(entry + 8);
        const uint32_t offset = U32(entry + 12);
        if (offset < directoryEnd || !Inside(offset, length, size) ||
            !ImageFits(file, offset, length)) {
            return IconFileKind::Refused;
        }
    }
    return IconFileKind::IconFile;
}

struct Section {
    uint32_t address = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

// A PE file read as the system's icon readers read one that is not loaded: every address of
// the resource tree is found in a section's raw data.
class PeFile {
  public:
    PeFile(const ByteSource& file, std::vector<Section> sections, uint32_t resources)
        : file_(file), sections_(std::move(sections)), resources_(resources) {}

    // The file offset of length bytes at the address, when they lie in one section's data.
    std::optional<uint64_t> Offset(uint64_t address, uint64_t length) const {
        for (const Section& section : sections_) {
            if (address < section.address || address - section.address >= section.rawSize)
                continue;
            const uint64_t into = address - section.address;
            if (length > section.rawSize - into)
                return std::nullopt;
            return section.rawOffset + into;
        }
        return std::nullopt;
    }

    bool Read(uint64_t address, void* out, size_t length) const {
        const auto offset = Offset(address, length);
        return offset && file_.Read(*offset, out, length);
    }

    struct Entry {
        uint32_t name;
        uint32_t target;
    };

    // The entries of the resource directory at an offset into the resource tree; the names
    // given as strings must lie inside the file too. Each entry read counts against budget.
    std::optional<std::vector<Entry>> Directory(uint32_t at, size_t& budget) const {
        unsigned char header[16];
        if (!Read(uint64_t{resources_} + at, header, sizeof header))
            return std::nullopt;
        const size_t count = size_t{U16(header + 12)} + U16(header + 14);
        if (count > budget)
            return std::nullopt;
        budget -= count;
        std::vector<unsigned char> raw(count * 8);
        if (count != 0 && !Read(uint64_t{resources_} + at + sizeof header, raw.data(), raw.size()))
            return std::nullopt;
        std::vector<Entry> entries(count);
        for (size_t i = 0; i < count; ++i) {
            entries[i] = {U32(raw.data() + i * 8), U32(raw.data() + i * 8 + 4)};
            if (entries[i].name & kHighBit) {
                const uint64_t text = uint64_t{resources_} + (entries[i].name & ~kHighBit);
                unsigned char length[2];
                if (!Read(text, length, sizeof length) || !Offset(text, 2 + 2 * U16(length)))
                    return std::nullopt;
            }
        }
        return entries;
    }

    // The data of a leaf: its file offset and length.
    std::optional<std::pair<uint64_t, uint32_t>> Data(uint32_t at) const {
        unsigned char entry[16];
        if (!Read(uint64_t{resources_} + at, entry, sizeof entry))
            return std::nullopt;
        const uint32_t length = U32(entry + 4);
        const auto offset = Offset(U32(entry), length);
        if (!offset)
            return std::nullopt;
        return std::make_pair(*offset, length);
    }

  private:
    const ByteSource& file_;
    std::vector<Section> sections_;
    uint32_t resources_;
};

struct Resource {
    uint32_t id;  // kHighBit set for a name given as a string
    uint64_t offset;
    uint32_t length;
};

// Every language of every resource of one type; false when any part lies outside the file.
bool ResourcesOfType(const PeFile& pe, uint32_t typeTarget, size_t& budget,
                     std::vector<Resource>& out) {
    if (!(typeTarget & kHighBit))
        return false;
    const auto names = pe.Directory(typeTarget & ~kHighBit, budget);
    if (!names)
        return false;
    for (const PeFile::Entry& name : *names) {
        if (!(name.target & kHighBit))
            return false;
        const auto languages = pe.Directory(name.target & ~kHighBit, budget);
        if (!languages)
            return false;
        for (const PeFile::Entry& language : *languages) {
            if (language.target & kHighBit)
                return false;
            const auto data = pe.Data(language.target);
            if (!data)
                return false;
            out.push_back({name.name, data->first, data->second});
        }
    }
    return true;
}

IconFileKind CheckProgram(const ByteSource& file) {
    const uint64_t size = file.Size();
    unsigned char dos[64];
    if (!file.Read(0, dos, sizeof dos))
        return IconFileKind::Refused;
    const uint32_t peAt = U32(dos + 0x3C);
    unsigned char pe[24];
    if (!Inside(peAt, sizeof pe, size) || !file.Read(peAt, pe, sizeof pe) ||
        std::memcmp(pe, "PE\0\0", 4) != 0) {
        return IconFileKind::Refused;
    }
    const uint16_t sectionCount = U16(pe + 6);
    const uint16_t optionalSize = U16(pe + 20);
    const uint64_t optionalAt = uint64_t{peAt} + sizeof pe;
    if (sectionCount > kMaxSections || !Inside(optionalAt, optionalSize, size))
        return IconFileKind::Refused;
    std::array<unsigned char, 240> optional{};
    if (!file.Read(optionalAt, optional.data(), std::min<size_t>(optionalSize, optional.size())))
        return IconFileKind::Refused;
    // PE32 and PE32+ differ in where the data directories start.
    const uint16_t magic = optionalSize >= 2 ? U16(optional.data()) : 0;
    size_t directories = 0;
    if (magic == 0x10B)
        directories = 96;
    else if (magic == 0x20B)
        directories = 112;
    else
        return IconFileKind::Refused;
    if (optionalSize < directories)
        return IconFileKind::Refused;
    const uint32_t directoryCount = U32(optional.data() + directories - 4);
    constexpr size_t kResourceDirectory = 2;
    uint32_t resources = 0;
    if (directoryCount > kResourceDirectory &&
        optionalSize >= directories + (kResourceDirectory + 1) * 8) {
        resources = U32(optional.data() + directories + kResourceDirectory * 8);
    }

    const uint64_t tableAt = optionalAt + optionalSize;
    constexpr size_t kSectionHeader = 40;
    if (!Inside(tableAt, uint64_t{kSectionHeader} * sectionCount, size))
        return IconFileKind::Refused;
    std::vector<unsigned char> table(kSectionHeader * sectionCount);
    if (!table.empty() && !file.Read(tableAt, table.data(), table.size()))
        return IconFileKind::Refused;
    std::vector<Section> sections;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const unsigned char* header = table.data() + kSectionHeader * i;
        const Section section{U32(header + 12), U32(header + 16), U32(header + 20)};
        constexpr uint32_t kUninitialisedData = 0x80;
        if (U32(header + 36) & kUninitialisedData || section.rawSize == 0)
            continue;
        if (!Inside(section.rawOffset, section.rawSize, size))
            return IconFileKind::Refused;  // cut off: the section's data is not all there
        sections.push_back(section);
    }
    if (resources == 0)
        return IconFileKind::Program;  // no resources, so no icon for the system to read

    const PeFile image(file, std::move(sections), resources);
    size_t budget = kMaxResourceEntries;
    const auto types = image.Directory(0, budget);
    if (!types)
        return IconFileKind::Refused;
    std::vector<Resource> icons;
    std::vector<Resource> groups;
    for (const PeFile::Entry& type : *types) {
        if (type.name == kResourceIcon && !ResourcesOfType(image, type.target, budget, icons))
            return IconFileKind::Refused;
        if (type.name == kResourceIconGroup &&
            !ResourcesOfType(image, type.target, budget, groups)) {
            return IconFileKind::Refused;
        }
    }
    // Each group names its images by id; every one must be there and whole.
    std::multimap<uint32_t, const Resource*> iconsById;
    for (const Resource& icon : icons)
        iconsById.emplace(icon.id, &icon);
    std::vector<bool> checked(icons.size(), false);
    for (const Resource& group : groups) {
        unsigned char header[6];
        if (group.length < sizeof header || !file.Read(group.offset, header, sizeof header))
            return IconFileKind::Refused;
        const uint16_t count = U16(header + 4);
        if (U16(header) != 0 || U16(header + 2) != 1 || count == 0 ||
            sizeof header + size_t{14} * count > group.length) {
            return IconFileKind::Refused;
        }
        std::vector<unsigned char> entries(size_t{14} * count);
        if (!file.Read(group.offset + sizeof header, entries.data(), entries.size()))
            return IconFileKind::Refused;
        for (uint16_t i = 0; i < count; ++i) {
            const uint16_t id = U16(entries.data() + size_t{14} * i + 12);
            const auto [first, last] = iconsById.equal_range(id);
            if (first == last)
                return IconFileKind::Refused;
            for (auto it = first; it != last; ++it) {
                const size_t index = static_cast<size_t>(it->second - icons.data());
                if (checked[index])
                    continue;
                if (!ImageFits(file, it->second->offset, it->second->length))
                    return IconFileKind::Refused;
                checked[index] = true;
            }
        }
    }
    return IconFileKind::Program;
}

bool IsDeviceName(std::string_view name) {
    // The part before the first dot, without trailing blanks, names a device whatever follows
    // ("nul.ico", "con .exe").
    std::string base = AsciiLower(name.substr(0, name.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '\t'))
        base.pop_back();
    if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
        base == "conout$") {
        return true;
    }
    // COM1..COM9 and LPT1..LPT9, also with the superscript digits ¹ ² ³.
    if (base.size() < 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0))
        return false;
    const std::string_view digit = std::string_view(base).substr(3);
    return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" ||
           digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t separator = path.find_last_of("\\/:");
    if (dot == std::string::npos || (separator != std::string::npos && separator > dot))
        return std::string();
    return AsciiLower(path.substr(dot));
}

bool IsLocalFileName(std::string_view path) {
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        return false;
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
        // Only "\\?\C:\..." is a local file; "\\server", "\\.\device" and "\\?\UNC\" are not.
        const bool driveAfterPrefix = path.size() >= 7 && path[2] == '?' && separator(path[3]) &&
                                      std::isalpha(static_cast<unsigned char>(path[4])) &&
                                      path[5] == ':' && separator(path[6]);
        if (!driveAfterPrefix)
            return false;
    }
    const size_t last = path.find_last_of("\\/:");
    return !IsDeviceName(last == std::string_view::npos ? path : path.substr(last + 1));
}

IconFileKind CheckIconFile(const std::string& path, const ByteSource& file) {
    unsigned char magic[4] = {};
    if (file.Size() == 0 || !file.Read(0, magic, std::min<uint64_t>(file.Size(), 4)))
        return IconFileKind::Refused;
    if (magic[0] == 'M' && magic[1] == 'Z')
        return CheckProgram(file);
    if (magic[0] == 0 && magic[1] == 0 && (magic[2] == 1 || magic[2] == 2) && magic[3] == 0)
        return CheckIconDirectory(file);
    // The system reads files of these names as programs or icons whatever they hold.
    static const std::string kIconBearing[] = {".exe", ".dll", ".ico", ".cur", ".ocx",
                                               ".cpl", ".scr", ".icl", ".ani", ".mui"};
    const std::string extension = LowerExtension(path);
    if (std::find(std::begin(kIconBearing), std::end(kIconBearing), extension) !=
        std::end(kIconBearing)) {
        return IconFileKind::Refused;
    }
    return IconFileKind::OtherFile;
}

std::optional<IconImageSpan> PickIconImage(const ByteSource& file, int size) {
    unsigned char header[6];
    if (!file.Read(0, header, sizeof header) || U16(header) != 0 || U16(header + 2) != 1)
        return std::nullopt;
    const uint16_t count = U16(header + 4);
    std::vector<unsigned char> entries(size_t{16} * count);
    if (count == 0 || !file.Read(sizeof header, entries.data(), entries.size()))
        return std::nullopt;
    // Ranked by how far the side is from the wanted one (larger sides first, since shrinking
    // loses less than growing), then by colours and bytes.
    std::optional<IconImageSpan> best;
    std::array<int64_t, 3> bestRank{};
    for (uint16_t i = 0; i < count; ++i) {
        const unsigned char* entry = entries.data() + size_t{16} * i;
        const int side = entry[0] == 0 ? 256 : entry[0];  // 0 stands for 256
        const int64_t distance = side >= size ? side - size : 1000 + size - side;
        const std::array<int64_t, 3> rank{-distance, U16(entry + 6), U32(entry + 8)};
        if (!best || rank > bestRank) {
            best = IconImageSpan{U32(entry + 12), U32(entry + 8)};
            bestRank = rank;
        }
    }
    return best;
}

std::optional<std::vector<uint32_t>> DecodeIconImage(const std::vector<unsigned char>& image,
                                                     int size) {
    constexpr size_t kHeader = 40;
    if (size <= 0 || size > kMaxImageSide || image.size() < kHeader)
        return std::nullopt;
    const uint32_t headerSize = U32(image.data());
    if (headerSize < kHeader || headerSize > image.size() || I32(image.data() + 4) != size ||
        I32(image.data() + 8) != 2 * size || U16(image.data() + 12) != 1 ||
        U16(image.data() + 14) != 32 || U32(image.data() + 16) != 0 ||
        U32(image.data() + 32) != 0) {
        return std::nullopt;
    }
    const size_t side = static_cast<size_t>(size);
    const size_t colourRow = side * 4;
    const size_t maskRow = (side + 31) / 32 * 4;
    if ((image.size() - headerSize) / side < colourRow + maskRow)
        return std::nullopt;
    const unsigned char* colours = image.data() + headerSize;
    const unsigned char* mask = colours + colourRow * side;
    std::vector<uint32_t> pixels(side * side);
    bool alpha = false;
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = U32(colours + i * 4);
        alpha = alpha || (pixels[i] >> 24) != 0;
    }
    if (!alpha) {
        // An older picture: what the mask covers is transparent, the rest opaque.
        for (size_t y = 0; y < side; ++y) {
            for (size_t x = 0; x < side; ++x) {
                const bool clear = (mask[y * maskRow + x / 8] & (0x80 >> (x % 8))) != 0;
                uint32_t& pixel = pixels[y * side + x];
                pixel = clear ? 0 : (pixel | 0xFF000000u);
            }
        }
    }
    return pixels;
}

}  // namespace corvandel
