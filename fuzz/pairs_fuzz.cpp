// The pairs file reader on damaged pairs files: a sound file, made once from a small collection,
// with the input's changes applied. With flag 1 the checksums are made right again afterwards,
// so that the changes reach the layout checks and the list decoding behind them.
//
// Input: uint8 flags (1 fix the checksums, 2 cut the file) | uint32 cut length |
//        uint8 change count | {uint32 offset, uint8 xor} per change |
//        rest: queries, uint16 slot offset and uint8 key position step per term
#include <algorithm>
#include <random>

#include "fuzz_support.h"
#include "index/pair_narrowing.h"
#include "index/pairs.h"
#include "platform/coding.h"
#include "platform/checksum.h"
#include "writer/pairs_writer.h"
#include "writer/writer.h"

using namespace kolva;

namespace {

const char32_t kLetters[] = U"一二三四五六七八万萬";

// The collection in the work folder and the bytes of its sound pairs file.
const std::string& SoundFile() {
    static const std::string bytes = [] {
        const std::filesystem::path& folder = fuzz::WorkFolder();
        const std::vector<VariantGroup> groups = {{0x4E07, 0x842C}};
        std::mt19937 rng(16);
        PageStoreWriter store(folder);
        IndexWriter index(groups);
        for (uint32_t p = 0; p < 800; ++p) {  // enough pages for stored points
            std::u32string text;
            for (size_t i = 0, n = rng() % 40; i < n; ++i) text += kLetters[rng() % 10];
            store.AddPage("v\\0001.htm", "<html></html>");
            index.AddText(p, text);
        }
        store.Finish();
        index.Write(folder, "Index", BlockOrder::kSequential);
        WriteVariantTable(folder / "yitizi.txt", groups);
        WritePairsFile(folder, "Index");
        std::string out;
        fuzz::Check(ReadWholeFile(folder / "Index-idx.pairs", out));
        return out;
    }();
    return bytes;
}

void Store(std::string& s, size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + size_t(i)] = char(v >> (8 * i));
}

