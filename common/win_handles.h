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

using FileHandle = Owned<FileTraits>;
using FindHandle = Owned<FindTraits>;
using KernelHandle = Owned<KernelObjectTraits>;
