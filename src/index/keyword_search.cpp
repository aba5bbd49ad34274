// Keyword search: splitting the keyword string into words, and each word into its terms and
// segments, then matching the word (word_matcher.h) and combining its hits with the result lists
// (result_merge.cpp).
#include <algorithm>
#include <array>

#include "index/index.h"
#include "index/pair_narrowing.h"
#include "index/word_matcher.h"

namespace kolva {

namespace {

constexpr size_t kMaxWordUnits = 300;  // normal form, its final "*" and the NUL

bool IsWildcardOne(char16_t u) {
    return u == u'?' || u == u'\uFF1F';
}

// The code point at text[i] and how many units it takes (a surrogate pair is one character).
size_t DecodeAt(std::u16string_view text, size_t i, uint32_t& codePoint) {
    char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
        codePoint = 0x10000 + (uint32_t(u) - 0xD800) * 0x400 + (uint32_t(text[i + 1]) - 0xDC00);
        return 2;
    }
    codePoint = u;
    return 1;
}

// The keyword string as the search sees it: up to its first NUL.
std::u16string_view UpToNul(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

// The normal form of a word: no leading "*", runs of "*" made one, one "*" at the end (none
// when the word is only "*").
std::u16string NormalForm(std::u16string_view word) {
    std::u16string normal;
    size_t i = 0;
    while (i < word.size() && word[i] == u'*') ++i;
    for (; i < word.size(); ++i)
        if (word[i] != u'*' || normal.back() != u'*') normal += word[i];
    if (!normal.empty() && normal.back() != u'*') normal += u'*';
    return normal;
}

// The word without the characters the index does not know, as if they were not in it.
std::u16string WithoutUnindexed(std::u16string_view normal) {
    std::u16string kept;
    for (size_t j = 0; j < normal.size();) {
        uint32_t c;
        size_t n = DecodeAt(normal, j, c);
        if (c == u'*' || c == u'?' || CharToSlot(c) >= 0) kept.append(normal, j, n);
        j += n;
    }
    return kept;
}

}  // namespace

int CIndex::CountKeywords(std::u16string_view keywords) {
    int words = 0;
    bool inWord = false;
    for (char16_t u : UpToNul(keywords)) {
        if (u == u' ' || u == u'\u3000') {
            inWord = false;
        } else if (u >= 0x100 || u == u'*' || u == u'?') {
            if (!inWord) ++words;
            inWord = true;
        } else {
            return 0;
        }
    }
    return words;
}

int CIndex::SearchAnd(std::u16string& keywords, uint8_t bVariant) {
    return SearchWords(keywords, bVariant, kReplace, kIntersect);
}

int CIndex::SearchOr(std::u16string& keywords, uint8_t bVariant) {
    return SearchWords(keywords, bVariant, kMerge, kMerge);
}

int CIndex::SearchWords(std::u16string& keywords, uint8_t bVariant, CombineMode first,
                        CombineMode later) {
    if (CountKeywords(keywords) == 0) return 0;
    ClearResults();
    const size_t end = UpToNul(keywords).size();
    int total = 0;
    bool firstWord = true;
    size_t start = 0;
    for (size_t i = 0; i <= end; ++i) {
        if (i < end && keywords[i] != u' ') continue;
        if (i < end) keywords[i] = u'\u3000';
        if (i > start) {
            total += SearchWord(std::u16string_view(keywords).substr(start, i - start),
                                firstWord ? first : later, bVariant);
            firstWord = false;
        }
        start = i + 1;
    }
    return total;
}

int CIndex::SearchWord(std::u16string_view word, CombineMode mode, uint8_t bVariant) {
    const std::u16string normal = NormalForm(word);
    const std::u16string kept = WithoutUnindexed(normal);

    std::array<Term, kMaxTerms> terms;
    std::array<PhraseTerm, kMaxTerms> phrase;  // the terms as the pairs file sees them
    std::array<Segment, kMaxSegments> segments;
    uint32_t m = 0, k = 0, c = 0, p = 0;
    // A word longer than the search has room for yields no terms, as does a closed index.
    bool usable = IsOpen() && normal.size() + 1 <= kMaxWordUnits;
    for (size_t j = 0; usable && j < kept.size();) {
        uint32_t cp;
        size_t n = DecodeAt(kept, j, cp);
        j += n;
        if (cp == u'*') {
            if (k == kMaxSegments) {
                usable = false;
                break;
            }
            segments[k++] = {c, m};
            c = 0;
        } else if (IsWildcardOne(char16_t(cp))) {
            ++p;
        } else {
            int32_t slot = CharToSlot(cp);
            if (bVariant) FindVariantSlot(cp, slot);
            if (m_pFirstBlock[size_t(slot)] == kNoPostings || m == kMaxTerms) {
                usable = false;
                break;
            }
            terms[m] = Term{};
            terms[m].slot = slot;
            terms[m].keyPos = p;
            terms[m].lastPage = m_pLastPage[size_t(slot)];
            phrase[m] = PhraseTerm{slot, p, k};
            ++m;
            ++c;
            ++p;
        }
    }
    if (!usable || m == 0) {
        if (mode != kMerge) ClearResults();
        return 0;
    }

    std::vector<uint32_t> pages, counts, within;
    if (mode == kIntersect) {
        // Only pages the earlier words found can stay in the results.
        within.assign(m_resultPages.begin(), m_resultPages.begin() + m_nResultCount);
        std::sort(within.begin(), within.end());
    }
    StreamReader reader(m_pPostings, m_postings.Size(), m_pNextBlock.data(), m_nNextBlockCount,
                        m_nBlockCount);
    // Terms of a word with several terms leapfrog, so the slow ones may leap over what earlier
    // terms of their slot have walked.
    ++m_wordSearches;
    if (m_guideMemory.used > m_guideMemory.limit) DropOldGuides(m_slotGuides, m_guideMemory);
    if (m_useShortcuts && m_slotChecks.empty()) m_slotChecks.assign(size_t(kSlotCount), 0);
    for (uint32_t j = 0; m_useShortcuts && j < m; ++j) {
        terms[j].check = &m_slotChecks[size_t(terms[j].slot)];
        // The pairs file's maker read every stream whole, with the checks a slot check makes.
        if (*terms[j].check < kCheckAfter && m_pairs.SlotClean(terms[j].slot))
            *terms[j].check = kSlotClean;
    }
    std::vector<uint32_t> candidates;
    const bool narrowed =
        m_useShortcuts && m > 1 && PagesByPairs(m_pairs, phrase.data(), m, candidates);
    for (uint32_t j = 0; m_useShortcuts && m > 1 && j < m; ++j)
        terms[j].guide = &UseGuide(m_slotGuides, terms[j].slot, m_wordSearches, m_guideMemory);
    // The pairs file knows how often each frequent key occurs: its terms move rarest first
    // (a key it does not list is rarer than every key it lists).
    std::array<uint32_t, kMaxTerms> moveOrder;
    const bool ordered = m_useShortcuts && m > 1 && m_pairs.IsOpen();
    if (ordered) {
        std::array<uint32_t, kMaxTerms> entries;
        for (uint32_t j = 0; j < m; ++j) {
            moveOrder[j] = j;
            entries[j] = m_pairs.KeyEntries(m_pairs.Rank(m_pairs.Key(terms[j].slot)));
        }
        std::stable_sort(moveOrder.begin(), moveOrder.begin() + m,
                         [&](uint32_t x, uint32_t y) { return entries[x] < entries[y]; });
    }
    MatchWord(reader, m_pFirstBlock.data(), terms.data(), m, segments.data(), k, p, m_useShortcuts,
              m_guideMemory, mode == kIntersect ? &within : nullptr,
              narrowed ? &candidates : nullptr, ordered ? moveOrder.data() : nullptr, pages,
              counts);
    Combine(pages, counts, mode);
    return m_nResultCount;
}

}  // namespace kolva
