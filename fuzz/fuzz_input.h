// Small helpers shared by the fuzz targets: taking numbers and pieces off the front of the input,
// giving every piece a heap block of exactly its own length (so that ASan sees a read one byte past
// the end of a line, not the next line's first byte), and stopping loudly when an invariant fails.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

// libFuzzer takes an abort as a crash and keeps the input that caused it.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// A copy of some bytes in a block of exactly that size; an empty piece still gets its own block.
class ExactBytes {
  public:
    explicit ExactBytes(std::string_view bytes) : size_(bytes.size()), data_(new char[bytes.size()]) {
        if (size_) std::memcpy(data_.get(), bytes.data(), size_);
    }
    char* data() { return data_.get(); }
    size_t size() const { return size_; }
    std::string_view view() const { return {data_.get(), size_}; }

  private:
    size_t size_;
    std::unique_ptr<char[]> data_;
};

// Reads the fuzzer's bytes from the front: fixed-width numbers first, then the text that is left.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    // Takes up to sizeof(T) bytes as a little-endian number; missing bytes read as 0.
    template <typename T> T number() {
        uint64_t value = 0;
        size_t n = rest_.size() < sizeof(T) ? rest_.size() : sizeof(T);
        for (size_t i = 0; i < n; ++i) value |= uint64_t{static_cast<unsigned char>(rest_[i])} << (8 * i);
        rest_.remove_prefix(n);
        return static_cast<T>(value);
    }
    uint8_t byte() { return number<uint8_t>(); }

    // Takes the text up to the first NUL (the NUL is dropped), or all that is left.
    std::string_view piece() {
        size_t nul = rest_.find('\0');
        std::string_view taken = rest_.substr(0, nul);
        rest_.remove_prefix(nul == std::string_view::npos ? rest_.size() : nul + 1);
        return taken;
    }

    std::string_view rest() const { return rest_; }

  private:
    std::string_view rest_;
};

// The lines of `text` as a receiver hands them on: split at LF, one CR before it dropped.
inline std::vector<std::string_view> receivedLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
        size_t lf = text.find('\n', start);
        size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}
