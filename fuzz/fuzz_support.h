// Shared pieces of the fuzz targets: how one input is cut into the pieces a target needs, the
// same layout written by the seed generator, and a private folder for the data files a target
// hands to the real readers.
//
// An input is read front to back: fixed-size little-endian integers, and byte strings each
// preceded by a 32-bit length that is cut to what is left. Reads past the end give zeros and
// empty strings, so every byte sequence is a valid input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace kolva::fuzz {

class InputReader {
public:
    InputReader(const uint8_t* data, size_t size)
        : m_bytes(reinterpret_cast<const char*>(data), size) {}

    uint8_t U8() { return uint8_t(Integer(1)); }
    uint16_t U16() { return uint16_t(Integer(2)); }
    uint32_t U32() { return uint32_t(Integer(4)); }
    std::string_view Bytes() {
        size_t n = std::min<size_t>(U32(), m_bytes.size());
        std::string_view out = m_bytes.substr(0, n);
        m_bytes.remove_prefix(n);
        return out;
    }
    // A byte string read as UTF-16LE units (an odd last byte is dropped).
    std::u16string Utf16() { return ToUtf16(Bytes()); }
    std::string_view Rest() {
        std::string_view out = m_bytes;
        m_bytes = {};
        return out;
    }
    static std::u16string ToUtf16(std::string_view bytes) {
        std::u16string out(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
        return out;
    }

private:
    uint64_t Integer(size_t width) {
        uint64_t v = 0;
        for (size_t i = 0; i < width && i < m_bytes.size(); ++i) v |= uint64_t(uint8_t(m_bytes[i])) << (8 * i);
        m_bytes.remove_prefix(std::min(width, m_bytes.size()));
        return v;
    }
    std::string_view m_bytes;
};

// Writes inputs in the layout InputReader reads.
class InputWriter {
public:
    InputWriter& U8(uint8_t v) { return Integer(v, 1); }
    InputWriter& U16(uint16_t v) { return Integer(v, 2); }
    InputWriter& U32(uint32_t v) { return Integer(v, 4); }
    InputWriter& Bytes(std::string_view bytes) {
        U32(uint32_t(bytes.size()));
        m_out.append(bytes);
        return *this;
    }
    InputWriter& Utf16(std::u16string_view text) {
        std::string bytes;
        for (char16_t u : text) bytes += char(u & 0xFF), bytes += char(u >> 8);
        return Bytes(bytes);
    }
    InputWriter& Rest(std::string_view bytes) {
        m_out.append(bytes);
        return *this;
    }
    const std::string& str() const { return m_out; }

private:
    InputWriter& Integer(uint64_t v, size_t width) {
        for (size_t i = 0; i < width; ++i) m_out += char(v >> (8 * i) & 0xFF);
        return *this;
    }
    std::string m_out;
};

// A private folder for one fuzzing process, under TMPDIR (the runner points it at a memory file
// system), removed when the process ends normally.
inline const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "kolva-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        static std::filesystem::path removeAtExit;
        removeAtExit = pattern;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(removeAtExit, ec);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) std::abort();
}

// Stops the run as a finding when a reader breaks a promise of its interface.
inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace kolva::fuzz
