// The full-text index: one of three index pairs (whole text, notes, main text), the variant
// table and the page store. The files' format: index/postings_format.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "index/block_cache.h"
#include "index/lazy_bytes.h"
#include "index/pairs.h"
#include "index/postings_format.h"
#include "index/search_result.h"
#include "index/slot_guides.h"
#include "index/slots.h"
#include "pagestore/filelist.h"
#include "platform/file.h"

namespace kolva {

// The one message the index shows: its files could not be opened.
extern const char16_t kOpenFailedMessage[];

// Parses the bytes of a variant table; at most `limit` groups are kept. The index keeps
// kMaxVariantGroups: later groups could have no slot, so search and highlighting both ignore them.
std::vector<VariantGroup> ParseVariantTable(std::string_view bytes,
                                            size_t limit = size_t(kMaxVariantGroups));

// Index mode given to Open: which of the three index pairs.
enum IndexMode { kModeWholeText = 0, kModeNotes = 1, kModeMainText = 2 };
struct WordPlan;

// The header and postings file names of a mode, e.g. "Index_desc-idx.h".
std::string IndexFileStem(const std::string& baseName, int mode);

class CIndex {
    friend class CHitFinder;  // walks words as the search does, to find where their hits lie

public:
    using MessageSink = std::function<void(std::u16string_view)>;

    // The sink receives user-visible messages; without one they go to standard error.
    explicit CIndex(MessageSink sink = {});
    virtual ~CIndex();
    CIndex(const CIndex&) = delete;
    CIndex& operator=(const CIndex&) = delete;

    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }

    // Opens the index pair of mode, the variant table and the page store of folder. Expects a
    // closed index. On failure shows kOpenFailedMessage, leaves the index closed, returns false.
    bool Open(const std::filesystem::path& folder, const std::string& baseName, int mode);
    void Close();
    bool IsOpen() const { return m_pPostings != nullptr; }

    // The page store the index opened with it (pages are read there, not through the index).
    const CFileList& PageStore() const { return m_fileList; }

    // Composes page index for the reading view with every hit of keywords marked (hit_finder.h):
    // one anchor per hit that the search (SearchAnd or SearchOr, with variants when bVariant is
    // set) counts on the page, in text order. Returns the anchors. keywords: words parted by
    // U+0020 or U+3000; without a word, or when the page cannot be read, html stays empty and the
    // result is 0. The hits are the open index's, so they are marked in the text its mode numbers
    // (TextTarget); target must name that text (the pane and kolva-search keep the two in step)
    // and is not otherwise read.
    int ComposePage(int index, std::string& html, std::u16string_view keywords, int target,
                    uint8_t bVariant) const;
    // The text the open index numbers, as a composition target (ComposeTarget): whole text, main
    // text or notes.
    int TextTarget() const;

    // Keyword search: words parted by U+0020 (the string ends at its first NUL), every word's
    // pages and hits (AND: pages of every word, OR: of any), widened to variant groups when
    // variants is set. A string CountKeywords rejects gives a result marked rejected.
    SearchResult SearchAnd(std::u16string_view keywords, bool variants);
    SearchResult SearchOr(std::u16string_view keywords, bool variants);
    // Number of words, or 0 when the string holds a unit no keyword may hold.
    static int CountKeywords(std::u16string_view keywords);

    // Replaces the variant groups by folder/yitizi.txt (none when it cannot be read).
    void LoadVariantTable(const std::filesystem::path& folder);
    // slot = kVariantSlotBase + g for the first group g holding codePoint.
    bool FindVariantSlot(uint32_t codePoint, int32_t& slot) const;
    // A copy of the first group with a member whose low 16 bits are unit, else {unit}.
    VariantGroup GetVariantForms(char16_t unit) const;
    // Every written form of keywords, one choice per unit, depth first.
    void ExpandVariants(std::u16string_view keywords, std::vector<std::u16string>& forms) const;
    const std::vector<VariantGroup>& GetVariantGroups() const { return m_variantGroups; }

    // With false, the search reads every word the plain way: no slot guides, no direct count of
    // clean pages. The results are the same; tests and benchmarks compare the two.
    void UseShortcuts(bool on) { m_useShortcuts = on; }
    // Memory the search may give to slot guides (8 MB unless set); tests make it small.
    void LimitGuideMemory(size_t bytes) { m_guideMemory.limit = bytes; }

