#pragma once
// Owned system handles: one move-only holder that frees its handle exactly once, with the
// free call and the "no handle" value of each kind.

#include <windows.h>

#include <commctrl.h>

#include <utility>

namespace corvandel {

template <typename Traits>
class Owned {
  public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    bool Valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }
    Handle Get() const { return handle_; }
    Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
    // Frees the held handle (if any) and holds the new one; true when the free succeeded,
    // which for a file is where a delayed write error shows.
    bool Reset(Handle handle = Traits::Invalid()) {
        const Handle old = std::exchange(handle_, handle);
        return old == Traits::Invalid() || Traits::Free(old);
    }

  private:
    Handle handle_ = Traits::Invalid();
};

struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Free(Handle h) { return CloseHandle(h) != FALSE; }
};
struct FindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Free(Handle h) { return FindClose(h) != FALSE; }
};
struct KeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    // The predefined roots are never closed.
    static bool Free(Handle h) {
        const auto value = reinterpret_cast<ULONG_PTR>(h);
        return (value >= 0x80000000u && value <= 0x80000006u) || RegCloseKey(h) == ERROR_SUCCESS;
    }
};
struct FontTraits {
    using Handle = HFONT;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return DeleteObject(h) != FALSE; }
};
struct BitmapTraits {
    using Handle = HBITMAP;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return DeleteObject(h) != FALSE; }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return DestroyMenu(h) != FALSE; }
};
struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return ImageList_Destroy(h) != FALSE; }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return DestroyIcon(h) != FALSE; }
};

struct AcceleratorTraits {
    using Handle = HACCEL;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return DestroyAcceleratorTable(h) != FALSE; }
};

using OwnedFile = Owned<FileTraits>;
using OwnedFind = Owned<FindTraits>;
using OwnedKey = Owned<KeyTraits>;
using OwnedFont = Owned<FontTraits>;
using OwnedBitmap = Owned<BitmapTraits>;
using OwnedMenu = Owned<MenuTraits>;
using OwnedImageList = Owned<ImageListTraits>;
using OwnedIcon = Owned<IconTraits>;
using OwnedAccelerators = Owned<AcceleratorTraits>;

// A COM interface the holder received and releases when it goes; not copyable.
template <typename Interface>
struct ComHeld {
    Interface* p = nullptr;
    ComHeld() = default;
    ComHeld(const ComHeld&) = delete;
    ComHeld& operator=(const ComHeld&) = delete;
    ~ComHeld() {
        if (p)
            p->Release();
    }
};

}  // namespace corvandel
