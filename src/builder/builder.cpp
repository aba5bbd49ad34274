#include "builder/builder.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>

#include "catalogue/catalogue.h"
#include "index/index.h"
#include "pagestore/filelist.h"
#include "platform/file.h"
#include "platform/two_threads.h"
#include "text/utf8.h"
#include "writer/pairs_writer.h"
#include "writer/writer.h"

namespace kolva {

namespace {

// An HTML page must carry what the page parser looks for.
void CheckPageLayout(std::string_view html, const std::filesystem::path& file) {
    size_t title = html.find("<title");
    size_t titleEnd = html.find("</title>", title);
    size_t cell1 = html.find("<TD", titleEnd);
    size_t cell2 = html.find("<TD", cell1 == std::string_view::npos ? cell1 : cell1 + 3);
    if (title == std::string_view::npos || titleEnd == std::string_view::npos ||
        cell2 == std::string_view::npos || html.find("</TD", cell2) == std::string_view::npos)
        throw SourceError(file, 0,
                          "the page is not in the page layout (a <title> element, then two "
                          "cells opened by <TD and closed by </TD)");
}

std::vector<CatalogueEntry> CatalogueEntries(const CollectionSource& source) {
    std::vector<CatalogueEntry> entries;
    std::vector<size_t> open;  // entries whose subtree is still being read
    uint32_t pageIndex = 0;
    for (const SourceEntry& e : source.entries) {
        while (!open.empty() && entries[open.back()].level >= e.level) open.pop_back();
        entries.push_back(CatalogueEntry{e.title, e.level, int32_t(pageIndex + 1), 0, 0});
        open.push_back(entries.size() - 1);
        if (e.pages.empty()) continue;
        for (size_t i : open) {
            CatalogueEntry& a = entries[i];
            if (a.docNo == 0) {
                a.docID = int32_t(pageIndex + 1);
                a.firstPage = e.pages.front().number;
            }
            a.docNo += int32_t(e.pages.size());
        }
        pageIndex += uint32_t(e.pages.size());
    }
    return entries;
}

// The indexes in the order in which the builder adds a page to them.
enum IndexOrder { kWholeIndex, kMainIndex, kNotesIndex };

constexpr size_t kBatchPages = 32;   // pages handed to the index threads at a time
constexpr size_t kQueueBatches = 6;  // batches waiting per index thread, at most

struct PageBatch {
    uint32_t first = 0;  // page index of the first page
    std::vector<PageTexts> pages;
};
using BatchPtr = std::shared_ptr<const PageBatch>;

// Batches from the reading thread to one index thread; the reader waits while it is full.
class BatchQueue {
public:
    void Push(BatchPtr batch) {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_items.size() < kQueueBatches || m_dropping; });
        if (m_dropping) return;
        m_items.push_back(std::move(batch));
        m_notEmpty.notify_one();
    }
    // No more batches come.
    void Close() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_notEmpty.notify_all();
    }
    // The consumer stopped: what is queued and what comes is dropped.
    void Drop() {
        std::lock_guard lock(m_mutex);
        m_dropping = true;
        m_items.clear();
        m_notFull.notify_all();
    }
    // The next batch; null once the queue is closed and empty.
    BatchPtr Pop() {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [&] { return !m_items.empty() || m_closed; });
        if (m_items.empty()) return nullptr;
        BatchPtr batch = std::move(m_items.front());
        m_items.pop_front();
        m_notFull.notify_one();
        return batch;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_notFull, m_notEmpty;
    std::deque<BatchPtr> m_items;
    bool m_closed = false, m_dropping = false;
};

// The first error of the index threads, first by page, then in IndexOrder.
class IndexFailure {
public:
    void Note(uint32_t page, IndexOrder index, std::exception_ptr error) {
        std::lock_guard lock(m_mutex);
        const uint64_t key = uint64_t(page) << 2 | uint64_t(index);
        if (m_error && key >= m_key) return;
        m_key = key;
        m_error = std::move(error);
        m_any.store(true, std::memory_order_release);
    }
    bool Any() const { return m_any.load(std::memory_order_acquire); }
    // Only once the index threads are joined.
    uint32_t Page() const { return uint32_t(m_key >> 2); }
    const std::exception_ptr& Error() const { return m_error; }

private:
    std::mutex m_mutex;
    uint64_t m_key = 0;
    std::exception_ptr m_error;
    std::atomic<bool> m_any{false};
};

struct IndexTarget {
    IndexWriter* writer;
    std::u32string PageTexts::*text;
    IndexOrder order;
};

void RunIndexThread(BatchQueue& queue, std::vector<IndexTarget> targets, IndexFailure& failure) {
    while (BatchPtr batch = queue.Pop()) {
        for (size_t i = 0; i < batch->pages.size(); ++i) {
            const uint32_t page = batch->first + uint32_t(i);
            for (const IndexTarget& t : targets) {
                try {
                    t.writer->AddText(page, batch->pages[i].*t.text);
                } catch (...) {
                    failure.Note(page, t.order, std::current_exception());
                    queue.Drop();
                    return;
                }
            }
        }
    }
}

