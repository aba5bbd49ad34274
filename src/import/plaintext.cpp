// Plain text: paragraphs are separated by empty lines and keep their lines; a short line that
// names a chapter (第十二回, 第三章, 卷之五, 序, 楔子 …) is a heading and starts a volume (a
// heading right after a heading joins its volume). Brackets are text: a run in （…） or 〔…〕 is
// not taken for a note.
#include <string>

#include "import/readers.h"
#include "import/textfile.h"
#include "text/utf8.h"

namespace kolva {

namespace {

constexpr size_t kMaxHeadingChars = 40;

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000 || c == 0xA0; }

std::u32string_view Trim(std::u32string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool IsNumeral(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= U'０' && c <= U'９') ||
           std::u32string_view(U"〇零一二三四五六七八九十百千万萬两兩廿卅卌壹貳參肆伍陸柒捌玖拾佰仟").find(c) !=
               std::u32string_view::npos;
}

// The length of the run of numerals at the start of s.
size_t NumeralRun(std::u32string_view s) {
    size_t n = 0;
    while (n < s.size() && IsNumeral(s[n])) ++n;
    return n;
}

bool IsChapterHeading(std::u32string_view line) {
    if (line.empty() || line.size() > kMaxHeadingChars) return false;
    constexpr std::u32string_view kUnits = U"章回卷巻篇節节部集話话幕折齣出";
    if (line[0] == U'第') {
        const size_t n = NumeralRun(line.substr(1));
        return n > 0 && 1 + n < line.size() && kUnits.find(line[1 + n]) != std::u32string_view::npos;
    }
    if (line[0] == U'卷' || line[0] == U'巻') {
        size_t at = 1;
        if (at < line.size() && (line[at] == U'之' || line[at] == U'第')) ++at;
        const size_t n = NumeralRun(line.substr(at));
        return n > 0 && (at + n == line.size() || IsSpace(line[at + n]) || line[at + n] < 0x3000);
    }
    for (std::u32string_view word : {U"序", U"序章", U"序言", U"自序", U"前言", U"楔子", U"引子",
                                     U"引言", U"後記", U"后记", U"跋", U"尾聲", U"尾声", U"終章",
                                     U"终章", U"附錄", U"附录"})
        if (line == word) return true;
    for (std::u32string_view word : {U"Chapter ", U"CHAPTER "}) {
        if (line.substr(0, word.size()) != word) continue;
        const std::u32string_view rest = line.substr(word.size());
        return !rest.empty() && std::u32string_view(U"0123456789IVXLC").find(rest[0]) != std::u32string_view::npos;
    }
    return false;
}

}  // namespace

void ReadPlainText(std::string_view utf8, const std::filesystem::path& file, BookBuilder& book,
                   BookInfo& /*info: plain text says nothing of itself*/) {
    bool inParagraph = false;
    bool headingOnly = false;  // the volume holds nothing but headings yet
    std::u32string line32;
    size_t lineNumber = 0;
    for (std::string_view line : SplitLines(utf8, file)) {
        ++lineNumber;
        size_t bad;
        if (!DecodeUtf8(line, line32, bad)) throw ImportError(file, lineNumber, "the text is not UTF-8");
        const std::u32string_view trimmed = Trim(line32);
        if (trimmed.empty()) {
            book.EndBlock();
            inParagraph = false;
            continue;
        }
        if (IsChapterHeading(trimmed)) {
            const std::string heading = ToUtf8(trimmed);
            book.EndBlock();
            inParagraph = false;
            if (!headingOnly) book.StartVolume(heading);
            book.StartHeading(1);
            book.Text(heading);
            book.EndBlock();
            headingOnly = true;
            continue;
        }
        headingOnly = false;
        if (inParagraph) {
            book.LineBreak();
        } else {
            book.StartParagraph();
            inParagraph = true;
        }
        book.Text(line);
    }
    book.EndBlock();
}

}  // namespace kolva