// Makes the checksums of header, tables, directory rows and lists match the bytes, as far as the
// layout lets them be found.
void FixChecksums(std::string& f) {
    if (f.size() < kPairsHeaderSize) return;
    const uint8_t* d = reinterpret_cast<const uint8_t*>(f.data());
    const uint64_t keys = LoadLE32(d + 76), aliases = LoadLE32(d + 84);
    const uint64_t pairs = uint64_t(LoadLE32(d + 80)) + LoadLE32(d + 104);  // both distances
    const uint64_t rowStartsAt = kPairsHeaderSize + kSlotBits / 8 + 4 * keys;
    const uint64_t rowSumsAt = kPairsHeaderSize + kSlotBits / 8 + 17 * keys + 8 + 8 * aliases;
    const uint64_t dirAt = rowSumsAt + 8 * keys;
    const uint64_t listsAt = dirAt + uint64_t(kPairEntrySize) * pairs;
    if (keys <= kMaxPairKeys && pairs <= 2 * keys * keys && aliases <= kSlotBits &&
        listsAt <= f.size()) {
        const uint64_t listsSize = f.size() - listsAt;
        for (uint64_t i = 0; i < pairs; ++i) {
            const uint64_t e = dirAt + kPairEntrySize * i;
            const uint64_t from = LoadLE32(d + e + 8);
            const uint64_t to = i + 1 < pairs ? LoadLE32(d + e + kPairEntrySize + 8) : listsSize;
            if (from <= to && to <= listsSize)
                Store(f, e + 12, uint32_t(Checksum64(d + listsAt + from, to - from)), 4);
        }
        for (uint64_t row = 0; row < 2 * keys; ++row) {
            // The apart rows' starts follow the K + 1 starts of the neighbouring rows.
            const uint64_t at = rowStartsAt + 4 * (row + row / keys);
            const uint64_t low = LoadLE32(d + at), high = LoadLE32(d + at + 4);
            if (low <= high && high <= pairs)
                Store(f, rowSumsAt + 4 * row,
                      uint32_t(Checksum64(d + dirAt + kPairEntrySize * low,
                                          kPairEntrySize * (high - low))),
                      4);
        }
        Store(f, 96, Checksum64(d + kPairsHeaderSize, dirAt - kPairsHeaderSize), 8);
    }
    // The points area at the end: each slot entry's check over its points.
    const uint64_t slots = LoadLE32(d + 108), pointsSize = LoadLE64(d + 112);
    if (slots <= kSlotBits && pointsSize <= f.size() && kPointSlotEntrySize * slots <= pointsSize) {
        const uint64_t area = f.size() - pointsSize;
        const uint64_t points = area + kPointSlotEntrySize * slots;
        const uint64_t pointCount = (f.size() - points) / kStoredPointSize;
        for (uint64_t i = 0; i < slots; ++i) {
            const uint64_t e = area + kPointSlotEntrySize * i;
            const uint64_t first = LoadLE32(d + e + 4), count = LoadLE32(d + e + 8);
            if (first > pointCount || count > pointCount - first) continue;
            const uint64_t seed = Checksum64(d + e, 12);
            Store(f, e + 12,
                  uint32_t(Checksum64(d + points + kStoredPointSize * first,
                                      kStoredPointSize * count, seed)),
                  4);
        }
    }
    Store(f, 120, Checksum64(d, 120), 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    std::string file = SoundFile();
    const uint8_t flags = in.U8();
    const uint32_t cut = in.U32();
    for (uint8_t i = 0, n = in.U8(); i < n; ++i) {
        const uint32_t at = in.U32();
        const uint8_t x = in.U8();
        if (!file.empty()) file[at % file.size()] = char(file[at % file.size()] ^ x);
    }
    if (flags & 2) file.resize(std::min<size_t>(cut, file.size() + 64), '\0');
    if (flags & 1) FixChecksums(file);
    const std::filesystem::path& folder = fuzz::WorkFolder();
    fuzz::WriteFile(folder / "Index-idx.pairs", file);

    ReadMemory copies;  // (declared first: it outlives the file's use of it)
    PairsFile pairs;
    pairs.CopyInto(&copies);
    const bool opened = pairs.Open(folder, "Index");
    // The sound file opens; a changed one may only when its checksums were made right.
    fuzz::Check(opened || file != SoundFile());
    if (!opened) return 0;

    // Every pair of ranks, and phrases of the input's terms.
    std::vector<uint32_t> pages;
    for (uint32_t k = 0; k < 2 * 64 * 64; ++k) {
        const uint32_t a = k / 128, b = k / 2 % 64, distance = 1 + k % 2;
        if (a >= pairs.KeyCount() || b >= pairs.KeyCount()) continue;
        PageList list;
        if (pairs.Find(int32_t(a), int32_t(b), list, distance) != PairsFile::Lookup::kFound)
            continue;
        if (DecodePageList(list, pairs.PageLimit(), pages)) {
            fuzz::Check(pages.size() == list.count);
            fuzz::Check(std::is_sorted(pages.begin(), pages.end()));
            fuzz::Check(pages.empty() || pages.back() < pairs.PageLimit());
        }
        std::vector<uint32_t> candidates = {0, 1, 2, 5, 100, 299, 300, 70000};
        if (KeepListedPages(list, pairs.PageLimit(), candidates))
            fuzz::Check(std::is_sorted(candidates.begin(), candidates.end()));
    }
    // Stored points, as far as the file has them: ascending pages whenever they are handed out.
    for (int32_t slot = 0x4E00 - 0x3400; slot < 0x4E00 - 0x3400 + 0x1000; ++slot) {
        const StoredPoints points = pairs.PointsOf(slot);
        for (uint32_t i = 1; i < points.count; ++i)
            fuzz::Check(points.At(i - 1).page < points.At(i).page);
    }
    const std::string_view rest = in.Rest();
    std::vector<PhraseTerm> terms;
    uint32_t keyPos = 0;
    for (size_t i = 0; i + 3 <= rest.size() && terms.size() < 300; i += 3) {
        const int32_t slot = int32_t(0x4E00 - 0x3400 + (uint8_t(rest[i]) | uint8_t(rest[i + 1]) << 8));
        keyPos += uint8_t(rest[i + 2]) % 3;
        terms.push_back({slot, keyPos, uint32_t(uint8_t(rest[i + 2]) / 128)});
        fuzz::Check(pairs.Key(slot) >= 0);
    }
    if (PagesByPairs(pairs, terms.data(), terms.size(), pages))
        fuzz::Check(std::is_sorted(pages.begin(), pages.end()));
    return 0;
}
