// Index opening and keyword search on an arbitrary index header, postings file, variant table
// and keyword string.
//
// The header is 1.4 MB, too large to mutate byte by byte; what the search can read of it is
// built from the input instead: the first-block and last-page entries of the slots the keyword
// uses (in the order the search meets them), the next-block table whole, and optionally a cut
// of the file to any length. Every other slot has no postings.
//
// Input: uint8 flags (1 variants, 2 OR first, 4 cut the header) | uint32 header length |
//        keywords (UTF-16) | slot entries (int32 first block, uint32 last page each) |
//        next-block table bytes | variant table | rest: postings file
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <set>

#include "fuzz_support.h"
#include "index/index.h"
#include "index_input.h"
#include "platform/coding.h"

using namespace kolva;

namespace {

// The header file on disk, kept from one input to the next: only the entries the last input
// patched are put back, so that an input does not cost a 1.4 MB write. Untouched, the file has
// no postings for any slot and ends after the four tables.
class HeaderFile {
public:
    explicit HeaderFile(const std::filesystem::path& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        fuzz::Check(m_fd >= 0);
        WriteBase();
    }
    // Gives slot its first block and last page.
    void Patch(int32_t slot, uint32_t firstBlock, uint32_t lastPage) {
        Write(size_t(slot) * 4, firstBlock);
        Write(1000000 + size_t(slot) * 4, lastPage);
        m_patched.push_back(slot);
    }
    // The next-block table bytes, then the length of the whole file.
    void Finish(std::string_view next, std::optional<uint64_t> length) {
        fuzz::Check(::pwrite(m_fd, next.data(), next.size(), off_t(kHeaderTablesSize)) ==
                    ssize_t(next.size()));
        const uint64_t size = length ? *length : kHeaderTablesSize + next.size();
        fuzz::Check(::ftruncate(m_fd, off_t(size)) == 0);
        m_cut = size < kHeaderTablesSize;
    }
    // Back to no postings for any slot.
    void Reset() {
        if (m_cut) {
            WriteBase();
        } else {
            for (int32_t slot : m_patched) {
                Write(size_t(slot) * 4, 0xFFFFFFFF);
                Write(1000000 + size_t(slot) * 4, 0);
            }
        }
        m_patched.clear();
    }

private:
    void WriteBase() {
        std::string base(size_t(kHeaderTablesSize), '\0');
        std::memset(base.data(), 0xFF, size_t(kSlotCount) * 4);
        fuzz::Check(::pwrite(m_fd, base.data(), base.size(), 0) == ssize_t(base.size()));
        m_cut = false;
    }
    void Write(size_t at, uint32_t v) {
        uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        fuzz::Check(::pwrite(m_fd, bytes, 4, off_t(at)) == 4);
    }
    int m_fd = -1;
    std::vector<int32_t> m_patched;
    bool m_cut = false;
};

void CheckResults(const SearchResult& result, bool ascending) {
    const auto& pages = result.pages;
    const auto& counts = result.counts;
    fuzz::Check(pages.size() == counts.size());
    std::set<uint32_t> distinct(pages.begin(), pages.end());
    fuzz::Check(distinct.size() == pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        fuzz::Check(counts[i] >= 1);
        if (ascending && i > 0) fuzz::Check(pages[i - 1] < pages[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const uint8_t flags = in.U8();
    const uint32_t headerLength = in.U32();
    const std::u16string keywords = in.Utf16();
    const std::string_view entries = in.Bytes();
    const std::string_view next = in.Bytes();
    const std::string_view table = in.Bytes();
    const std::string_view postings = in.Rest();
    const bool variants = flags & 1;

    const std::filesystem::path& folder = fuzz::WorkFolder();
    static const bool storeWritten = [&] {
        // The page store only has to open; the search never reads it.
        std::string list(268, '\0');
        list[4] = 8;
        fuzz::WriteFile(folder / "Index-fl.h", list + std::string(8, '\0') + std::string(8, '\0'));
        fuzz::WriteFile(folder / "Index-fl.cnt", "x");
        return true;
    }();
    (void)storeWritten;

    static HeaderFile header(folder / "Index-idx.h");
    header.Reset();
    const std::vector<int32_t> slots =
        fuzz::KeywordSlots(keywords, ParseVariantTable(table), variants);
    for (size_t i = 0; i < slots.size() && 8 * i + 8 <= entries.size(); ++i) {
        const auto* e = reinterpret_cast<const uint8_t*>(entries.data() + 8 * i);
        header.Patch(slots[i], LoadLE32(e), LoadLE32(e + 4));
    }
    std::optional<uint64_t> length;
    if (flags & 4) length = headerLength % (kHeaderTablesSize + next.size() + 16);
    header.Finish(next, length);
    fuzz::WriteFile(folder / "Index-idx.m", postings);
    fuzz::WriteFile(folder / "yitizi.txt", table);

    CIndex index([](std::u16string_view) {});
    const bool open = index.Open(folder, "Index", kModeWholeText);
    // Search twice, so that the second search walks what the first left in the index's caches.
    for (bool orFirst : {bool(flags & 2), !(flags & 2)}) {
        const SearchResult found =
            orFirst ? index.SearchOr(keywords, variants) : index.SearchAnd(keywords, variants);
        fuzz::Check(found.wordTotal >= 0 && (open || found.pages.empty()));
        CheckResults(found, !orFirst);
    }
    return 0;
}
