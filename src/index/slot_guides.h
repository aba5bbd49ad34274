// Slot guides: skip points into the postings streams of the slots that words of several
// characters have searched. A guide keeps the reader's state at every kSkipInterval-th entry of
// its slot's stream, from the first entry as far as any term walked it, so that a later term of
// the slot leaps over the entries before its target page instead of reading them. Guides live
// while the index is open and never change a result; the least recently used make way when
// they take more memory than the search keeps for them (8 MB unless set).
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "index/postings_stream.h"
#include "platform/coding.h"

namespace kolva {

constexpr uint32_t kSkipInterval = 16;  // entries between two skip points
constexpr size_t kGuideOverhead = 64;   // a guide's own bytes, besides its points

// Skip points stored in the accelerator for one stream, in place in its mapping: the states at
// entries 0, interval, 2 interval, ... (little-endian: page, block, blocks entered, offset,
// byte count; 16 bytes a point).
struct StoredPoints {
    const uint8_t* bytes = nullptr;
    uint32_t count = 0;
    uint32_t interval = 0;
    // The page of every point, ascending, where the reader keeps them apart (null: read them
    // from the points): a leap's search then reads a quarter of the memory.
    const uint32_t* pages = nullptr;
    StreamPoint At(uint32_t i) const {
        const uint8_t* p = bytes + 16 * uint64_t(i);
        return {LoadLE32(p), LoadLE32(p + 4), LoadLE32(p + 8), LoadLE16(p + 12), LoadLE16(p + 14)};
    }
    uint32_t PageAt(uint32_t i) const {
        return pages ? pages[i] : LoadLE32(bytes + 16 * uint64_t(i));
    }
};

// What the search learnt of one slot's stream as its terms walked it.
struct SlotGuide {
    std::vector<StreamPoint> points;  // the state at entries 0, kSkipInterval, 2 kSkipInterval...
    uint64_t lastUse = 0;             // the word search that used it last
};

// Memory taken by the slot guides, and how much they may take.
struct GuideMemory {
    size_t used = 0;
    size_t limit = size_t(8) << 20;
};

using SlotGuides = std::unordered_map<int32_t, SlotGuide>;

// The guide of slot, made when it has none, marked as used by word search `use`.
SlotGuide& UseGuide(SlotGuides& guides, int32_t slot, uint64_t use, GuideMemory& memory);

// Drops the guides used longest ago until those left take three quarters of the memory kept
// for them. No term may hold a guide while this runs.
void DropOldGuides(SlotGuides& guides, GuideMemory& memory);

// Keeps the cursor's state as the guide's next skip point when it stands on one (right after
// reading an entry's page delta and byte count), while the guides take less than their memory.
inline void RecordPoint(SlotGuide* guide, const StreamCursor& t, GuideMemory& memory) {
    if (guide == nullptr || t.entry % kSkipInterval != 0 ||
        t.entry / kSkipInterval != guide->points.size())
        return;
    std::vector<StreamPoint>& points = guide->points;
    const size_t before = points.capacity();
    if (points.size() == before && memory.used >= memory.limit) return;
    points.push_back(StreamReader::PointOf(t));
    memory.used += (points.capacity() - before) * sizeof(StreamPoint);
}

// Moves the cursor to the guide's last skip point before page target when that lies ahead of
// it. Reading on from the cursor would pass through the same states (pages strictly increase,
// and every entry up to the point was read without fault when the point was kept), so nothing
// else changes.
inline void LeapTowards(const StreamReader& reader, StreamCursor& t, const SlotGuide& guide,
                        uint32_t target) {
    const std::vector<StreamPoint>& points = guide.points;
    size_t next = t.entry / kSkipInterval + 1;
    if (next >= points.size() || points[next].page >= target) return;
    // The last point before target: galloping from next, as most leaps are short.
    size_t low = next, step = 1;
    while (low + step < points.size() && points[low + step].page < target) {
        low += step;
        step *= 2;
    }
    size_t high = std::min(low + step, points.size());
    while (high - low > 1) {
        const size_t mid = low + (high - low) / 2;
        (points[mid].page < target ? low : high) = mid;
    }
    reader.Resume(t, points[low], uint32_t(low) * kSkipInterval);
}

// Moves the cursor to the last stored point before page target when that lies ahead of it and
// fits the file (the points were read from this very stream, whole and clean, when the
// accelerator was made: taking up reading there passes through the same states as reading on).
inline void LeapByStored(const StreamReader& reader, StreamCursor& t, const StoredPoints& stored,
                         uint32_t target) {
    const size_t next = t.entry / stored.interval + 1;  // the first point past the cursor
    if (next >= stored.count || stored.PageAt(uint32_t(next)) >= target) return;
    // The last point before target: galloping from next, as most leaps are short.
    size_t low = next, step = 1;
    while (low + step < stored.count && stored.PageAt(uint32_t(low + step)) < target) {
        low += step;
        step *= 2;
    }
    size_t high = std::min<size_t>(low + step, stored.count);
    while (high - low > 1) {
        const size_t mid = low + (high - low) / 2;
        (stored.PageAt(uint32_t(mid)) < target ? low : high) = mid;
    }
    const uint64_t entry = uint64_t(low) * stored.interval;
    const StreamPoint p = stored.At(uint32_t(low));
    if (p.page <= t.page || entry > UINT32_MAX || !reader.FitsPoint(p)) return;
    reader.Resume(t, p, uint32_t(entry));
}

}  // namespace kolva
