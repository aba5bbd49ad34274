// An Aozora Bunko text file:
//
//   title                         header: title, (subtitle), author, (translator)
//   author
//
//   -------------------------     the explanation of the symbols, left out
//   【テキスト中に現れる記号について】 …
//   -------------------------
//   body lines                    one paragraph a line
//   底本：…                        the colophon, to the end: a note of the last page
//
// In the body: 漢字《かんじ》 and ｜漢字《かんじ》 (ruby: a note after its base); ［＃…］
// annotations: 改ページ and the like start a page, 大/中/小見出し make headings (「…」は大見出し
// after the text, 大見出し … 大見出し終わり around it, ここから大見出し … ここで大見出し終わり
// over lines; the largest level used starts volumes), 割り注 … 割り注終わり a note, layout and
// emphasis are dropped (the text stays), every other annotation is a note; ※［＃「…」、第3水準
// 1-84-77］ is the character of that JIS X 0213 code (or of U+XXXX), else 〓 with the
// description as a note.
#include <algorithm>
#include <string>
#include <vector>

#include "import/readers.h"
#include "import/textfile.h"
#include "text/utf8.h"

namespace kolva {

namespace {

constexpr size_t kMaxHeaderLines = 6;
constexpr size_t kDashSearchLines = 60;

bool IsDashLine(std::string_view line) {
    return line.size() >= 10 && line.find_first_not_of('-') == std::string_view::npos;
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos ||
           line == "\xE3\x80\x80";  // one ideographic space
}

bool StartsWith(std::u32string_view s, std::u32string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
bool EndsWith(std::u32string_view s, std::u32string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}
bool Contains(std::u32string_view s, std::u32string_view part) {
    return s.find(part) != std::u32string_view::npos;
}

// One token of a body line.
struct Token {
    enum Kind { kText, kRuby, kAnnotation, kGaiji } kind;
    std::u32string text;  // the text, the reading, or the annotation without ［＃ and ］
};

// Annotations and readings are short; what runs longer is taken for text (and a line of
// openers is read in linear time).
constexpr size_t kMaxAnnotationChars = 512;
constexpr size_t kMaxRubyChars = 128;

// The end of an annotation whose content starts at i: the index of its closing ］ (quotes 「」
// and nested ［］ skipped), or npos.
size_t AnnotationEnd(std::u32string_view line, size_t i) {
    int quotes = 0, brackets = 0;
    const size_t end = std::min(line.size(), i + kMaxAnnotationChars);
    for (; i < end; ++i) {
        const char32_t c = line[i];
        if (c == U'「') ++quotes;
        else if (c == U'」' && quotes > 0) --quotes;
        else if (c == U'［') ++brackets;
        else if (c == U'］' && quotes == 0 && brackets == 0) return i;
        else if (c == U'］' && brackets > 0) --brackets;
    }
    return std::u32string_view::npos;
}

std::vector<Token> Tokenize(std::u32string_view line) {
    std::vector<Token> tokens;
    const size_t lastRuby = line.rfind(U'《') == std::u32string_view::npos ? 0 : line.rfind(U'《');
    const auto text = [&](char32_t c) {
        if (tokens.empty() || tokens.back().kind != Token::kText) tokens.push_back({Token::kText, {}});
        tokens.back().text += c;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        const char32_t c = line[i];
        if ((c == U'［' || (c == U'※' && i + 1 < line.size() && line[i + 1] == U'［')) ) {
            const size_t open = c == U'※' ? i + 1 : i;
            if (open + 1 < line.size() && line[open + 1] == U'＃') {
                const size_t end = AnnotationEnd(line, open + 2);
                if (end != std::u32string_view::npos) {
                    tokens.push_back({c == U'※' ? Token::kGaiji : Token::kAnnotation,
                                      std::u32string(line.substr(open + 2, end - open - 2))});
                    i = end;
                    continue;
                }
            }
        } else if (c == U'《') {
            const size_t end = line.substr(0, i + 1 + kMaxRubyChars).find(U'》', i + 1);
            if (end != std::u32string_view::npos) {
                tokens.push_back({Token::kRuby, std::u32string(line.substr(i + 1, end - i - 1))});
                i = end;
                continue;
            }
        } else if (c == U'｜') {
            // Marks where a ruby's base begins; a bar without a ruby after it is text.
            if (i < lastRuby) continue;
        }
        text(c);
    }
    return tokens;
}

// Heading annotations: the level (1 大, 2 中, 3 小) and the form; 0 for other annotations.
enum class HeadingForm { kNone, kAfter, kStart, kEnd, kBlockStart, kBlockEnd };
int HeadingLevel(std::u32string_view a, HeadingForm& form) {
    form = HeadingForm::kNone;
    if (!EndsWith(a, U"見出し") && !EndsWith(a, U"見出し終わり")) return 0;
    const bool end = EndsWith(a, U"終わり");
    std::u32string_view core = a.substr(0, a.size() - (end ? 6 : 3));  // before 見出し(終わり)
    if (!core.empty() && StartsWith(a, U"「") && Contains(a, U"」は")) {
        form = HeadingForm::kAfter;
        core = core.substr(core.rfind(U"」は") + 2);
    } else if (StartsWith(core, U"ここから")) {
        form = HeadingForm::kBlockStart;
        core.remove_prefix(4);
    } else if (StartsWith(core, U"ここで")) {
        form = HeadingForm::kBlockEnd;
        core.remove_prefix(3);
    } else {
        form = end ? HeadingForm::kEnd : HeadingForm::kStart;
    }
    if (StartsWith(core, U"同行") || StartsWith(core, U"窓")) core.remove_prefix(core[0] == U'窓' ? 1 : 2);
    if (core == U"大") return 1;
    if (core == U"中") return 2;
    if (core == U"小") return 3;
    form = HeadingForm::kNone;
    return 0;
}

bool IsPageBreak(std::u32string_view a) {
    return a == U"改ページ" || a == U"改丁" || a == U"改頁" || a == U"改見開き" || a == U"改段";
}

// Annotations of layout and emphasis: the text they describe stays, the description goes.
bool IsLayout(std::u32string_view a) {
    for (std::u32string_view word :
         {U"字下げ", U"字上げ", U"地付き", U"地寄せ", U"字詰め", U"天付き", U"折り返して", U"本文終わり",
          U"左右中央", U"横組み", U"縦中横", U"傍点", U"傍線", U"太字", U"斜体", U"小書き", U"上付き",
          U"下付き", U"罫囲み", U"枠囲み", U"大きな文字", U"小さな文字", U"中央揃え", U"ページの左右中央",
          U"地から", U"天から", U"改行天付き", U"行右", U"行左", U"二重線", U"波線", U"破線", U"鎖線"})
        if (Contains(a, word)) return true;
    // Kanbun return marks: レ 一 二 三 上 中 下 甲 乙 … alone or with レ.
    if (!a.empty() && a.size() <= 2) {
        constexpr std::u32string_view kMarks = U"レ一二三四上中下甲乙丙丁天地人";
        for (char32_t c : a)
            if (kMarks.find(c) == std::u32string_view::npos) return false;
        return true;
    }
    return false;
}

bool IsWarichuStart(std::u32string_view a) { return a == U"割り注" || a == U"割注"; }
bool IsWarichuEnd(std::u32string_view a) { return a == U"割り注終わり" || a == U"割注終わり"; }

int DigitValue(char32_t c) {
    if (c >= '0' && c <= '9') return int(c - '0');
    if (c >= U'０' && c <= U'９') return int(c - U'０');
    return -1;
}

// Reads a decimal number at i (ASCII or fullwidth digits) and moves i past it; -1 when none.
int ReadNumber(std::u32string_view s, size_t& i) {
    int value = -1;
    while (i < s.size() && DigitValue(s[i]) >= 0 && value < 100000) {
        value = (value < 0 ? 0 : value * 10) + DigitValue(s[i]);
        ++i;
    }
    return value;
}

// The character of a gaiji annotation: U+XXXX, or a JIS X 0213 plane-row-cell; empty when
// neither is given or the code names nothing.
std::string GaijiCharacter(std::u32string_view a) {
    for (size_t at = a.find(U"U+"); at != std::u32string_view::npos; at = a.find(U"U+", at + 2)) {
        uint32_t value = 0;
        size_t n = 0;
        for (size_t i = at + 2; i < a.size() && n < 6; ++i, ++n) {
            const char32_t c = a[i];
            const int d = c >= '0' && c <= '9' ? int(c - '0')
                          : c >= 'A' && c <= 'F' ? int(c - 'A' + 10)
                          : c >= 'a' && c <= 'f' ? int(c - 'a' + 10) : -1;
            if (d < 0) break;
            value = value * 16 + uint32_t(d);
        }
        if (n >= 4 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF) && value >= 0x20) {
            std::string out;
            AppendCodePointUtf8(char32_t(value), out);
            return out;
        }
    }
    // The last plane-row-cell in it (page-line references have two numbers only).
    std::string found;
    for (size_t i = 0; i < a.size(); ++i) {
        if (DigitValue(a[i]) < 0 || (i > 0 && DigitValue(a[i - 1]) >= 0)) continue;
        size_t j = i;
        const int plane = ReadNumber(a, j);
        if (j >= a.size() || (a[j] != '-' && a[j] != U'－')) continue;
        ++j;
        const int row = ReadNumber(a, j);
        if (j >= a.size() || (a[j] != '-' && a[j] != U'－')) continue;
        ++j;
        const int cell = ReadNumber(a, j);
        if (row < 0 || cell < 0) continue;
        std::string c = JisX0213ToUtf8(plane, row, cell);
        if (!c.empty()) found = std::move(c);
    }
    return found;
}

// The header's author: the last line, unless that names a translator or editor.
std::string AuthorOf(const std::vector<std::string_view>& header) {
    if (header.size() < 2) return {};
    std::u32string last;
    size_t bad;
    DecodeUtf8(header.back(), last, bad);
    for (std::u32string_view role : {U"訳", U"編", U"校訂", U"編集", U"校注", U"監修", U"注釈"})
        if (header.size() >= 3 && EndsWith(last, role)) return std::string(header[header.size() - 2]);
    return std::string(header.back());
}

}  // namespace

bool LooksLikeAozora(std::string_view utf8) {
    bool dashes = false;
    size_t lineNumber = 0;
    for (size_t at = 0; at < utf8.size() && lineNumber < kDashSearchLines && !dashes; ++lineNumber) {
        size_t end = utf8.find('\n', at);
        if (end == std::string_view::npos) end = utf8.size();
        std::string_view line = utf8.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        dashes = IsDashLine(line);
        at = end + 1;
    }
    const bool annotations = utf8.find("\xEF\xBC\xBB\xEF\xBC\x83") != std::string_view::npos;  // ［＃
    const bool explanation =  // テキスト中に現れる記号
        utf8.substr(0, 1 << 16).find("\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88\xE4\xB8\xAD"
                                    "\xE3\x81\xAB\xE7\x8F\xBE\xE3\x82\x8C\xE3\x82\x8B\xE8\xA8\x98"
                                    "\xE5\x8F\xB7") != std::string_view::npos;
    const bool colophon = utf8.find("\n\xE5\xBA\x95\xE6\x9C\xAC\xEF\xBC\x9A") != std::string_view::npos;  // 底本：
    return (dashes && (explanation || annotations)) || (annotations && colophon);
}

void ReadAozora(std::string_view utf8, const std::filesystem::path& file, BookBuilder& book,
                BookInfo& info) {
    const std::vector<std::string_view> lines = SplitLines(utf8, file);

    // Header: the lines before the first empty or dashed line.
    size_t i = 0;
    std::vector<std::string_view> header;
    while (i < lines.size() && !IsBlank(lines[i]) && !IsDashLine(lines[i])) header.push_back(lines[i++]);
    if (header.size() > kMaxHeaderLines) {
        header.clear();
        i = 0;
    }
    if (!header.empty()) {
        info.title = std::string(header.front());
        info.author = AuthorOf(header);
    }
    // The explanation of the symbols, between two dashed lines near the top.
    size_t body = i;
    for (size_t d = i; d < lines.size() && d < kDashSearchLines; ++d) {
        if (!IsDashLine(lines[d])) continue;
        body = d + 1;
        for (size_t e = d + 1; e < lines.size(); ++e)
            if (IsDashLine(lines[e])) {
                body = e + 1;
                break;
            }
        break;
    }
    // The colophon: from the first line after the body's start that begins with 底本：.
    size_t colophon = lines.size();
    for (size_t c = body; c < lines.size(); ++c)
        if (lines[c].substr(0, 9) == "\xE5\xBA\x95\xE6\x9C\xAC\xEF\xBC\x9A") {
            colophon = c;
            break;
        }

    // Decode the body and find the largest heading level, which starts volumes.
    std::vector<std::vector<Token>> tokens(colophon > body ? colophon - body : 0);
    int volumeLevel = 4;
    for (size_t k = body; k < colophon; ++k) {
        std::u32string line;
        size_t bad;
        if (!DecodeUtf8(lines[k], line, bad)) throw ImportError(file, k + 1, "the text is not UTF-8");
        tokens[k - body] = Tokenize(line);
        for (const Token& t : tokens[k - body]) {
            HeadingForm form;
            if (t.kind == Token::kAnnotation)
                if (const int level = HeadingLevel(t.text, form); level > 0 && level < volumeLevel)
                    volumeLevel = level;
        }
    }

    for (size_t k = 0; k < header.size(); ++k) {
        if (k == 0) book.StartHeading(1);
        else book.StartParagraph();
        book.Text(header[k]);
        book.EndBlock();
    }

    int blockLevel = 0;  // inside ここから…見出し
    bool warichu = false;
    std::string warichuText;
    for (const std::vector<Token>& line : tokens) {
        // The line's heading level, and its plain text as a volume title.
        int level = blockLevel;
        for (const Token& t : line) {
            HeadingForm form;
            if (t.kind != Token::kAnnotation) continue;
            const int l = HeadingLevel(t.text, form);
            if (form == HeadingForm::kAfter || form == HeadingForm::kStart) level = l;
            if (form == HeadingForm::kBlockStart) blockLevel = l;
            if (form == HeadingForm::kBlockEnd) blockLevel = 0;
        }
        bool hasText = false;
        std::string title;
        for (const Token& t : line) {
            if (t.kind == Token::kText) title += ToUtf8(t.text);
            if (t.kind == Token::kGaiji) {
                const std::string c = GaijiCharacter(t.text);
                title += c.empty() ? "\xE3\x80\x93" : c;
            }
            hasText = hasText || t.kind == Token::kText || t.kind == Token::kGaiji;
        }
        if (!hasText && line.empty() && !warichu) {
            book.EndBlock();
            continue;
        }
        if (warichu) {
            // The paragraph of the note's start goes on.
        } else if (level > 0 && hasText) {
            if (level == volumeLevel) book.StartVolume(title);
            book.StartHeading(level);
        } else if (hasText) {
            book.StartParagraph();
        }
        for (const Token& t : line) {
            switch (t.kind) {
            case Token::kText:
                if (warichu) warichuText += ToUtf8(t.text);
                else book.Text(ToUtf8(t.text));
                break;
            case Token::kRuby:
                if (warichu) warichuText += "\xE3\x80\x8A" + ToUtf8(t.text) + "\xE3\x80\x8B";
                else book.Note(ToUtf8(t.text), NoteKind::kRuby);
                break;
            case Token::kGaiji: {
                const std::string c = GaijiCharacter(t.text);
                if (warichu) {
                    warichuText += c.empty() ? "\xE3\x80\x93" : c;
                } else if (!c.empty()) {
                    book.Text(c);
                } else {
                    book.Text("\xE3\x80\x93");  // 〓
                    book.Note(ToUtf8(t.text));
                }
                break;
            }
            case Token::kAnnotation: {
                HeadingForm form;
                if (HeadingLevel(t.text, form) > 0) break;
                if (IsPageBreak(t.text)) {
                    book.StartPage();
                } else if (IsWarichuStart(t.text)) {
                    warichu = true;
                    warichuText.clear();
                } else if (IsWarichuEnd(t.text)) {
                    if (warichu) book.Note(warichuText);
                    warichu = false;
                } else if (StartsWith(t.text, U"（") && EndsWith(t.text, U"）") && t.text.size() > 2) {
                    // Kanbun okurigana: a reading.
                    book.Note(ToUtf8(std::u32string_view(t.text).substr(1, t.text.size() - 2)), NoteKind::kRuby);
                } else if (!IsLayout(t.text)) {
                    book.Note(ToUtf8(t.text));
                }
                break;
            }
            }
        }
        if (!warichu) book.EndBlock();
        else warichuText += '\n';
    }
    if (warichu) book.Note(warichuText);
    book.EndBlock();

    std::string closing;
    size_t end = lines.size();
    while (end > colophon && IsBlank(lines[end - 1])) --end;
    for (size_t k = colophon; k < end; ++k) {
        if (!closing.empty()) closing += '\n';
        closing += lines[k];
    }
    if (!closing.empty()) book.ClosingNote(closing);
}

}  // namespace kolva
