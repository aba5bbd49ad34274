#include "pagestore/page_text.h"

namespace kolva {

namespace {

// Room reserved up front for a main-text run, so that appending rarely reallocates.
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


void ReadPageBody(std::string_view page, int column, PageBody& body) {
    ParsePage(page, body.nodes);
    body.column = column == 1 ? 1 : 0;
    SplitFilterItems(body.nodes[size_t(body.column) + 1], body.items);
    body.chars.clear();
    for (size_t k = 0; k < body.items.size(); ++k)
        ForEachRunChar(body.items[k].text, [&](uint32_t offset, uint32_t length, char32_t c) {
            body.chars.push_back(BodyChar{c, uint32_t(k), offset, length});
        });
}

}  // namespace kolva
