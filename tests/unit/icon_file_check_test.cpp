#include "inventory/icon_file_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace corvandel {
namespace {

using Bytes = std::vector<unsigned char>;

class MemoryBytes : public ByteSource {
  public:
    explicit MemoryBytes(Bytes bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool Read(uint64_t offset, void* out, size_t size) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset)
            return false;
        std::memcpy(out, bytes_.data() + offset, size);
        return true;
    }

  private:
    Bytes bytes_;
};

// A file under construction, with the offsets of its fields by name for the cases to aim at.
struct Built {
    Bytes bytes;
    std::map<std::string, size_t> at;

    size_t Here(const std::string& name) { return at[name] = bytes.size(); }
    void Put16(uint32_t v) {
        bytes.push_back(v & 0xFF);
        bytes.push_back(v >> 8 & 0xFF);
    }
    void Put32(uint32_t v) {
        Put16(v & 0xFFFF);
        Put16(v >> 16);
    }
    void Pad(size_t to) { bytes.resize(to, 0); }
};

// A 16 x 16 image of 32-bit colour with its mask: 40 + 1024 + 64 bytes.
constexpr uint32_t kImageSize = 40 + 16 * 16 * 4 + 4 * 16;
void PutImage(Built& b, const std::string& prefix) {
    b.Here(prefix + "header");
    b.Put32(40);
    b.Here(prefix + "width");
    b.Put32(16);
    b.Here(prefix + "height");
    b.Put32(32);
    b.Here(prefix + "planes");
    b.Put16(1);
    b.Here(prefix + "bits");
    b.Put16(32);
    b.Here(prefix + "compression");
    b.Put32(0);
    b.Put32(0);
    b.Put32(0);
    b.Put32(0);
    b.Here(prefix + "used");
    b.Put32(0);
    b.Put32(0);
    b.Pad(b.bytes.size() + kImageSize - 40);
}

Built IconFile() {
    Built b;
    b.Put16(0);
    b.Here("type");
    b.Put16(1);
    b.Here("count");
    b.Put16(2);
    for (int i = 0; i < 2; ++i) {
        b.bytes.insert(b.bytes.end(), {16, 16, 0, 0});
        b.Put16(1);
        b.Put16(32);
        b.Here("size" + std::to_string(i));
        b.Put32(kImageSize);
        b.Here("offset" + std::to_string(i));
        b.Put32(6 + 32 + i * kImageSize);
    }
    PutImage(b, "first.");
    PutImage(b, "second.");
    return b;
}

// A PE32 file of one ".rsrc" section with one icon group naming one icon.
Built Program() {
    Built b;
    b.bytes = {'M', 'Z'};
    b.Pad(0x3C);
    b.Here("e_lfanew");
    b.Put32(0x40);
    b.bytes.insert(b.bytes.end(), {'P', 'E', 0, 0});
    b.Put16(0x14C);
    b.Here("sections");
    b.Put16(1);
    b.Pad(0x40 + 4 + 16);
    b.Here("optionalSize");
    b.Put16(224);
    b.Put16(0x102);
    const size_t optional = b.Here("magic");
    b.Put16(0x10B);
    b.Pad(optional + 92);
    b.Here("directoryCount");
    b.Put32(16);
    b.Pad(optional + 96 + 2 * 8);
    b.Here("resourceRva");
    b.Put32(0x1000);
    b.Put32(0x600);
    b.Pad(optional + 224);
    b.bytes.insert(b.bytes.end(), {'.', 'r', 's', 'r', 'c', 0, 0, 0});
    b.Put32(0x600);
    b.Put32(0x1000);  // the section's address
    b.Here("rawSize");
    b.Put32(0x600);
    b.Here("rawOffset");
    b.Put32(0x200);
    b.Pad(b.bytes.size() + 12);
    b.Put32(0x40000040);

    // The resource tree: offsets into it, addresses 0x1000 on.
    b.Pad(0x200);
    const auto tree = [&](size_t offset) { return static_cast<uint32_t>(offset - 0x200); };
    const auto directory = [&](const std::string& name, uint16_t named, uint16_t ids) {
        b.Pad(b.bytes.size() + 12);
        b.Here(name + "count");
        b.Put16(named);
        b.Put16(ids);
    };
    directory("root.", 0, 2);
    b.Here("root.icon");
    b.Put32(3);
    b.Put32(0x80000000 | tree(0x200 + 0x40));
    b.Put32(14);
    b.Here("root.group");
    b.Put32(0x80000000 | tree(0x200 + 0x80));
    // Each type: one name, one language, one data entry.
    for (const auto& [type, base] : {std::pair<std::string, size_t>{"icon.", 0x240},
                                     std::pair<std::string, size_t>{"group.", 0x280}}) {
        b.Pad(base);
        directory(type, 0, 1);
        b.Put32(1);
        b.Put32(0x80000000 | tree(base + 0x18));
        directory(type + "language.", 0, 1);
        b.Put32(0x409);
        b.Here(type + "leaf");
        b.Put32(tree(base + 0x30));
        b.Here(type + "dataRva");
        b.Put32(type == "icon." ? 0x1100 : 0x1580);
        b.Here(type + "dataSize");
        b.Put32(type == "icon." ? kImageSize : 6 + 14);
        b.Put32(0);
        b.Put32(0);
    }
    b.Pad(0x300);
    PutImage(b, "image.");
    b.Pad(0x780);  // the group lies at 0x1580, 0x780 in the file
    b.Put16(0);
    b.Here("group.type");
    b.Put16(1);
    b.Here("group.entries");
    b.Put16(1);
    b.bytes.insert(b.bytes.end(), {16, 16, 0, 0});
    b.Put16(1);
    b.Put16(32);
    b.Put32(kImageSize);
    b.Here("group.iconId");
    b.Put16(1);
    b.Pad(0x800);
    return b;
}

