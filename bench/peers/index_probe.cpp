// kolva_index_probe DATA QUERYFILE CHARS: two figures bench/compare reports besides query times.
//
// Memory: resident memory of this process before the index is opened, after Open, and after
// every query of QUERYFILE (one keyword string a line, searched with AND, variants off and on),
// without the resident pages of the mapped postings and pairs files, which the page cache holds
// anyway.
//
// Decoding: CHARS is a UTF-8 string of characters. For each, and for the phrase of the first
// two, the best of several searches (processor time of the thread) is set against the best of several plain sequential reads
// of the same blocks (following each slot's block chain, summing the bytes as 64-bit words),
// and against the same search without its shortcuts (CIndex::UseShortcuts).
// A one-character search reads every entry of its slot's stream; a two-character phrase of
// frequent characters decodes every position of both on nearly every page.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "text/codeconverter.h"
#include "index/index.h"
#include "index/postings_format.h"
#include "platform/allocator.h"
#include "platform/coding.h"
#include "platform/file.h"
#include "text/utf8.h"

namespace {

using namespace kolva;
using Clock = std::chrono::steady_clock;

// "Name: value kB" fields of /proc/self/status, and the resident size of the postings mapping.
long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field) + 1));
    return -1;
}

long MappingRssKb(const std::string& fileName) {
    std::ifstream in("/proc/self/smaps");
    long total = 0;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 16)
            inside = line.size() >= fileName.size() &&
                     line.compare(line.size() - fileName.size(), fileName.size(), fileName) == 0;
        else if (inside && line.rfind("Rss:", 0) == 0)
            total += std::stol(line.substr(4));
    }
    return total;
}

long ResidentBeyondPostings() {
    return StatusKb("VmRSS:") - MappingRssKb("/Index-idx.m") - MappingRssKb("/Index-idx.pairs");
}

struct Chains {
    std::vector<int32_t> first;
    std::vector<uint32_t> next;
    std::string postings;
    // The blocks of a slot's chain up to its last page's block: the stream ends somewhere in the
    // last one, so this counts at most 4095 bytes too many.
    std::vector<uint32_t> Blocks(int32_t slot, uint64_t streamEnd) const {
        std::vector<uint32_t> blocks;
        for (int64_t b = first[size_t(slot)]; b >= 0 && blocks.size() * kBlockSize < streamEnd;
             b = next[size_t(b)])
            blocks.push_back(uint32_t(b));
        return blocks;
    }
};

// Where a slot's stream ends, by walking its page entries.
uint64_t StreamLength(const Chains& c, int32_t slot, uint32_t lastPage) {
    uint64_t length = 0;
    uint32_t block = uint32_t(c.first[size_t(slot)]), offset = 0, page = 0;
    auto byte = [&]() -> uint32_t {
        if (offset == kBlockSize) block = c.next[block], offset = 0;
        ++length;
        return uint8_t(c.postings[size_t(block) * kBlockSize + offset++]);
    };
    auto number = [&]() -> uint32_t {
        uint8_t bytes[kMaxPostingNumberBytes];
        bytes[0] = uint8_t(byte());
        for (uint32_t k = 1; k < PostingNumberLength(bytes[0]); ++k) bytes[k] = uint8_t(byte());
        uint32_t length;
        return GetPostingNumber(bytes, length);
    };
    for (bool firstEntry = true;; firstEntry = false) {
        page += number();
        uint32_t count = byte();
        count |= byte() << 8;
        for (uint32_t i = 0; i < count; ++i) byte();
        if (page == lastPage || (!firstEntry && page > lastPage)) return length;
    }
}

// The processor time of this thread, so that other processes on a busy machine count less.
double ThreadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

