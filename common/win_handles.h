// Small owners for Win32 resources: each closes what it holds when it goes out of scope, so no
// early return can leak a handle. A traits type names the resource, its empty value and its close.
#pragma once
#include <windows.h>

template <typename Traits> class Owned {
  public:
    using Type = typename Traits::Type;

    Owned() = default;
    explicit Owned(Type value) : value_(value) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Owned() { reset(); }

    Type get() const { return value_; }
    bool valid() const { return value_ != Traits::empty(); }
    Type release() {
        Type value = value_;
        value_ = Traits::empty();
        return value;
    }
    void reset(Type value = Traits::empty()) {
        if (valid()) Traits::close(value_);
        value_ = value;
    }

  private:
    Type value_ = Traits::empty();
};

struct FileTraits {
    using Type = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
struct KernelObjectTraits {  // threads, events: null when absent
    using Type = HANDLE;
    static HANDLE empty() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct GlobalMemoryTraits {  // GlobalAlloc blocks, until handed to the clipboard
    using Type = HGLOBAL;
    static HGLOBAL empty() { return nullptr; }
    static void close(HGLOBAL h) { GlobalFree(h); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static HKEY empty() { return nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};

using FileHandle = Owned<FileTraits>;
using FindHandle = Owned<FindTraits>;
using KernelHandle = Owned<KernelObjectTraits>;
using GlobalBlock = Owned<GlobalMemoryTraits>;
using RegistryKey = Owned<RegistryKeyTraits>;

// GDI objects, icons and menus, and the scoped selection of an object into a device context.
template <typename T> struct GdiObjectTraits {  // pens, brushes, fonts, bitmaps
    using Type = T;
    static T empty() { return nullptr; }
    static void close(T h) { DeleteObject(h); }
};
struct IconTraits {
    using Type = HICON;
    static HICON empty() { return nullptr; }
    static void close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static HMENU empty() { return nullptr; }
    static void close(HMENU h) { DestroyMenu(h); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
    using Type = HDC;
    static HDC empty() { return nullptr; }
    static void close(HDC h) { DeleteDC(h); }
};

using BitmapHandle = Owned<GdiObjectTraits<HBITMAP>>;
using FontHandle = Owned<GdiObjectTraits<HFONT>>;
using IconHandle = Owned<IconTraits>;
using MenuHandle = Owned<MenuTraits>;
using MemoryDc = Owned<MemoryDcTraits>;

// Selects `object` into `dc` and puts the previous object back when it goes out of scope.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_) SelectObject(dc_, previous_);
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's device context from GetDC, released when it goes out of scope.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};