    // Postings of one slot, for tools and tests: first block (-1 = none) and last page.
    int32_t FirstBlock(int32_t slot) const;
    // Whether the pairs file of the open index is in use (present, whole, and made from exactly
    // the index files and variant table beside it).
    bool HasPairs() const { return m_pairs.IsOpen(); }
    uint32_t LastPage(int32_t slot) const;

private:
    // Opens the index files, the page store and (optionally) the pairs file; false when any of
    // the first three cannot be read as what it is.
    bool OpenFiles(const std::filesystem::path& folder, const std::string& baseName, int mode);
    SearchResult SearchWords(std::u16string_view keywords, bool variants, CombineMode first,
                             CombineMode later);
    // Folds one word's hits into result; returns the pages result holds then (0 when the word
    // cannot be found).
    int SearchWord(std::u16string_view word, CombineMode mode, bool variants,
                   SearchResult& result);
    // The terms and segments of word; false when it has none the index can find.
    bool PlanWord(std::u16string_view word, bool variants, WordPlan& plan) const;
    // Gives the plan's terms their slot checks and (several terms) their slot guides.
    void AttachShortcuts(WordPlan& plan);
    // Gives the plan's terms their slot checks only.
    void AttachChecks(WordPlan& plan) const;
    // Sets moveOrder to the terms rarest first, when the pairs file knows their keys' entries.
    bool RarestFirst(const WordPlan& plan, uint32_t* moveOrder) const;
    void ShowMessage(std::u16string_view text) const;
    void IndexVariantGroups();
    // The group of the first entry of groupOf with this key, -1 when there is none.
    static int64_t FirstGroupOf(const std::vector<std::pair<uint32_t, uint32_t>>& groupOf,
                                uint32_t key);

    CFileList m_fileList;                       // the page store
    ReadOnlyMapping m_postings;                 // the whole postings file, mapped read-only
    // The header file, mapped: its tables are read in place (the file's little-endian numbers
    // are the host's), so that opening a collection costs no parsing.
    ReadOnlyMapping m_header;
    const uint32_t* m_pNextBlock = nullptr;     // next-block table, in m_header
    const int32_t* m_pFirstBlock = nullptr;     // first block per slot, in m_header
    const uint32_t* m_pLastPage = nullptr;      // last page per slot, in m_header
    const uint8_t* m_pPostings = nullptr;       // view of the postings file; null when closed
    uint32_t m_nNextBlockCount = 0;             // N
    uint32_t m_nBlockCount = 0;                 // blocks that start inside the postings file
    // Memory that blocks and parts of the pairs file are read into with pread, one for both
    // (before them: it outlives their use of it).
    ReadMemory m_readMemory;
    // Postings blocks a search enters for the first time, read with pread (block_cache.h).
    BlockCache m_blocks;
    std::vector<VariantGroup> m_variantGroups;  // variant groups in file order
    uint64_t m_variantTableSize = kNoFile;      // of yitizi.txt as loaded (for the pairs file)
    uint64_t m_variantTableChecksum = 0;
    // (member, group) and (member's low 16 bits, group) for every member of every group, sorted:
    // the first group holding a character is found by a binary search, not a scan of the table.
    std::vector<std::pair<uint32_t, uint32_t>> m_groupOfMember, m_groupOfUnit;
    // Guides of the slots that words of several characters have searched, filled in as their
    // terms walk, so that later terms can leap over long runs of entries; the least recently
    // used make way when they take more memory than the search keeps for them.
    SlotGuides m_slotGuides;
    GuideMemory m_guideMemory;
    uint64_t m_wordSearches = 0;
    // Per slot: what the search knows of its whole stream (word_matcher.h), kept when guides go.
    // Finding hits for composition learns the same (a cache that never changes a result).
    mutable LazyBytes m_slotChecks;
    bool m_useShortcuts = true;
    // Which pages hold two frequent characters side by side, when a fitting pairs file lies
    // beside the index: words pass over the pages that cannot hold them (a shortcut like those
    // above: off with them, and never changing a result).
    PairsFile m_pairs;
    MessageSink m_messageSink;                  // where the open failure is shown
    int m_mode = kModeWholeText;                // the index pair open
    uint64_t m_generation = 0;                  // changes at every Open, Close and variant load
};

}  // namespace kolva