struct Change {
    const char* what;
    bool program;       // the program, not the icon file
    const char* field;  // where to write; nullptr cuts the file instead
    uint32_t value;     // written little-endian over width bytes, or the length to keep
    int width;
    IconFileKind expected;
};

TEST(IconFileCheckTest, CutAndOverwrittenFilesAreRefused) {
    using K = IconFileKind;
    const Change changes[] = {
        {"a valid icon file", false, "type", 1, 2, K::IconFile},
        {"a cursor file", false, "type", 2, 2, K::IconFile},
        {"empty", false, nullptr, 0, 0, K::Refused},
        {"the header cut", false, nullptr, 5, 0, K::Refused},
        {"the directory cut", false, nullptr, 6 + 20, 0, K::Refused},
        {"the last image cut by a byte", false, nullptr, 6 + 32 + 2 * kImageSize - 1, 0,
         K::Refused},
        {"2,000 images claimed", false, "count", 2000, 2, K::Refused},
        {"65,535 images claimed", false, "count", 0xFFFF, 2, K::Refused},
        {"no images", false, "count", 0, 2, K::Refused},
        {"an image larger than the file", false, "size1", 0xFFFFFFFF, 4, K::Refused},
        {"an image past the end", false, "offset1", 0xFFFFFF00, 4, K::Refused},
        {"an image inside the directory", false, "offset0", 6, 4, K::Refused},
        {"an image smaller than its bits", false, "size0", kImageSize - 1, 4, K::Refused},
        {"a bitmap header size of 0", false, "first.header", 0, 4, K::Refused},
        {"a bitmap header larger than the image", false, "second.header", 5000, 4, K::Refused},
        {"no width", false, "first.width", 0, 4, K::Refused},
        {"a negative width", false, "first.width", 0xFFFFFFF0, 4, K::Refused},
        {"a huge width", false, "second.width", 0x7FFFFFFF, 4, K::Refused},
        {"no height", false, "first.height", 0, 4, K::Refused},
        {"two planes", false, "first.planes", 2, 2, K::Refused},
        {"7 bits a pixel", false, "first.bits", 7, 2, K::Refused},
        {"run-length compressed", false, "first.compression", 1, 4, K::Refused},
        {"a colour table larger than the image", false, "first.used", 1000, 4, K::Refused},

        {"a valid program", true, "magic", 0x10B, 2, K::Program},
        {"a program without resources", true, "resourceRva", 0, 4, K::Program},
        {"only the MZ header", true, nullptr, 64, 0, K::Refused},
        {"only two bytes", true, nullptr, 2, 0, K::Refused},
        {"the PE header past the end", true, "e_lfanew", 0xFFFFFFF0, 4, K::Refused},
        {"the PE header cut", true, nullptr, 0x50, 0, K::Refused},
        {"no PE signature", true, "e_lfanew", 0x3C, 4, K::Refused},
        {"65,535 sections", true, "sections", 0xFFFF, 2, K::Refused},
        {"an optional header past the end", true, "optionalSize", 0xFFFF, 2, K::Refused},
        {"an unknown optional header", true, "magic", 0x999, 2, K::Refused},
        {"the section table cut", true, nullptr, 0x150, 0, K::Refused},
        {"the resource section cut", true, nullptr, 0x500, 0, K::Refused},
        {"a section larger than the file", true, "rawSize", 0x7FFFFFFF, 4, K::Refused},
        {"a section past the end", true, "rawOffset", 0xFFFFF000, 4, K::Refused},
        {"resources outside every section", true, "resourceRva", 0x9000, 4, K::Refused},
        {"a root of 131,070 entries", true, "root.count", 0xFFFFFFFF, 4, K::Refused},
        {"a type that is not a directory", true, "root.group", 14, 4, K::Refused},
        {"a name of its own past the end", true, "root.icon", 0x8000FFF0, 4, K::Refused},
        {"a leaf that is a directory", true, "icon.leaf", 0x80000000, 4, K::Refused},
        {"icon data outside every section", true, "icon.dataRva", 0x7000, 4, K::Refused},
        {"icon data past its section", true, "icon.dataSize", 0x10000, 4, K::Refused},
        {"group data past its section", true, "group.dataSize", 0x5000, 4, K::Refused},
        {"a group that is not an icon group", true, "group.type", 2, 2, K::Refused},
        {"a group of more entries than its data", true, "group.entries", 500, 2, K::Refused},
        {"a group naming an icon that is not there", true, "group.iconId", 7, 2, K::Refused},
        {"an icon with a broken bitmap header", true, "image.bits", 3, 2, K::Refused},
    };
    for (const Change& change : changes) {
        Built file = change.program ? Program() : IconFile();
        if (change.field == nullptr) {
            file.bytes.resize(change.value);
        } else {
            ASSERT_TRUE(file.at.count(change.field)) << change.field;
            for (int i = 0; i < change.width; ++i)
                file.bytes[file.at[change.field] + i] = change.value >> (8 * i) & 0xFF;
        }
        const std::string name = change.program ? "C:\\Apps\\tool.exe" : "C:\\Apps\\tool.ico";
        EXPECT_EQ(CheckIconFile(name, MemoryBytes(file.bytes)), change.expected) << change.what;
    }
}

