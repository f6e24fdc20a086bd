#pragma once
// A guard in front of the system's icon functions. Uninstall entries name icon files that may
// be anything: an empty file, text named ".exe", a cut-off download, an icon directory that
// claims more images than the file holds. The system's icon readers map such a file and
// trust its headers, and some read past its end and take the process down. Before a file
// named by an entry reaches them, the program reads the headers those readers follow itself,
// with bounded reads, and lets through only files whose every header, table, offset and size
// lies inside the file. It is a guard, not a decoder: a file it passes may still have no
// picture the system likes, but nothing in it points outside the file. Only the plain 32-bit
// pictures of an icon file it passed are unpacked here, so that the common icon needs no
// system reader at all.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvandel {

// The bytes of one open file, read at offsets.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly size bytes from offset; false when the file holds fewer or cannot be read.
    virtual bool Read(uint64_t offset, void* out, size_t size) const = 0;
};

// What the guard makes of a file's contents.
enum class IconFileKind {
    Refused,    // not to be handed to the system's icon functions
    IconFile,   // an icon or cursor directory whose images all lie inside the file
    Program,    // a PE file whose icon resources all lie inside the file (possibly none)
    OtherFile,  // neither kind by its contents nor by its extension: the shell knows its type
};

// The extension of the path's file name with its dot, in ASCII lower case; empty without one.
std::string LowerExtension(const std::string& path);

// The path itself, before anything is opened: a local file name, not a network path
// ("\\server\share", "\\?\UNC\"), a device ("\\.\", "CON", "nul.ico", "COM1") or a folder
// name ending in a separator.
bool IsLocalFileName(std::string_view path);

// Checks the contents. The extension of path decides what a file must be when its contents
// are neither kind: an ".exe", ".dll" or ".ico" that is not a sound PE or icon file is refused,
// since the system would try to read it as one. An empty file is refused.
IconFileKind CheckIconFile(const std::string& path, const ByteSource& file);

// Where the picture for one square size lies in an icon file (not a cursor file) the guard
// passed: the image of that size with the most colours, else the smallest larger one, else the
// largest smaller one. Nothing when the file holds no icon directory.
struct IconImageSpan {
    uint64_t offset = 0;
    uint32_t length = 0;
};
std::optional<IconImageSpan> PickIconImage(const ByteSource& file, int size);

// The picture of one icon image (the bytes PickIconImage points at) when it is a 32-bit bitmap
// of exactly size by size pixels: its pixels as stored, bottom row first, each 0xAARRGGBB,
// with the transparency taken from the mask when the colours carry none. Nothing for any other
// image (fewer colours, bit fields, PNG, another size): the system's reader makes those.
std::optional<std::vector<uint32_t>> DecodeIconImage(const std::vector<unsigned char>& image,
                                                     int size);

}  // namespace corvandel
