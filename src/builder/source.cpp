#include "builder/source.h"

#include <algorithm>
#include <map>

#include "catalogue/catalogue.h"
#include "text/codeconverter.h"
#include "text/utf8.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "pagestore/page_text.h"
#include "platform/file.h"

namespace kolva {

namespace {

std::string Located(const std::filesystem::path& file, size_t line, const std::string& message) {
    return file.string() + (line ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

size_t LineOf(std::string_view bytes, size_t offset) {
    return size_t(std::count(bytes.begin(), bytes.begin() + long(offset), '\n')) + 1;
}

std::u32string DecodeOrThrow(std::string_view bytes, const std::filesystem::path& file) {
    std::u32string text;
    size_t bad;
    if (!DecodeUtf8(bytes, text, bad))
        throw SourceError(file, LineOf(bytes, bad), "the text is not UTF-8");
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string_view StripBom(std::string_view bytes) {
    return bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
}

// A volume folder: a relative ASCII path with "/", no "." or ".." parts.
std::string CheckFolder(std::string_view folder, const std::filesystem::path& file, size_t line) {
    while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
    if (folder.empty() || folder.front() == '/')
        throw SourceError(file, line, "a volume needs a relative page folder");
    for (char c : folder)
        if (c < 0x21 || c > 0x7E || c == '\\')
            throw SourceError(file, line,
                              "the page folder must be ASCII without spaces or backslashes");
    for (std::string_view part : Split(folder, '/'))
        if (part.empty() || part == "." || part == "..")
            throw SourceError(file, line, "the page folder may not hold empty, . or .. parts");
    return std::string(folder);
}

// The first of text's bytes that is a or b or c, or npos.
size_t FindAnyOf(std::string_view text, char a, char b, char c = '\0') {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == a || text[i] == b || (c && text[i] == c)) return i;
    return std::string_view::npos;
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (;;) {
        const size_t special = FindAnyOf(text, '<', '>', '&');
        out.append(text.substr(0, special));
        if (special == std::string_view::npos) return;
        out += text[special] == '<' ? "&lt;" : text[special] == '>' ? "&gt;" : "&amp;";
        text.remove_prefix(special + 1);
    }
}

// Page files are named DIGITS.txt, DIGITS.htm or DIGITS.html.
bool IsPageFileName(const std::string& name, std::string& digits, bool& html) {
    size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos) return false;
    digits = name.substr(0, dot);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    std::string ext = name.substr(dot);
    html = ext == ".htm" || ext == ".html";
    return html || ext == ".txt";
}

void ListPages(const CollectionSource& source, SourceEntry& volume,
               const std::filesystem::path& catalogueFile) {
    const std::filesystem::path folder = source.root / volume.folder;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw SourceError(catalogueFile, volume.line,
                          "the page folder " + volume.folder + " does not exist");
    std::map<uint32_t, SourcePage> byNumber;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        std::string digits;
        bool html;
        if (!item.is_regular_file() || !IsPageFileName(item.path().filename().string(), digits, html))
            continue;
        uint32_t number = 0;
        for (char c : digits) number = std::min<uint32_t>(number * 10 + uint32_t(c - '0'), 100000);
        if (number < 1 || number > 0xFFFF)
            throw SourceError(item.path(), 0, "a page number must lie between 1 and 65535");
        SourcePage page{uint16_t(number), digits, item.path(), html};
        auto [it, fresh] = byNumber.emplace(number, page);
        if (!fresh)
            throw SourceError(item.path(), 0,
                              "page " + std::to_string(number) + " appears twice in the volume (also " +
                                  it->second.file.filename().string() + ")");
    }
    if (byNumber.empty())
        throw SourceError(catalogueFile, volume.line, "the volume " + volume.folder + " has no pages");
    uint32_t expected = byNumber.begin()->first;
    for (auto& [number, page] : byNumber) {
        if (number != expected)
            throw SourceError(folder, 0,
                              "the pages of a volume are numbered without gaps: page " +
                                  std::to_string(expected) + " is missing");
        ++expected;
        volume.pages.push_back(std::move(page));
    }
}

}  // namespace

SourceError::SourceError(const std::filesystem::path& file, size_t line, const std::string& message)
    : std::runtime_error(Located(file, line, message)) {}

std::vector<SourceEntry> ParseCatalogueText(std::string_view bytes,
                                            const std::filesystem::path& file) {
    DecodeOrThrow(bytes, file);
    const bool bom = StripBom(bytes).size() != bytes.size();
    std::vector<SourceEntry> entries;
    std::map<std::string, size_t> folderLine;
    size_t lineNumber = 0;
    for (std::string_view line : Split(bytes.substr(bom ? 3 : 0), '\n')) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
        std::vector<std::string_view> fields = Split(line, '\t');
        SourceEntry entry;
        entry.line = lineNumber;
        if (fields[0] != "1" && fields[0] != "2" && fields[0] != "3")
            throw SourceError(file, lineNumber,
                              "unknown level \"" + std::string(fields[0]) + "\" (levels are 1, 2 and 3)");
        entry.level = fields[0][0] - '0';
        const size_t wanted = entry.level == 3 ? 3 : 2;
        if (fields.size() != wanted)
            throw SourceError(file, lineNumber,
                              entry.level == 3 ? "a volume line is: 3, TAB, title, TAB, page folder"
                                               : "a category or book line is: level, TAB, title");
        entry.title = CodePointsToUtf16(DecodeOrThrow(fields[1], file));
        if (entry.title.empty()) throw SourceError(file, lineNumber, "an entry needs a title");
        if (entry.title.size() > 99)
            throw SourceError(file, lineNumber, "a title may have at most 99 UTF-16 units");
        const int previous = entries.empty() ? 0 : entries.back().level;
        if (entry.level > previous + 1)
            throw SourceError(file, lineNumber,
                              entries.empty() ? "the first entry must be a category (level 1)"
                                              : "a level-" + std::to_string(entry.level) +
                                                    " entry must follow an entry of level " +
                                                    std::to_string(entry.level - 1) + " or deeper");
        if (entry.level == 3) {
            entry.folder = CheckFolder(fields[2], file, lineNumber);
            auto [it, fresh] = folderLine.emplace(entry.folder, lineNumber);
            if (!fresh)
                throw SourceError(file, lineNumber,
                                  "the page folder is already used on line " + std::to_string(it->second));
        }
        if (entries.size() == size_t(kCatalogueSlots - 1))
            throw SourceError(file, lineNumber, "a catalogue holds at most 9999 entries");
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) throw SourceError(file, 0, "the catalogue has no entries");
    return entries;
}

