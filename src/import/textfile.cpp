#include "import/textfile.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "import/book.h"
#include "platform/file.h"
#include "text/utf8.h"

namespace kolva {

namespace {

// The detector reads at most this much of a file: enough for its statistics, and a wrong guess
// still shows as a conversion error further on.
constexpr size_t kDetectBytes = size_t(512) << 10;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

// The iconv encodings to try, in order, for an encoding's name. Windows' code pages are the
// usual supersets of the national standards in files found on the web; where a code page
// fails, the extended standard may still read the file.
std::vector<std::string> Candidates(std::string_view name) {
    const std::string n = Upper(name);
    if (n == "SHIFT_JIS" || n == "SHIFT-JIS" || n == "SJIS" || n == "CP932" || n == "MS932" ||
        n == "WINDOWS-31J")
        return {"CP932", "SHIFT_JISX0213"};
    if (n == "BIG5" || n == "BIG-5" || n == "CP950") return {"BIG5", "CP950", "BIG5-HKSCS"};
    if (n == "EUC-JP" || n == "EUCJP") return {"EUC-JP", "EUC-JP-MS", "EUC-JISX0213"};
    if (n == "GB2312" || n == "GBK" || n == "CP936" || n == "EUC-CN") return {"GB18030"};
    if (n == "ASCII" || n == "US-ASCII") return {"UTF-8"};
    return {n};
}

std::string Detect(std::string_view bytes) {
    std::unique_ptr<uchardet, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    if (!detector) return {};
    const std::string_view sample = bytes.substr(0, kDetectBytes);
    if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) return {};
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name ? std::string(name) : std::string();
}

size_t LineOfOutput(const std::string& converted) {
    return size_t(std::count(converted.begin(), converted.end(), '\n')) + 1;
}

// Private-use characters from code page 932 are the user-defined area, where files written in
// Shift_JIS with JIS X 0213 keep their second plane.
bool HasPrivateUse(std::string_view utf8) {
    // U+E000..U+F8FF: EE 80 80 .. EF A3 BF
    for (size_t i = 0; i + 1 < utf8.size(); ++i) {
        const unsigned char a = static_cast<unsigned char>(utf8[i]);
        const unsigned char b = static_cast<unsigned char>(utf8[i + 1]);
        if (a == 0xEE || (a == 0xEF && b < 0xA4)) return true;
    }
    return false;
}

// The detector's answers this program takes. For a text too short for its statistics it may
// name a single-byte Western encoding, which would turn Chinese or Japanese into other letters.
bool IsEastAsianOrUnicode(const std::string& name) {
    for (const char* known : {"UTF-8", "UTF-16", "UTF-16LE", "UTF-16BE", "UTF-32", "UTF-32LE", "UTF-32BE",
                              "GB18030", "GB2312", "HZ-GB-2312", "BIG5", "EUC-TW", "SHIFT_JIS", "EUC-JP",
                              "ISO-2022-JP", "ISO-2022-CN", "ISO-2022-KR", "EUC-KR", "UHC"})
        if (Upper(name) == known) return true;
    return false;
}

// Characters an East Asian text is made of: ASCII, CJK ideographs, kana and CJK punctuation,
// fullwidth forms, hangul, common punctuation.
bool IsOrdinary(char32_t c) {
    return c < 0x80 || (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xFF01 && c <= 0xFF5E) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0x2010 && c <= 0x203B) || c == 0xB7 || c == 0xFEFF;
}

// When the detector cannot tell: the one East Asian encoding that reads the bytes as ordinary
// characters only, or an ImportError naming those that do (or that none does).
std::string OnlyPlausibleEncoding(std::string_view bytes, const std::filesystem::path& file) {
    // A sample does; it may end inside a character. The whole text is converted afterwards.
    const std::string_view sample = bytes.substr(0, kDetectBytes);
    std::vector<std::string> plausible;
    for (const char* family : {"GB18030", "BIG5", "SHIFT_JIS", "EUC-JP", "EUC-KR"}) {
        for (const std::string& name : Candidates(family)) {
            std::string utf8;
            std::u32string points;
            size_t bad;
            const bool read = ConvertToUtf8(sample, name.c_str(), utf8, bad) ||
                              (sample.size() < bytes.size() && bad + 4 >= sample.size());
            if (!read || !DecodeUtf8(utf8, points, bad)) continue;
            if (std::all_of(points.begin(), points.end(), IsOrdinary)) {
                plausible.push_back(family);
                break;
            }
        }
    }
    if (plausible.size() == 1) return plausible.front();
    std::string which;
    for (const std::string& p : plausible) which += (which.empty() ? "" : " and as ") + p;
    throw ImportError(file, 0,
                      "cannot tell the encoding of the text" +
                          (which.empty() ? std::string() : " (it reads as " + which + ")") +
                          "; give it with --encoding, for example GB18030, BIG5 or SHIFT_JIS");
}

}  // namespace

