// A search as the reader asks for it: the text it looks in, how its words combine, and running
// it on the index. The search panel and kolva-search both ask through these.
#pragma once

#include <filesystem>
#include <string>

#include "index/index.h"
#include "pagestore/compose.h"

namespace kolva {

// The text a search looks in and a result page is marked in. The order is that of the three
// radios (全文, 正文, 注釈) and of kolva-search's --target; the index files and the composer
// each number them their own way, given by IndexModeOf and TargetCodeOf.
enum class SearchTarget { kWholeText = 0, kMainText = 1, kNotes = 2 };

// The index pair that holds the target's text: whole text "Index", main text "Index_content",
// notes "Index_desc".
constexpr IndexMode IndexModeOf(SearchTarget target) {
    switch (target) {
        case SearchTarget::kWholeText: return kModeWholeText;
        case SearchTarget::kMainText: return kModeMainText;
        case SearchTarget::kNotes: return kModeNotes;
    }
    return kModeWholeText;
}

// The target code page composition takes: 0 whole text, 1 main text, 2 notes.
constexpr ComposeTarget TargetCodeOf(SearchTarget target) {
    switch (target) {
        case SearchTarget::kWholeText: return kTargetWholeText;
        case SearchTarget::kMainText: return kTargetMainText;
        case SearchTarget::kNotes: return kTargetNotes;
    }
    return kTargetWholeText;
}

// The base name of the collection's index and page store files.
inline constexpr const char* kIndexBaseName = "Index";

// Opens the index (closed on entry) on the target's index pair in folder; false, with the
// index's failure message shown, when it cannot.
bool OpenIndex(CIndex& index, const std::filesystem::path& folder, SearchTarget target);

// How the words of a search combine: the "and" and "or" radios, kolva-search's --or.
enum class SearchMethod { kAnd = 0, kOr = 1 };

// Runs SearchAnd or SearchOr on keywords as given (words parted by U+0020).
SearchResult RunSearch(CIndex& index, std::u16string_view keywords, SearchMethod method,
                       bool variant);

}  // namespace kolva
