#include "index/hit_finder.h"

#include <algorithm>
#include <array>

#include "index/word_plan.h"
#include "pagestore/compose.h"

namespace kolva {

// One word's walk, kept from page to page.
struct CHitFinder::Word {
    explicit Word(const StreamReader& streams) : reader(streams) {}

    WordPlan plan;
    bool found = false;                        // the word has terms the index can find
    StreamReader reader;
    GuideMemory memory;                        // the finder's terms keep no guides
    std::vector<uint32_t> candidates;          // from the pairs file, when it narrows the word
    std::array<uint32_t, kMaxTerms> moveOrder;
    std::unique_ptr<WordMatcher> matcher;
    bool passOver = false;                     // pages before the one asked for may be passed over
    bool walked = false;                       // a page has been asked for
    uint32_t lastPage = 0;                     // the last page asked for
    std::vector<uint32_t> aligned;             // the hits of the page asked for
};

CHitFinder::CHitFinder(const CIndex& index, std::u16string_view keywords, bool variants)
    : m_index(index), m_variants(variants) {
    keywords = keywords.substr(0, keywords.find(u'\0'));
    // The pane writes U+3000 between the words it searched; either separates words here.
    size_t start = 0;
    for (size_t i = 0; i <= keywords.size(); ++i) {
        if (i < keywords.size() && keywords[i] != u' ' && keywords[i] != u'\u3000') continue;
        if (i > start) m_words.emplace_back(keywords.substr(start, i - start));
        start = i + 1;
    }
    m_rejected = CIndex::CountKeywords(keywords) == 0;
}

CHitFinder::~CHitFinder() = default;

CHitFinder::Word& CHitFinder::WalkFor(size_t w, uint32_t page) {
    if (m_walks.size() != m_words.size() || m_generation != m_index.m_generation) {
        m_walks.clear();
        m_walks.resize(m_words.size());
        m_generation = m_index.m_generation;
    }
    std::unique_ptr<Word>& walk = m_walks[w];
    if (walk && walk->walked && page <= walk->lastPage) walk.reset();
    if (walk) return *walk;

    const CIndex& x = m_index;
    walk = std::make_unique<Word>(StreamReader(x.m_pPostings, x.m_postings.Size(),
                                               x.m_pNextBlock, x.m_nNextBlockCount,
                                               x.m_nBlockCount));
    WordPlan& plan = walk->plan;
    walk->found = x.IsOpen() && x.PlanWord(m_words[w], m_variants, plan);
    if (!walk->found) return *walk;
    // The same shortcuts as the search, which never change a count; no slot guides, which the
    // search may drop between two pages asked for.
    const bool shortcuts = x.m_useShortcuts;
    if (shortcuts) x.AttachChecks(plan);
    const bool ordered = shortcuts && x.RarestFirst(plan, walk->moveOrder.data());
    const bool gap = WordMatcher::GapFlagMatters(plan.segments.data(), plan.segmentCount);
    // A word whose gap flag matters walks every page before the one asked for, as the search
    // does; the pairs file then spares it the pages that cannot hold it.
    const bool narrowed = gap && shortcuts && plan.termCount > 1 &&
                          PagesByPairs(x.m_pairs, plan.phrase.data(), plan.termCount,
                                       walk->candidates);
    walk->matcher = std::make_unique<WordMatcher>(
        walk->reader, x.m_pFirstBlock, plan.terms.data(), plan.termCount,
        plan.segments.data(), plan.segmentCount, plan.length, shortcuts, walk->memory, nullptr,
        narrowed ? &walk->candidates : nullptr, ordered ? walk->moveOrder.data() : nullptr);
    walk->passOver = !gap && shortcuts && walk->matcher->StreamsClean();
    return *walk;
}

void CHitFinder::FindHits(uint32_t page, const PageBody& body, PageHits& hits) {
    hits.pieces.clear();
    hits.hits.clear();
    if (m_rejected || m_words.empty() || !m_index.IsOpen()) return;

    // The characters the index numbers, by position.
    const int target = m_index.TextTarget();
    m_indexed.clear();
    for (uint32_t i = 0; i < body.chars.size(); ++i) {
        const BodyChar& c = body.chars[i];
        if (RunInTarget(target, body.items[c.item].type) && CharToSlot(c.codePoint) >= 0)
            m_indexed.push_back(i);
    }
    const int64_t n = int64_t(m_indexed.size());

    struct Found {
        uint32_t start;  // body character of its anchor; UINT32_MAX when it is not placed
        uint32_t word;
        uint32_t firstPiece, pieceCount;
    };
    std::vector<Found> found;
    std::vector<HitPiece> pieces;
    for (size_t w = 0; w < m_words.size(); ++w) {
        Word& walk = WalkFor(w, page);
        if (!walk.found) continue;
        walk.aligned.clear();
        walk.matcher->HitsOn(page, walk.passOver, walk.aligned);
        walk.walked = true;
        walk.lastPage = page;

        const WordPlan& plan = walk.plan;
        uint32_t withTerms = 0;
        for (uint32_t s = 0; s < plan.segmentCount; ++s) withTerms += plan.segments[s].termCount != 0;
        const std::vector<uint32_t>& aligned = walk.aligned;
        for (size_t h = 0; withTerms && h + withTerms <= aligned.size(); h += withTerms) {
            const uint32_t first = uint32_t(pieces.size());
            bool placed = true;
            size_t v = h;
            for (uint32_t s = 0; s < plan.segmentCount; ++s) {
                const Segment& segment = plan.segments[s];
                if (segment.termCount == 0) continue;
                const int64_t a = aligned[v++];
                // The position of key position k in this hit.
                auto at = [&](uint32_t k) { return a - (int64_t(plan.length) - 1 - int64_t(k)); };
                const uint32_t firstTerm = segment.end - segment.termCount;
                const int64_t termFirst = at(plan.terms[firstTerm].keyPos);
                const int64_t termLast = at(plan.terms[segment.end - 1].keyPos);
                if (termFirst < 0 || termLast >= n) {
                    placed = false;
                    continue;
                }
                // A "?" before or after the segment's characters is marked where the text has
                // a character for it.
                const int64_t from = std::max<int64_t>(at(plan.spans[s].first), 0);
                const int64_t to = std::min<int64_t>(at(plan.spans[s].last), n - 1);
                pieces.push_back(HitPiece{m_indexed[size_t(from)], m_indexed[size_t(to)]});
            }
            if (!placed) pieces.resize(first);
            found.push_back(Found{placed ? pieces[first].first : UINT32_MAX, uint32_t(w), first,
                                  placed ? uint32_t(pieces.size()) - first : 0});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& x, const Found& y) {
        return x.start != y.start ? x.start < y.start : x.word < y.word;
    });
    hits.hits.reserve(found.size());
    hits.pieces.reserve(pieces.size());
    for (const Found& f : found) {
        hits.hits.push_back(MarkedHit{uint32_t(hits.pieces.size()), f.pieceCount, f.word});
        hits.pieces.insert(hits.pieces.end(), pieces.begin() + f.firstPiece,
                           pieces.begin() + f.firstPiece + f.pieceCount);
    }
}

bool CHitFinder::ReadPage(uint32_t page, PageBody& body, PageHits& hits) {
    hits.pieces.clear();
    hits.hits.clear();
    const CFileList& store = m_index.PageStore();
    std::string bytes;
    if (page > uint32_t(INT32_MAX) || !store.ReadPage(int(page), bytes)) return false;
    ReadPageBody(bytes, store.GetBodyColumn(int(page)), body);
    FindHits(page, body, hits);
    return true;
}

int CIndex::ComposePage(int index, std::string& html, std::u16string_view keywords, int /*target*/,
                        uint8_t bVariant) const {
    if (!m_fileList.IsOpen() || index < 0) return 0;
    CHitFinder finder(*this, keywords, bVariant != 0);
    if (finder.WordCount() == 0) return 0;
    PageBody body;
    PageHits hits;
    if (!finder.ReadPage(uint32_t(index), body, hits)) return 0;
    return ComposeMarkedPage(body, TextTarget(), hits, html);
}

}  // namespace kolva
