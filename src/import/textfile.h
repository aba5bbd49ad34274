// Files from outside, read whole within a bound; text files: their encoding told (byte-order mark, strict UTF-8, else the
// detector's guess) or given, their bytes converted to UTF-8 by iconv, their lines cut; and the
// characters of JIS X 0213 by plane, row and cell, as Aozora Bunko's notation names them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolva {

// The longest line a text file may have (a longer one is taken for a file that is not text).
inline constexpr size_t kMaxLineBytes = size_t(1) << 20;

// The bytes of a file, at most limit of them (at most the first limit when head is set);
// raises ImportError when it cannot be read or (unless head) is larger.
std::string ReadInputFile(const std::filesystem::path& file, uint64_t limit, bool head = false);

struct DecodedText {
    std::string utf8;      // without a byte-order mark; line ends as they were
    std::string encoding;  // the iconv name it was read in
};

// Converts bytes to UTF-8. encoding: an iconv name, or empty to tell it from the bytes. Shift_JIS
// is read as code page 932 and, where that fails, as Shift_JIS with JIS X 0213; Big5 as Big5,
// code page 950 or Big5-HKSCS; EUC-JP likewise. Raises ImportError naming the file and the line
// of the first byte that is not in the encoding (or that the encoding cannot be told), and for
// a NUL character (not a text file).
DecodedText DecodeText(std::string_view bytes, std::string_view encoding,
                       const std::filesystem::path& file);

// Converts bytes in one iconv encoding to UTF-8; false with the offset of the first byte that is
// not in it (badOffset = bytes.size() for a name iconv does not know).
bool ConvertToUtf8(std::string_view bytes, const char* encoding, std::string& out,
                   size_t& badOffset);

// The lines of UTF-8 text, split at LF, CR LF or CR, without their ends. Raises ImportError for
// a line longer than kMaxLineBytes.
std::vector<std::string_view> SplitLines(std::string_view text, const std::filesystem::path& file);

// The UTF-8 of the JIS X 0213 character at plane (1 or 2), row and cell (1 to 94), through
// iconv's EUC-JISX0213; empty when there is none. Some cells are two code points (a kana with
// its sound mark).
std::string JisX0213ToUtf8(int plane, int row, int cell);

}  // namespace kolva
