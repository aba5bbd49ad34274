// Where the hits of a search lie on a page. A hit is what the search counts: one match of one
// word, at the positions of its characters in the text the open index numbers. So the hits are
// found by the search's own walk (word_matcher.h): each word's terms walk their streams as
// SearchWord walks them, stop at the page asked for and keep the aligned value of each segment of
// every hit there. A value becomes positions (a term with key position k stands at aligned -
// (L - 1 - k)), and positions become the page's characters through the text of its body cell
// that the index numbers (page_text.h): every indexed character of that text takes the next
// position. A segment's piece runs from its first to its last key position, "?" included where
// the page has a character there.
//
// Nothing else decides what a hit is: "?", "*" with its gap limit, variant groups, characters the
// index does not know, overlapping hits and the gap flag that a walk keeps from page to page are
// the search's, so that the marks of a page, F3 and the concordance agree with the result list's
// counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/index.h"
#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"

namespace kolva {

class CHitFinder {
public:
    // keywords: words parted by U+0020 or U+3000 (the string ends at its first NUL), each a word
    // as SearchAnd and SearchOr take it; variants as the search was run. A string the search
    // rejects (CountKeywords) has words but no hits. The index must outlive the finder.
    CHitFinder(const CIndex& index, std::u16string_view keywords, bool variants);
    ~CHitFinder();
    CHitFinder(const CHitFinder&) = delete;
    CHitFinder& operator=(const CHitFinder&) = delete;

    // The number of words (0: nothing to look for).
    size_t WordCount() const { return m_words.size(); }

    // The hits of every word on page `page`, whose stored page reads into body: text order (by
    // first character, then by word, then as the walk found them). Pages asked for in
    // ascending order cost one walk in all; an earlier page walks again from the start.
    void FindHits(uint32_t page, const PageBody& body, PageHits& hits);

    // Reads page `page` of the index's page store into body and finds its hits. False (hits
    // empty) when the page cannot be read.
    bool ReadPage(uint32_t page, PageBody& body, PageHits& hits);

private:
    struct Word;
    // The walk of word w, ready for page `page`: made (again) when there is none yet, when the
    // index has changed since, or when the page lies before the last one asked for.
    Word& WalkFor(size_t w, uint32_t page);

    const CIndex& m_index;
    bool m_variants;
    bool m_rejected = false;               // the search would not run the string
    std::vector<std::u16string> m_words;
    std::vector<std::unique_ptr<Word>> m_walks;  // per word, made when first needed
    uint64_t m_generation = 0;             // the index's generation the walks were made in
    std::vector<uint32_t> m_indexed;       // body characters by position
};

}  // namespace kolva