TEST(IconFileCheckTest, FilesOfOtherKindsGoByTheirNames) {
    const Bytes text = {'h', 'e', 'l', 'l', 'o'};
    Bytes noise(4096);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<unsigned char>(i * 7919 % 251 + 1);
    const struct {
        const char* name;
        const Bytes& bytes;
        IconFileKind expected;
    } cases[] = {
        {"C:\\Apps\\readme.txt", text, IconFileKind::OtherFile},
        {"C:\\Apps\\setup.msi", noise, IconFileKind::OtherFile},
        {"C:\\Apps\\text.exe", text, IconFileKind::Refused},
        {"C:\\Apps\\noise.ico", noise, IconFileKind::Refused},
        {"C:\\Apps\\NOISE.DLL", noise, IconFileKind::Refused},
        {"C:\\Apps.d\\noise", noise, IconFileKind::OtherFile},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckIconFile(c.name, MemoryBytes(c.bytes)), c.expected) << c.name;
}

// A directory of images of the given sides and colour depths, each image an empty 100 bytes.
Bytes Directory(uint16_t type, const std::vector<std::pair<int, int>>& images) {
    Built b;
    b.Put16(0);
    b.Put16(type);
    b.Put16(static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const auto side = static_cast<unsigned char>(images[i].first % 256);
        b.bytes.insert(b.bytes.end(), {side, side, 0, 0});
        b.Put16(1);
        b.Put16(static_cast<uint32_t>(images[i].second));
        b.Put32(100);
        b.Put32(static_cast<uint32_t>(1000 + 100 * i));
    }
    return b.bytes;
}