// The index threads, fed batch by batch. Destroying it closes the queues and joins the threads.
class IndexThreads {
public:
    IndexThreads(IndexWriter& whole, IndexWriter& main, IndexWriter& notes)
        : m_whole(RunIndexThread, std::ref(m_wholeQueue),
                  std::vector<IndexTarget>{{&whole, &PageTexts::whole, kWholeIndex}},
                  std::ref(m_failure)),
          m_parts(RunIndexThread, std::ref(m_partsQueue),
                  std::vector<IndexTarget>{{&main, &PageTexts::main, kMainIndex},
                                           {&notes, &PageTexts::notes, kNotesIndex}},
                  std::ref(m_failure)) {}
    ~IndexThreads() { Join(); }

    void Push(BatchPtr batch) {
        m_wholeQueue.Push(batch);
        m_partsQueue.Push(std::move(batch));
    }
    // Waits for the threads to index everything pushed.
    void Join() {
        m_wholeQueue.Close();
        m_partsQueue.Close();
        if (m_whole.joinable()) m_whole.join();
        if (m_parts.joinable()) m_parts.join();
    }
    const IndexFailure& Failure() const { return m_failure; }

private:
    IndexFailure m_failure;
    BatchQueue m_wholeQueue, m_partsQueue;
    std::thread m_whole, m_parts;
};

// The page with a page index.
const SourcePage& PageAt(const CollectionSource& source, uint32_t pageIndex) {
    for (const SourceEntry& e : source.entries) {
        if (pageIndex < e.pages.size()) return e.pages[pageIndex];
        pageIndex -= uint32_t(e.pages.size());
    }
    throw std::out_of_range("page index");
}

// Raises an index error as the builder raises it for that page.
[[noreturn]] void RaiseIndexError(const CollectionSource& source, uint32_t pageIndex,
                                  const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const WriterError& e) {
        throw SourceError(PageAt(source, pageIndex).file, 0, e.what());
    }
}

// Hands each page's texts to the three index writers: on the calling thread as the page
// comes, or in batches to the index threads.
class IndexFeed {
public:
    IndexFeed(IndexWriter& whole, IndexWriter& main, IndexWriter& notes, bool indexThreads)
        : m_whole(whole), m_main(main), m_notes(notes) {
        if (indexThreads) m_threads = std::make_unique<IndexThreads>(whole, main, notes);
    }

    // An index thread failed on a page: reading more pages is of no use.
    bool Failed() const { return m_threads && m_threads->Failure().Any(); }

    // On the calling thread the page is indexed now (a WriterError comes from here); else its
    // texts are taken into the batch for the index threads.
    void Add(uint32_t pageIndex, PageTexts& texts) {
        if (!m_threads) {
            m_whole.AddText(pageIndex, texts.whole);
            m_main.AddText(pageIndex, texts.main);
            m_notes.AddText(pageIndex, texts.notes);
            return;
        }
        if (!m_batch) {
            m_batch = std::make_shared<PageBatch>();
            m_batch->first = pageIndex;
            m_batch->pages.reserve(kBatchPages);
        }
        m_batch->pages.push_back(std::move(texts));
        if (m_batch->pages.size() == kBatchPages) PushBatch();
    }

    // Waits for the index threads to index every page added, after the last page or a fault,
    // and raises the first error of theirs as the builder raises it for that page.
    void Finish(const CollectionSource& source) {
        if (!m_threads) return;
        PushBatch();
        m_threads->Join();
        if (m_threads->Failure().Any())
            RaiseIndexError(source, m_threads->Failure().Page(), m_threads->Failure().Error());
    }

private:
    // Hands the pages read so far to the index threads.
    void PushBatch() {
        if (m_batch && !m_batch->pages.empty()) m_threads->Push(std::move(m_batch));
        m_batch.reset();
    }

    IndexWriter& m_whole;
    IndexWriter& m_main;
    IndexWriter& m_notes;
    std::unique_ptr<IndexThreads> m_threads;  // null: everything on the calling thread
    std::shared_ptr<PageBatch> m_batch;       // pages not yet handed to the threads
};

// The page as the store keeps it: an HTML page as written, once it is found to be UTF-8 in
// the page layout; a text page laid out. Takes the bytes of an HTML page from `bytes`.
std::string PageHtml(const SourceEntry& volume, const SourcePage& page, std::string& bytes) {
    std::string html;
    if (page.html) {
        std::u32string ignored;
        size_t bad;
        if (!DecodeUtf8(bytes, ignored, bad))
            throw SourceError(
                page.file,
                size_t(std::count(bytes.begin(), bytes.begin() + long(bad), '\n')) + 1,
                "the text is not UTF-8");
        CheckPageLayout(bytes, page.file);
        html.swap(bytes);
    } else {
        html = LayoutTextPage(bytes, volume.title, page.number, page.file);
    }
    return html;
}