std::string PageRecordName(const SourceEntry& volume, const SourcePage& page) {
    std::string name = volume.folder;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name + "\\" + page.digits + ".htm";
}

CollectionSource ReadCollectionSource(const std::filesystem::path& root) {
    CollectionSource source;
    source.root = root;
    const std::filesystem::path catalogueFile = root / "catalogue.txt";
    std::string bytes;
    if (!ReadWholeFile(catalogueFile, bytes)) throw SourceError(catalogueFile, 0, "cannot read the catalogue");
    source.entries = ParseCatalogueText(bytes, catalogueFile);
    for (SourceEntry& entry : source.entries) {
        if (entry.level != 3) continue;
        ListPages(source, entry, catalogueFile);
        for (const SourcePage& page : entry.pages) {
            if (PageRecordName(entry, page).size() > 99)
                throw SourceError(catalogueFile, entry.line,
                                  "the page name " + PageRecordName(entry, page) +
                                      " is longer than the 99 bytes of the name field");
            source.pageBytes += std::filesystem::file_size(page.file);
        }
        source.pageCount += entry.pages.size();
    }

    const std::filesystem::path tableFile = root / "yitizi.txt";
    if (std::filesystem::exists(tableFile)) {
        if (!ReadWholeFile(tableFile, source.variantTable))
            throw SourceError(tableFile, 0, "cannot read the variant table");
        const size_t groups = ParseVariantTable(source.variantTable, SIZE_MAX).size();
        if (groups > size_t(kMaxVariantGroups))
            throw SourceError(tableFile, 0,
                              std::to_string(groups) + " variant groups; a collection holds at most " +
                                  std::to_string(kMaxVariantGroups) +
                                  " (one index slot each): merge or remove groups");
    }
    return source;
}

