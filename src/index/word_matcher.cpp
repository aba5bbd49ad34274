#include "index/word_matcher.h"

#include <array>

namespace kolva {

WordMatcher::WordMatcher(const StreamReader& reader, const int32_t* firstBlock, Term* terms,
                         uint32_t termCount, const Segment* segments, uint32_t segmentCount,
                         uint32_t length, bool shortcuts, GuideMemory& memory,
                         const std::vector<uint32_t>* within,
                         const std::vector<uint32_t>* candidates, const uint32_t* moveOrder)
    : m_reader(reader),
      m_memory(memory),
      m_firstBlock(firstBlock),
      m_within(within),
      m_candidates(candidates),
      m_moveOrder(moveOrder),
      m_terms(terms),
      m_termCount(termCount),
      m_segments(segments),
      m_segmentCount(segmentCount),
      m_length(length) {
    uint32_t withTerms = 0;
    for (uint32_t s = 0; s < segmentCount; ++s) withTerms += segments[s].termCount != 0;
    m_singleSegment = shortcuts && withTerms == 1;
    if (m_singleSegment) {
        m_values.resize(termCount);
        m_counts.resize(termCount);
    }
}

void WordMatcher::Run(std::vector<uint32_t>& pages, std::vector<uint32_t>& counts) {
    Walk(UINT32_MAX, false, pages, counts);
}

void WordMatcher::HitsOn(uint32_t page, bool passOver, std::vector<uint32_t>& aligned) {
    // The pages on the way count into scratch lists: only the gap flag they leave matters.
    std::vector<uint32_t> pages, counts;
    m_keep = &aligned;
    Walk(page, passOver, pages, counts);
    m_keep = nullptr;
}

bool WordMatcher::GapFlagMatters(const Segment* segments, uint32_t segmentCount) {
    uint32_t first = 0;
    while (first < segmentCount && segments[first].termCount == 0) ++first;
    for (uint32_t s = first + 1; s < segmentCount; ++s)
        if (segments[s].termCount > 1) return true;
    return false;
}

bool WordMatcher::StreamsClean() {
    for (uint32_t i = 0; i < m_termCount; ++i) {
        const Term& t = m_terms[i];
        if (!t.check) return false;
        if (*t.check != kSlotClean && *t.check != kSlotFaulty) CheckSlot(t);
        if (*t.check != kSlotClean) return false;
    }
    return true;
}

void WordMatcher::Walk(uint32_t until, bool passOver, std::vector<uint32_t>& pages,
                       std::vector<uint32_t>& counts) {
    if (m_done) return;
    if (!m_started) {
        m_started = true;
        for (uint32_t i = 0; i < m_termCount; ++i) {
            if (!m_reader.Start(m_terms[i], uint32_t(m_firstBlock[m_terms[i].slot]))) {
                m_done = true;
                return;
            }
            RecordPoint(m_terms[i].guide, m_terms[i], m_memory);
        }
        // Passing pages over skips their counts, and with them any fault a count could meet;
        // only streams read whole without fault have none, and only a word without "*" keeps
        // nothing from one page to the next.
        m_narrow = m_within != nullptr && m_singleSegment;
        for (uint32_t i = 0; m_narrow && i < m_termCount; ++i)
            m_narrow = m_terms[i].check && *m_terms[i].check == kSlotClean;
    }
    for (;;) {
        uint32_t target = m_terms[0].page;
        bool allEqual = true;
        for (uint32_t i = 1; i < m_termCount; ++i) {
            if (m_terms[i].page != m_terms[0].page) allEqual = false;
            target = std::max(target, m_terms[i].page);
        }
        if (m_candidates) {
            const std::vector<uint32_t>& candidates = *m_candidates;
            while (m_nextCandidate < candidates.size() && candidates[m_nextCandidate] < target)
                ++m_nextCandidate;
            if (m_nextCandidate == candidates.size()) break;
            if (candidates[m_nextCandidate] > target) {
                target = candidates[m_nextCandidate];
                allEqual = false;
            }
        }
        if (m_narrow) {
            const std::vector<uint32_t>& within = *m_within;
            while (m_nextWithin < within.size() && within[m_nextWithin] < target) ++m_nextWithin;
            if (m_nextWithin == within.size()) break;
            if (within[m_nextWithin] > target) {
                target = within[m_nextWithin];
                allEqual = false;
            }
        }
        if (passOver && target < until) {
            target = until;
            allEqual = false;
        }
        // Short of a page that is not to be walked yet: the next call takes up from here.
        if (target > until) return;
        if (allEqual) {
            std::vector<uint32_t>* keep = target == until ? m_keep : nullptr;
            const bool counted = !keep && m_singleSegment && CountCleanPage(target, pages, counts);
            if ((!counted && !MatchPage(target, pages, counts, keep)) || target == UINT32_MAX)
                break;
            ++target;
        }
        bool ended = false;
        for (uint32_t k = 0; k < m_termCount; ++k) {
            Term& t = m_terms[m_moveOrder ? m_moveOrder[k] : k];
            if (t.stored.count != 0 && t.page < target) LeapByStored(m_reader, t, t.stored, target);
            if (t.guide && t.page < target) LeapTowards(m_reader, t, *t.guide, target);
            while (!ended && t.page < target) {
                ended = t.page == t.lastPage || !m_reader.SkipEntry(t) ||
                        !m_reader.ReadEntry(t, false);
                if (!ended) RecordPoint(t.guide, t, m_memory);
            }
            // Past the page: the terms after it would move towards a page no hit can be on.
            if (ended || (m_moveOrder && t.page > target)) break;
        }
        if (ended) break;
    }
    m_done = true;
}

size_t WordMatcher::KeepCommon(uint32_t* candidates, size_t n, const uint32_t* other, size_t m) {
    size_t i = 0, j = 0, kept = 0;
    while (i < n && j < m) {
        const uint32_t a = candidates[i], b = other[j];
        candidates[kept] = a;
        kept += a == b;
        i += a <= b;
        j += b <= a;
    }
    return kept;
}

size_t WordMatcher::KeepInEntry(uint32_t* candidates, size_t n, const Term& t,
                                uint32_t shift) const {
    const uint8_t* bytes = m_reader.BlockBytes(t) + t.offset;
    const uint32_t last = candidates[n - 1];
    uint32_t aligned = shift;
    const size_t size = t.remaining;
    size_t q = 0, i = 0, kept = 0;
    while (q < size) {
        uint32_t length;
        aligned += GetPostingNumber(bytes + q, length);
        q += length;
        while (candidates[i] < aligned && ++i < n) {
        }
        if (i == n) break;
        if (candidates[i] == aligned) candidates[kept++] = candidates[i++];
        if (i == n || aligned >= last) break;
    }
    return kept;
}

bool WordMatcher::CountCleanPage(uint32_t page, std::vector<uint32_t>& pages,
                                 std::vector<uint32_t>& counts) {
    bool allClean = true;
    for (uint32_t i = 0; i < m_termCount; ++i)
        allClean = allClean && m_terms[i].check && *m_terms[i].check == kSlotClean;
    // Terms with the fewest position bytes first, so that the candidates shrink early.
    std::array<uint32_t, kMaxTerms> order;
    order[0] = 0;
    for (uint32_t i = 1; i < m_termCount; ++i) {
        uint32_t j = i;
        for (; j > 0 && m_terms[order[j - 1]].remaining > m_terms[i].remaining; --j)
            order[j] = order[j - 1];
        order[j] = i;
    }
    // Entries of clean slots read cleanly, so once no candidate is left the rest need not be
    // read; otherwise every entry is read first, to know that MatchPage would not fail.
    const uint32_t first = order[0];
    for (uint32_t k = 0; !allClean && k < m_termCount; ++k) {
        const Term& t = m_terms[order[k]];
        if (!DecodeEntry(m_reader, t, m_length - 1 - t.keyPos, m_values[k], m_counts[k])) {
            if (t.check) *t.check = kSlotFaulty;
            return false;
        }
    }
    const Term& lone = m_terms[first];
    if (allClean && m_termCount == 1 && lone.offset + lone.remaining <= lone.limit) {
        // Every position of a one-character word is a hit: count the numbers.
        pages.push_back(page);
        counts.push_back(
            uint32_t(CountNumbers(m_reader.BlockBytes(lone) + lone.offset, lone.remaining)));
        return true;
    }
    if (allClean)
        DecodeEntry(m_reader, m_terms[first], m_length - 1 - m_terms[first].keyPos, m_values[0],
                    m_counts[0]);
    size_t hits = m_counts[0];
    for (uint32_t k = 1; k < m_termCount && hits != 0; ++k) {
        const Term& t = m_terms[order[k]];
        if (allClean && t.offset + t.remaining <= t.limit) {
            hits = KeepInEntry(m_values[0].data(), hits, t, m_length - 1 - t.keyPos);
            continue;
        }
        if (allClean) DecodeEntry(m_reader, t, m_length - 1 - t.keyPos, m_values[k], m_counts[k]);
        hits = KeepCommon(m_values[0].data(), hits, m_values[k].data(), m_counts[k]);
    }
    if (hits != 0) {
        pages.push_back(page);
        counts.push_back(uint32_t(hits));
    }
    // A slot whose entries keep being read first is read whole once, so that later pages
    // (and later words) need read only as many terms as it takes to rule a page out.
    for (uint32_t i = 0; !allClean && i < m_termCount; ++i) {
        uint8_t* check = m_terms[i].check;
        if (check && *check < kCheckAfter && ++*check == kCheckAfter) CheckSlot(m_terms[i]);
    }
    return true;
}

void WordMatcher::CheckSlot(const Term& term) {
    Term t = term;
    size_t count;
    bool clean = m_reader.Start(t, uint32_t(m_firstBlock[t.slot]));
    while (clean) {
        RecordPoint(t.guide, t, m_memory);
        clean = DecodeEntry(m_reader, t, kMaxShift, m_scratch, count);
        if (!clean || t.page == t.lastPage) break;
        clean = m_reader.SkipEntry(t) && m_reader.ReadEntry(t, false);
    }
    *term.check = clean ? kSlotClean : kSlotFaulty;
}

bool WordMatcher::AlignTerms() {
    for (uint32_t i = 0; i < m_termCount; ++i) {
        uint32_t pos;
        if (!m_reader.ReadPosition(m_terms[i], pos)) return false;
        m_terms[i].aligned = (m_length - 1 - m_terms[i].keyPos) + pos;
    }
    return true;
}

bool WordMatcher::TermsAligned(uint32_t& failed, uint32_t& limit) {
    uint32_t first = 0;
    while (m_segments[first].termCount == 0) ++first;
    failed = 0;
    limit = MaxAligned(SegmentStart(first), m_segments[first].end);
    for (uint32_t s = first; s < m_segmentCount; ++s)
        for (uint32_t i = SegmentStart(s); i + 1 < m_segments[s].end; ++i)
            if (m_terms[i].aligned != m_terms[i + 1].aligned) {
                // (m_gap stays as the last order check left it.)
                failed = s;
                limit = MaxAligned(0, m_segments[s].end);
                return false;
            }
    return SegmentsInOrder(first, failed, limit);
}

bool WordMatcher::SegmentsInOrder(uint32_t first, uint32_t& failed, uint32_t& limit) {
    for (uint32_t s = first; s < m_segmentCount; ++s) {
        if (m_segments[s].termCount == 0 || m_segments[s].end >= m_termCount) continue;
        m_gap = false;
        const uint32_t x = m_terms[m_segments[s].end - 1].aligned;
        const uint32_t y = m_terms[m_segments[s].end].aligned;
        if (y < x) {
            failed = s;
            limit = MaxAligned(0, m_segments[s].end);
            return false;
        }
        if (y - x > kMaxGap) {
            m_gap = true;
            failed = s;
            limit = MaxAligned(0, m_termCount);
            return false;
        }
    }
    return true;
}

WordMatcher::Moved WordMatcher::MoveTermsBelow(uint32_t start, uint32_t limit) {
    for (uint32_t i = start; i < m_termCount; ++i) {
        Term& t = m_terms[i];
        if (t.aligned >= limit) continue;
        if (t.remaining == 0) return Moved::kPageDone;
        uint32_t pos;
        if (!m_reader.ReadPosition(t, pos)) return Moved::kFault;
        t.aligned += pos;
    }
    return Moved::kOn;
}

bool WordMatcher::MatchPage(uint32_t page, std::vector<uint32_t>& pages,
                            std::vector<uint32_t>& counts, std::vector<uint32_t>* keep) {
    if (!AlignTerms()) return false;
    uint32_t hits = 0;
    for (;;) {
        uint32_t failed, limit;
        if (TermsAligned(failed, limit)) {
            if (hits++ == 0) {
                pages.push_back(page);
                counts.push_back(1);
            } else {
                ++counts.back();
            }
            if (keep)
                for (uint32_t s = 0; s < m_segmentCount; ++s)
                    if (m_segments[s].termCount != 0)
                        keep->push_back(m_terms[SegmentStart(s)].aligned);
            ++limit;
        }
        switch (MoveTermsBelow(m_gap ? 0 : SegmentStart(failed), limit)) {
            case Moved::kOn: break;
            case Moved::kPageDone: return true;
            case Moved::kFault: return false;
        }
    }
}

void MatchWord(const StreamReader& reader, const int32_t* firstBlock, Term* terms,
               uint32_t termCount, const Segment* segments, uint32_t segmentCount, uint32_t length,
               bool shortcuts, GuideMemory& memory, const std::vector<uint32_t>* within,
               const std::vector<uint32_t>* candidates, const uint32_t* moveOrder,
               std::vector<uint32_t>& pages, std::vector<uint32_t>& counts) {
    WordMatcher(reader, firstBlock, terms, termCount, segments, segmentCount, length, shortcuts,
                memory, within, candidates, moveOrder)
        .Run(pages, counts);
}

}  // namespace kolva