// Reads every page of the source in order, stores it and hands its texts to the indexes.
// Stops early when an index thread failed. Returns the number of pages stored.
uint32_t StorePages(const CollectionSource& source, PageStoreWriter& store, IndexFeed& feed,
                    const std::function<void(const BuildProgress&)>& progress) {
    BuildProgress state;
    state.pageCount = source.pageCount;
    state.bytesTotal = source.pageBytes;
    uint32_t pageIndex = 0;
    std::string bytes;
    PageTexts texts;
    for (const SourceEntry& volume : source.entries) {
        for (const SourcePage& page : volume.pages) {
            // An index thread failed on an earlier page: that is the first fault.
            if (feed.Failed()) return pageIndex;
            if (!ReadWholeFile(page.file, bytes))
                throw SourceError(page.file, 0, "cannot read the page");
            state.bytesDone += bytes.size();
            const std::string html = PageHtml(volume, page, bytes);
            ExtractPageTexts(html, page.number, texts);
            try {
                store.AddPage(PageRecordName(volume, page), html);
                feed.Add(pageIndex, texts);
            } catch (const WriterError& e) {
                throw SourceError(page.file, 0, e.what());
            }
            ++pageIndex;
            ++state.pagesDone;
            if (progress) progress(state);
        }
    }
    return pageIndex;
}

// The catalogue and the variant table, once every page is stored.
void WriteCatalogueAndTable(const CollectionSource& source, const std::filesystem::path& folder) {
    WriteCatalogue(folder / "kolva.dir", CatalogueEntries(source));
    std::ofstream table(folder / "yitizi.txt", std::ios::binary | std::ios::trunc);
    table.write(source.variantTable.data(), std::streamsize(source.variantTable.size()));
    table.close();
    if (!table) throw WriterError("cannot write " + (folder / "yitizi.txt").string());
}

}  // namespace

const std::vector<std::string>& CollectionFileNames() {
    static const std::vector<std::string> names = {
        "Index-fl.h",         "Index-fl.cnt",      "Index-idx.h",         "Index-idx.m",
        "Index_desc-idx.h",   "Index_desc-idx.m",  "Index_content-idx.h", "Index_content-idx.m",
        "yitizi.txt",         "kolva.dir"};
    return names;
}

namespace {

// The indexes, in the order in which the pages are handed to them.
const int kIndexModes[3] = {kModeWholeText, kModeMainText, kModeNotes};

}  // namespace

BuildResult BuildCollection(const CollectionSource& source, const std::filesystem::path& folder,
                            const std::function<void(const BuildProgress&)>& progress,
                            const BuildOptions& options) {
    const std::vector<VariantGroup> groups = ParseVariantTable(source.variantTable);
    PageStoreWriter store(folder);
    std::unique_ptr<IndexWriter> writers[3];
    for (int i = 0; i < 3; ++i) {
        const std::string stem = IndexFileStem("Index", kIndexModes[i]);
        writers[i] = std::make_unique<IndexWriter>(groups, folder / (stem + "-idx.m"));
        if (options.pairsFiles) writers[i]->RecordPairs(folder / "Index-idx.m");
    }
    uint32_t pages = 0;
    {
        IndexFeed feed(*writers[0], *writers[1], *writers[2], options.indexThreads);
        try {
            pages = StorePages(source, store, feed, progress);
        } catch (...) {
            // The pages before this fault are indexed first: a fault of theirs comes earlier.
            feed.Finish(source);
            throw;
        }
        feed.Finish(source);
    }
    store.Finish();
    const BuildResult result{pages, writers[0]->PositionCount()};
    if (!options.pairsFiles) {
        for (int i = 0; i < 3; ++i)
            writers[i]->Write(folder, IndexFileStem("Index", kIndexModes[i]));
        WriteCatalogueAndTable(source, folder);
        return result;
    }
    // The indexes are written, then their pairs files made from their writers' records, the
    // six jobs in turn on two threads: one index is written while another's pairs are made.
    // A writer is let go, and its memory given back, once its index is written. The pairs
    // files read the variant table, written first.
    WriteCatalogueAndTable(source, folder);
    std::unique_ptr<PairsRecord> records[3];
    std::latch written[3] = {std::latch(1), std::latch(1), std::latch(1)};
    RunOnTwoThreads(6, [&](size_t job) {
        const size_t i = job % 3;
        const std::string stem = IndexFileStem("Index", kIndexModes[i]);
        if (job < 3) {
            try {
                writers[i]->Write(folder, stem);
                records[i] = writers[i]->TakePairsRecord();
                writers[i].reset();
                if (!records[i]) throw WriterError("no record for the pairs file of " + stem);
            } catch (...) {
                written[i].count_down();
                throw;
            }
            written[i].count_down();
#ifdef __GLIBC__
            malloc_trim(0);
#endif
            return;
        }
        // The index's job came first: it is done, or running on the other thread.
        written[i].wait();
        if (!records[i]) return;  // the index was not written: its error is raised
        WriteRecordedPairsFile(folder, stem, *records[i]);
        records[i].reset();
    });
    return result;
}

}  // namespace kolva
