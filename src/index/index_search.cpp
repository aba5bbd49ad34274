// CIndex's keyword search: the keyword string split into words, each word into its terms and
// segments (between two "*"), the word matched page by page (word_matcher.h) with the shortcuts
// the index keeps (slot checks, guides, the pairs file), and its hits folded into the result
// (search_result.h).
#include <algorithm>
#include <array>

#include "index/index.h"
#include "index/word_plan.h"
#include "text/utf16.h"

namespace kolva {

namespace {

constexpr size_t kMaxWordUnits = 300;  // normal form, its final "*" and the NUL

bool IsWildcardOne(char16_t u) {
    return u == u'?' || u == u'\uFF1F';
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
        char32_t c;
        const size_t n = ReadCodePoint(normal, j, c);
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

SearchResult CIndex::SearchAnd(std::u16string_view keywords, bool variants) {
    return SearchWords(keywords, variants, kReplace, kIntersect);
}

SearchResult CIndex::SearchOr(std::u16string_view keywords, bool variants) {
    return SearchWords(keywords, variants, kMerge, kMerge);
}

SearchResult CIndex::SearchWords(std::u16string_view keywords, bool variants, CombineMode first,
                                 CombineMode later) {
    SearchResult result;
    if (CountKeywords(keywords) == 0) {
        result.rejected = true;
        return result;
    }
    // Words are parted by U+0020 only: U+3000 is part of a word (and has no slot).
    const std::u16string_view text = UpToNul(keywords);
    bool firstWord = true;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u' ') continue;
        if (i > start) {
            result.wordTotal +=
                SearchWord(text.substr(start, i - start), firstWord ? first : later, variants,
                           result);
            firstWord = false;
        }
        start = i + 1;
    }
    return result;
}

bool CIndex::PlanWord(std::u16string_view word, bool variants, WordPlan& plan) const {
    const std::u16string normal = NormalForm(word);
    // A word longer than the search has room for yields no terms, as does a closed index.
    if (!IsOpen() || normal.size() + 1 > kMaxWordUnits) return false;
    const std::u16string kept = WithoutUnindexed(normal);
    uint32_t c = 0;          // terms of the current segment
    uint32_t segStart = 0;   // its first key position
    for (size_t j = 0; j < kept.size();) {
        char32_t cp;
        j += ReadCodePoint(kept, j, cp);
        if (cp == u'*') {
            if (plan.segmentCount == kMaxSegments) return false;
            plan.spans[plan.segmentCount] = {segStart, plan.length - (c ? 1 : 0)};
            plan.segments[plan.segmentCount++] = {c, plan.termCount};
            segStart = plan.length;
            c = 0;
        } else if (IsWildcardOne(char16_t(cp))) {
            ++plan.length;
        } else {
            int32_t slot = CharToSlot(cp);
            if (variants) FindVariantSlot(cp, slot);
            if (m_pFirstBlock[size_t(slot)] == kNoPostings || plan.termCount == kMaxTerms)
                return false;
            Term& t = plan.terms[plan.termCount];
            t = Term{};
            t.slot = slot;
            t.keyPos = plan.length;
            t.lastPage = m_pLastPage[size_t(slot)];
            plan.phrase[plan.termCount] = PhraseTerm{slot, plan.length, plan.segmentCount};
            ++plan.termCount;
            ++c;
            ++plan.length;
        }
    }
    return plan.termCount > 0;
}

void CIndex::AttachShortcuts(WordPlan& plan) {
    // Terms of a word with several terms leapfrog, so the slow ones may leap over what earlier
    // terms of their slot have walked.
    ++m_wordSearches;
    if (m_guideMemory.used > m_guideMemory.limit) DropOldGuides(m_slotGuides, m_guideMemory);
    AttachChecks(plan);
    for (uint32_t j = 0; j < plan.termCount && plan.termCount > 1; ++j) {
        Term& t = plan.terms[j];
        t.guide = &UseGuide(m_slotGuides, t.slot, m_wordSearches, m_guideMemory);
    }
}

void CIndex::AttachChecks(WordPlan& plan) const {
    if (m_slotChecks.empty()) m_slotChecks.Reset(size_t(kSlotCount));
    for (uint32_t j = 0; j < plan.termCount; ++j) {
        Term& t = plan.terms[j];
        t.check = &m_slotChecks.At(size_t(t.slot));
        // The pairs file's maker read every stream whole, with the checks a slot check makes.
        if (*t.check < kCheckAfter && m_pairs.SlotClean(t.slot)) *t.check = kSlotClean;
        // Where the maker stored skip points, every walk leaps over them, the hit finder's too.
        if (m_pairs.SlotClean(t.slot)) t.stored = m_pairs.PointsOf(t.slot);
    }
}

bool CIndex::RarestFirst(const WordPlan& plan, uint32_t* moveOrder) const {
    // The pairs file knows how often each frequent key occurs: its terms move rarest first
    // (a key it does not list is rarer than every key it lists).
    if (plan.termCount < 2 || !m_pairs.IsOpen()) return false;
    std::array<uint32_t, kMaxTerms> entries;
    for (uint32_t j = 0; j < plan.termCount; ++j) {
        moveOrder[j] = j;
        entries[j] = m_pairs.KeyEntries(m_pairs.Rank(m_pairs.Key(plan.terms[j].slot)));
    }
    std::stable_sort(moveOrder, moveOrder + plan.termCount,
                     [&](uint32_t x, uint32_t y) { return entries[x] < entries[y]; });
    return true;
}

int CIndex::SearchWord(std::u16string_view word, CombineMode mode, bool variants,
                       SearchResult& result) {
    WordPlan plan;
    if (!PlanWord(word, variants, plan)) {
        // A word that cannot be found empties an AND and adds nothing to an OR.
        if (mode != kMerge) result.pages.clear(), result.counts.clear();
        return 0;
    }
    std::vector<uint32_t> within;
    if (mode == kIntersect) {
        // Only pages the earlier words found can stay in the results.
        within = result.pages;
        std::sort(within.begin(), within.end());
    }
    const uint32_t m = plan.termCount;
    std::vector<uint32_t> candidates;
    std::array<uint32_t, kMaxTerms> moveOrder;
    bool narrowed = false, ordered = false;
    if (m_useShortcuts) {
        narrowed = m > 1 && PagesByPairs(m_pairs, plan.phrase.data(), m, candidates);
        AttachShortcuts(plan);
        ordered = RarestFirst(plan, moveOrder.data());
    }
    const StreamReader reader(m_pPostings, m_postings.Size(), m_pNextBlock,
                              m_nNextBlockCount, m_nBlockCount, &m_blocks);
    std::vector<uint32_t> pages, counts;
    MatchWord(reader, m_pFirstBlock, plan.terms.data(), m, plan.segments.data(),
              plan.segmentCount, plan.length, m_useShortcuts, m_guideMemory,
              mode == kIntersect ? &within : nullptr, narrowed ? &candidates : nullptr,
              ordered ? moveOrder.data() : nullptr, pages, counts);
    CombineWordHits(result, pages, counts, mode);
    return int(result.pages.size());
}

}  // namespace kolva
