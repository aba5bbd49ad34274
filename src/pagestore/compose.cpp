#include "pagestore/compose.h"

#include <algorithm>
#include <cassert>
#include <set>

#include "text/codeconverter.h"
#include "pagestore/filelist.h"
#include "pagestore/hitmark.h"
#include "platform/file.h"

namespace kolva {

namespace {

// Room reserved up front, so that appending rarely reallocates.
constexpr size_t kBodyReserve = 10000;
constexpr size_t kItemReserve = 1000;

// Calls onText(run) for every run of bytes outside tags and onTag(tag) for every tag, "<" up to
// and including the first ">" after it. A tag still open at the end of the bytes is dropped.
template <typename OnText, typename OnTag>
void ScanTags(std::string_view bytes, OnText&& onText, OnTag&& onTag) {
    size_t i = 0;
    while (i < bytes.size()) {
        size_t open = bytes.find('<', i);
        if (open == std::string_view::npos) open = bytes.size();
        if (open > i) onText(bytes.substr(i, open - i));
        if (open == bytes.size()) return;
        size_t close = bytes.find('>', open + 1);
        if (close == std::string_view::npos) return;
        onTag(bytes.substr(open, close + 1 - open));
        i = close + 1;
    }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool IsTitleEnd(std::string_view tag) { return StartsWith(tag, "</title>"); }
bool IsCellEnd(std::string_view tag) { return StartsWith(tag, "</TD"); }

void ParsePage(std::string_view page, std::vector<HTMLNode>& nodes) {
    // Sections: 0 before the title, 1 title, 2 after it, 3 first cell, 4 between the cells,
    // 5 second cell, 6 after it. Only 1, 3 and 5 are kept.
    int s = 0;
    std::string parts[3];
    auto sectionText = [&]() -> std::string* {
        return s == 1 || s == 3 || s == 5 ? &parts[s / 2] : nullptr;
    };
    ScanTags(
        page,
        [&](std::string_view text) {
            if (std::string* part = sectionText()) part->append(text);
        },
        [&](std::string_view tag) {
            if (StartsWith(tag, "<title") && s == 0) {
                s = 1;
            } else if (StartsWith(tag, "<TD")) {
                if (s == 2) s = 3;
                else if (s == 4) s = 5;
            } else if (IsTitleEnd(tag)) {
                s = 2;
            } else if (IsCellEnd(tag)) {
                if (s == 3) s = 4;
                else if (s == 5) s = 6;
            } else if (std::string* part = sectionText()) {
                part->append(tag);
            }
        });
    nodes.clear();
    for (std::string& part : parts) nodes.push_back(HTMLNode{std::move(part), 2});
}

void SplitFilterItems(const HTMLNode& node, std::vector<FilterItem>& items) {
    items.clear();
    items.push_back(FilterItem{});
    items.back().text.reserve(kItemReserve);
    int t = 0;
    ScanTags(
        node.text, [&](std::string_view text) { items.back().text.append(text); },
        [&](std::string_view tag) {
            if (StartsWith(tag, kNoteOpen)) {
                // A note opened inside a note starts a new note run all the same.
                t = 1;
                items.push_back(FilterItem{{}, 1});
            } else if (t == 1 && StartsWith(tag, kNoteClose)) {
                t = 0;
                items.push_back(FilterItem{});
                items.back().text.reserve(kItemReserve);
            } else {
                items.back().text.append(tag);
            }
        });
}

void ComposePass(std::string_view page, std::string& html, std::string_view keyword, int column,
                 int target, int& anchorCounter) {
    std::vector<HTMLNode> nodes;
    ParsePage(page, nodes);
    assert(column == 0 || column == 1);
    HTMLNode& cell = nodes[size_t(column) + 1];
    std::vector<FilterItem> items;
    SplitFilterItems(cell, items);

    // Each run is marked straight into the body rather than into a string of its own and then
    // copied; the bytes are the same, without an allocation per run.
    std::string body;
    body.reserve(std::max(kBodyReserve, cell.text.size() + cell.text.size() / 2));
    for (const FilterItem& item : items) {
        const bool note = item.type == 1;
        // A target other than the three marks nothing but still rebuilds the page.
        const bool marked = note ? target == kTargetWholeText || target == kTargetNotes
                                 : target == kTargetWholeText || target == kTargetMainText;
        if (note) body.append(kNoteOpen);
        if (marked) HighlightItem(item.text, keyword, body, anchorCounter);
        else body.append(item.text);
        if (note) body.append(kNoteClose);
    }
    cell.text = std::move(body);

    html.reserve(html.size() + kFrameT1.size() + kFrameT2.size() + kFrameT3.size() +
                 kFrameT4.size() + nodes[0].text.size() + nodes[1].text.size() +
                 nodes[2].text.size());
    html.append(kFrameT1).append(nodes[0].text);
    html.append(kFrameT2).append(nodes[1].text);
    html.append(kFrameT3).append(nodes[2].text);
    html.append(kFrameT4);
}

int BodyColumn(int pageNumber) {
    // The mathematical remainder: an odd negative number is the second cell too.
    return pageNumber % 2 == 0 ? 0 : 1;
}

int CFileList::ComposePage(int index, std::string& html, std::u16string_view keywords,
                           int target) const {
    if (!m_bOpen) return 0;
    std::string page;
    int column = 0;
    // A page that cannot be read composes to nothing, like a closed store.
    if (!ReadPage(index, page)) return 0;
    if (keywords.empty()) return 0;
    std::string name;
    int number = 0;
    if (GetPageName(index, name) && PageNumberFromName(name, number)) column = BodyColumn(number);

    int anchorCounter = 0;
    std::set<std::string> done;
    size_t i = 0;
    while (i < keywords.size()) {
        // Keywords are separated by spaces and ideographic spaces; runs of them end nothing.
        size_t end = i;
        while (end < keywords.size() && keywords[end] != u' ' && keywords[end] != u'\u3000') ++end;
        if (end > i) {
            std::string keyword;
            AppendUtf8(keywords.substr(i, end - i), keyword, kConvertLenient);
            if (done.insert(keyword).second) {
                html.clear();
                ComposePass(page, html, keyword, column, target, anchorCounter);
                page = html;
            }
        }
        i = end + 1;
    }
    return anchorCounter;
}

}  // namespace kolva