template <typename F>
double BestSeconds(int rounds, F&& f) {
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const double start = ThreadSeconds();
        f();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

int Run(const std::filesystem::path& data, const std::string& queryFile, const std::string& chars) {
    const long before = ResidentBeyondPostings();
    CIndex index;
    if (!index.Open(data, "Index", kModeWholeText)) return 1;
    const long opened = ResidentBeyondPostings();
    std::ifstream in(queryFile, std::ios::binary);
    std::vector<std::u16string> queries;
    for (std::string line; std::getline(in, line);) {
        std::u32string cps;
        size_t bad;
        if (DecodeUtf8(line, cps, bad)) queries.push_back(CodePointsToUtf16(cps));
    }
    for (uint8_t variant : {0, 1})
        for (const std::u16string& q : queries) index.SearchAnd(q, variant);
    const long searched = ResidentBeyondPostings();
    std::printf("memory\t%ld\t%ld\t%ld\n", before, opened, searched);

    // The chains, read again from the files for the plain read.
    Chains c;
    {
        std::string header;
        if (!ReadWholeFile(data / "Index-idx.h", header) || !ReadWholeFile(data / "Index-idx.m", c.postings))
            return 1;
        c.first.resize(kSlotCount);
        for (int i = 0; i < kSlotCount; ++i) c.first[size_t(i)] = int32_t(LoadLE32(reinterpret_cast<const uint8_t*>(&header[size_t(i) * 4])));
        for (size_t at = kHeaderTablesSize; at + 4 <= header.size(); at += 4)
            c.next.push_back(LoadLE32(reinterpret_cast<const uint8_t*>(&header[at])));
    }
    std::u32string cps;
    size_t bad;
    if (!DecodeUtf8(chars, cps, bad) || cps.empty()) return 2;
    auto measure = [&](const std::u32string& word) {
        uint64_t bytes = 0;
        std::vector<uint32_t> blocks;
        for (char32_t ch : word) {
            const int32_t slot = CharToSlot(uint32_t(ch));
            if (index.FirstBlock(slot) < 0) return;
            const uint64_t length = StreamLength(c, slot, index.LastPage(slot));
            bytes += length;
            for (uint32_t b : c.Blocks(slot, length)) blocks.push_back(b);
        }
        const uint8_t* base = reinterpret_cast<const uint8_t*>(c.postings.data());
        volatile uint64_t sink = 0;
        const double plain = BestSeconds(7, [&] {
            uint64_t sum = 0;
            for (uint32_t b : blocks) {
                const uint8_t* p = base + size_t(b) * kBlockSize;
                for (uint32_t i = 0; i < kBlockSize; i += 8) {
                    uint64_t w;
                    std::memcpy(&w, p + i, 8);
                    sum += w;
                }
            }
            sink = sink + sum;
        });
        const std::u16string keywords = CodePointsToUtf16(word);
        size_t pagesFound = 0;
        auto searchSeconds = [&](bool shortcuts) {
            index.UseShortcuts(shortcuts);
            return BestSeconds(7,
                               [&] { pagesFound = index.SearchAnd(keywords, false).pages.size(); });
        };
        const double plainSearch = searchSeconds(false);
        const double search = searchSeconds(true);
        std::string utf8;
        for (char32_t ch : word) {
            std::u32string one(1, ch);
            std::string piece;
            // Characters here are all below U+10000 or encoded by the same rule as the exporter.
            if (ch < 0x800) piece = {char(0xC0 | (ch >> 6)), char(0x80 | (ch & 0x3F))};
            else if (ch < 0x10000) piece = {char(0xE0 | (ch >> 12)), char(0x80 | ((ch >> 6) & 0x3F)), char(0x80 | (ch & 0x3F))};
            else piece = {char(0xF0 | (ch >> 18)), char(0x80 | ((ch >> 12) & 0x3F)), char(0x80 | ((ch >> 6) & 0x3F)), char(0x80 | (ch & 0x3F))};
            utf8 += piece;
        }
        std::printf("decode\t%s\t%llu\t%.1f\t%.1f\t%d\t%.1f\n", utf8.c_str(),
                    static_cast<unsigned long long>(bytes), bytes / search / 1e6,
                    double(blocks.size()) * kBlockSize / plain / 1e6, int(pagesFound),
                    bytes / plainSearch / 1e6);
    };
    for (char32_t ch : cps) measure(std::u32string(1, ch));
    if (cps.size() >= 2) measure(cps.substr(0, 2));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "Usage: kolva_index_probe DATA QUERYFILE CHARS\n";
        return 2;
    }
    KeepHeapForSearches();  // as the programs that search keep their heap
    try {
        return Run(argv[1], argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "kolva_index_probe: " << e.what() << '\n';
        return 1;
    }
}