namespace {

// The frame's first cell is the narrow one (80 pixels beside 450). An even page keeps its body
// there, so its page swaps the two widths: the body gets the wide column on both parities. The
// rule rides in the label cell, which the composer copies and never marks.
constexpr std::string_view kWideFirstCell =
    "<style>table.wd_gray>tbody>tr>td:first-child{width:450px}"
    "table.wd_gray>tbody>tr>td:last-child{width:80px}</style>";

// A stored page in the composer's own frame, so that the page shown as it is stored and the
// same page composed with marks look alike: title, body cell and label cell in one place.
std::string FramedPage(const std::string& title, const std::string& body, const std::string& label,
                       int pageNumber) {
    const bool bodyFirst = BodyColumn(pageNumber) == 0;
    const std::string labelCell = bodyFirst ? std::string(kWideFirstCell) + label : label;
    std::string page;
    page.reserve(kFrameT1.size() + kFrameT2.size() + kFrameT3.size() + kFrameT4.size() +
                 title.size() + body.size() + labelCell.size());
    page.append(kFrameT1).append(title).append(kFrameT2);
    page.append(bodyFirst ? body : labelCell).append(kFrameT3);
    page.append(bodyFirst ? labelCell : body).append(kFrameT4);
    return page;
}

}  // namespace

std::string FramePage(std::string_view title, std::string_view body, std::string_view label,
                      int pageNumber) {
    return FramedPage(std::string(title), std::string(body), std::string(label), pageNumber);
}

std::string LayoutTextPage(std::string_view text, std::u16string_view volumeTitle,
                           uint16_t pageNumber, const std::filesystem::path& file) {
    size_t bad;
    if (!AppendUtf8Decoded(text, nullptr, bad, false))
        throw SourceError(file, LineOf(text, bad), "the text is not UTF-8");
    text = StripBom(text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    const std::string number = std::to_string(pageNumber);
    std::string title;
    AppendEscaped(title, ToUtf8(volumeTitle));

    std::string body;
    bool inParagraph = false, inNote = false;
    size_t lineNumber = 0, noteLine = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            if (inNote) throw SourceError(file, noteLine, "a note may not run over a paragraph end");
            if (inParagraph) body += "</p>\n";
            inParagraph = false;
            continue;
        }
        body += inParagraph ? "<br>" : "<p>";
        inParagraph = true;
        for (;;) {
            const size_t brace = FindAnyOf(line, '{', '}');
            AppendEscaped(body, line.substr(0, brace));
            if (brace == std::string_view::npos) break;
            if (line[brace] == '{') {
                if (inNote) throw SourceError(file, lineNumber, "notes may not nest");
                inNote = true;
                noteLine = lineNumber;
                body += kNoteOpen;
            } else {
                if (!inNote) throw SourceError(file, lineNumber, "a } closes no note");
                inNote = false;
                body += kNoteClose;
            }
            line.remove_prefix(brace + 1);
        }
    }
    if (inNote) throw SourceError(file, noteLine, "a note is not closed");
    if (inParagraph) body += "</p>\n";

    return FramedPage(title + " " + number, body, title + "<br>" + number, pageNumber);
}

void ExtractPageTexts(std::string_view html, int pageNumber, PageTexts& texts) {
    texts.whole.clear();
    texts.main.clear();
    texts.notes.clear();
    std::vector<HTMLNode> nodes;
    ParsePage(html, nodes);
    std::vector<FilterItem> items;
    SplitFilterItems(nodes[size_t(BodyColumn(pageNumber)) + 1], items);
    // Positions are numbered as the composer reads the page back (pagestore/page_text.h).
    for (const FilterItem& item : items) {
        std::u32string& kind = item.type == 1 ? texts.notes : texts.main;
        ForEachRunChar(item.text, [&](uint32_t, uint32_t, char32_t c) {
            texts.whole.push_back(c);
            kind.push_back(c);
        });
    }
}

}  // namespace kolva