std::string ReadInputFile(const std::filesystem::path& file, uint64_t limit, bool head) {
    ReadOnlyFile in;
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(file, ec);
    if (ec || !in.Open(file)) throw ImportError(file, 0, "cannot be read");
    if (size > limit && !head)
        throw ImportError(file, 0, "is larger than " + std::to_string(limit >> 20) + " MiB (refused)");
    std::string bytes(size_t(std::min(size, limit)), '\0');
    if (!bytes.empty() && !in.ReadAt(0, bytes.data(), bytes.size())) throw ImportError(file, 0, "cannot be read");
    return bytes;
}

bool ConvertToUtf8(std::string_view bytes, const char* encoding, std::string& out,
                   size_t& badOffset) {
    out.clear();
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        badOffset = bytes.size();
        return false;
    }
    out.reserve(bytes.size() + bytes.size() / 2);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    bool ok = true;
    char buffer[65536];
    for (bool flushing = false;;) {
        char* to = buffer;
        size_t toLeft = sizeof buffer;
        const size_t r = flushing ? iconv(cd, nullptr, nullptr, &to, &toLeft)
                                  : iconv(cd, &in, &inLeft, &to, &toLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - toLeft);
        if (r == size_t(-1) && error == E2BIG) continue;
        if (r == size_t(-1)) {
            // EILSEQ: a byte not in the encoding; EINVAL: the input ends inside a character.
            ok = false;
            badOffset = size_t(in - bytes.data());
            break;
        }
        if (flushing) break;
        flushing = true;
    }
    iconv_close(cd);
    return ok;
}

DecodedText DecodeText(std::string_view bytes, std::string_view encoding,
                       const std::filesystem::path& file) {
    std::vector<std::string> candidates;
    std::string told;  // how the encoding was found, for the message
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        candidates = {"UTF-8"}, told = "marked by its byte-order mark";
    } else if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) {
        candidates = {"UTF-32"}, told = "marked by its byte-order mark";
    } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        candidates = {"UTF-16"}, told = "marked by its byte-order mark";
    } else if (!encoding.empty()) {
        candidates = Candidates(encoding), told = "given";
        iconv_t cd = iconv_open("UTF-8", candidates.front().c_str());
        if (cd == reinterpret_cast<iconv_t>(-1))
            throw ImportError(file, 0, "the encoding " + std::string(encoding) + " is not known");
        iconv_close(cd);
    } else {
        size_t bad;
        if (AppendUtf8Decoded(bytes, nullptr, bad)) {
            candidates = {"UTF-8"};
        } else {
            std::string detected = Detect(bytes);
            if (!IsEastAsianOrUnicode(detected)) detected = OnlyPlausibleEncoding(bytes, file);
            candidates = Candidates(detected), told = "as detected";
        }
    }

    DecodedText result;
    size_t firstBad = 0, firstLine = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
        std::string converted;
        size_t bad = 0;
        if (ConvertToUtf8(bytes, candidates[i].c_str(), converted, bad)) {
            if (candidates[i] == "CP932" && i + 1 < candidates.size() && HasPrivateUse(converted)) {
                std::string other;
                size_t otherBad;
                if (ConvertToUtf8(bytes, candidates[i + 1].c_str(), other, otherBad)) {
                    converted = std::move(other);
                    ++i;
                }
            }
            result.utf8 = std::move(converted);
            result.encoding = candidates[i];
            break;
        }
        if (i == 0) {
            firstBad = bad;
            firstLine = LineOfOutput(converted);
        }
    }
    if (result.encoding.empty()) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X",
                      firstBad < bytes.size() ? static_cast<unsigned char>(bytes[firstBad]) : 0);
        throw ImportError(file, firstLine,
                          "the text is not " + candidates.front() +
                              (told.empty() ? std::string() : " (" + told + ")") + ": byte " + byte +
                              " at offset " + std::to_string(firstBad) +
                              (told == "given" ? std::string()
                                               : " (a mixed or wrong encoding? give it with --encoding)"));
    }
    if (result.utf8.substr(0, 3) == "\xEF\xBB\xBF") result.utf8.erase(0, 3);
    const size_t nul = result.utf8.find('\0');
    if (nul != std::string::npos)
        throw ImportError(file, LineOfOutput(result.utf8.substr(0, nul)),
                          "a NUL character: this is not a text file");
    return result;
}

std::vector<std::string_view> SplitLines(std::string_view text, const std::filesystem::path& file) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n' && text[i] != '\r') continue;
        if (i - start > kMaxLineBytes)
            throw ImportError(file, lines.size() + 1,
                              "a line of " + std::to_string(i - start) +
                                  " bytes; lines longer than " + std::to_string(kMaxLineBytes) +
                                  " bytes are refused (is this a text file?)");
        if (i == text.size() && i == start) break;  // no empty line after the last line end
        lines.push_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return lines;
}

std::string JisX0213ToUtf8(int plane, int row, int cell) {
    if ((plane != 1 && plane != 2) || row < 1 || row > 94 || cell < 1 || cell > 94) return {};
    std::string euc;
    if (plane == 2) euc += '\x8F';
    euc += char(0xA0 + row);
    euc += char(0xA0 + cell);
    std::string out;
    size_t bad;
    if (!ConvertToUtf8(euc, "EUC-JISX0213", out, bad)) return {};
    return out;
}

}  // namespace kolva