TEST(IconFileCheckTest, PicksTheImageNearestInSizeWithTheMostColours) {
    const std::vector<std::pair<int, int>> mixed = {{16, 8}, {16, 32}, {32, 32}, {48, 4}};
    const struct {
        std::vector<std::pair<int, int>> images;
        int size;
        int expected;  // the image's place, -1 for none
    } cases[] = {
        {mixed, 16, 1},
        {mixed, 32, 2},
        {mixed, 20, 2},                  // the smallest larger one
        {mixed, 64, 3},                  // else the largest smaller one
        {{{48, 32}, {256, 32}}, 64, 1},  // a side of 0 is 256
        {{{16, 4}, {16, 4}}, 16, 0},
    };
    for (const auto& c : cases) {
        const auto span = PickIconImage(MemoryBytes(Directory(1, c.images)), c.size);
        ASSERT_TRUE(span.has_value()) << c.size;
        EXPECT_EQ(span->offset, 1000u + 100u * static_cast<unsigned>(c.expected)) << c.size;
    }
    EXPECT_FALSE(PickIconImage(MemoryBytes(Directory(2, mixed)), 16));  // a cursor file
    EXPECT_FALSE(PickIconImage(MemoryBytes(Directory(1, {})), 16));
}

TEST(IconFileCheckTest, UnpacksPlainPicturesAndLeavesTheRestToTheSystem) {
    Built icon = IconFile();
    const size_t image = icon.at["first.header"];
    Bytes plain(icon.bytes.begin() + static_cast<long>(image),
                icon.bytes.begin() + static_cast<long>(image + kImageSize));
    // Top left pixel red, the next one masked; no alpha anywhere.
    const size_t top = 40 + 15 * 64;
    plain[top + 2] = 0xFF;
    plain[40 + 1024 + 15 * 4] = 0x40;
    const auto pixels = DecodeIconImage(plain, 16);
    ASSERT_TRUE(pixels.has_value());
    EXPECT_EQ((*pixels)[15 * 16], 0xFFFF0000u);
    EXPECT_EQ((*pixels)[15 * 16 + 1], 0u);
    EXPECT_EQ((*pixels)[0], 0xFF000000u);

    Bytes alpha = plain;
    alpha[top + 3] = 0x80;  // with alpha the mask is not consulted
    EXPECT_EQ((*DecodeIconImage(alpha, 16))[15 * 16 + 1], 0u);
    EXPECT_EQ((*DecodeIconImage(alpha, 16))[15 * 16], 0x80FF0000u);

    Bytes fewerColours = plain;
    fewerColours[14] = 8;
    Bytes cut = plain;
    cut.resize(kImageSize - 1);
    EXPECT_FALSE(DecodeIconImage(plain, 32));  // another size: the system scales
    EXPECT_FALSE(DecodeIconImage(fewerColours, 16));
    EXPECT_FALSE(DecodeIconImage(cut, 16));
    EXPECT_FALSE(DecodeIconImage(Bytes{0x89, 'P', 'N', 'G'}, 16));
}

TEST(IconFileCheckTest, OnlyLocalFileNamesAreOpened) {
    const struct {
        const char* path;
        bool local;
    } cases[] = {
        {"C:\\Program Files\\Foo\\foo.ico", true},
        {"foo.exe", true},
        {"\\\\?\\C:\\Foo\\foo.exe", true},
        {"C:\\Foo\\console.exe", true},
        {"C:\\Foo\\com10.exe", true},
        {"", false},
        {"C:\\Foo\\", false},
        {"\\\\server\\share\\foo.ico", false},
        {"//server/share/foo.ico", false},
        {"\\\\?\\UNC\\server\\share\\foo.ico", false},
        {"\\\\.\\pipe\\icons", false},
        {"\\\\.\\C:\\foo.ico", false},
        {"CON", false},
        {"C:\\Foo\\nul.ico", false},
        {"C:\\Foo\\Aux .exe", false},
        {"C:\\Foo\\COM1.exe", false},
        {"C:\\Foo\\lpt\xC2\xB9.dll", false},
        {"C:conout$", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLocalFileName(c.path), c.local) << c.path;
}

}  // namespace
}  // namespace corvandel
