// Importing files into a collection source folder: plain text, EPUB, TEI and Aozora Bunko files
// each become a book (the files of a folder the books of a category), their chapters or
// divisions volumes, their pages pages, written all or nothing into the source folder that
// kolva-build reads. Used by kolva-import and by the reader's import command.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/book.h"
#include "import/sourcefolder.h"
#include "import/zip.h"

namespace kolva {

enum class ImportFormat { kAuto, kText, kEpub, kTei, kAozora };

// "auto", "txt", "epub", "tei", "aozora"; false for another name.
bool ParseImportFormat(std::string_view name, ImportFormat& format);

struct ImportOptions {
    ImportFormat format = ImportFormat::kAuto;  // of every file; auto: by name and content
    std::string category;   // UTF-8; empty: a folder's name for its files, kDefaultCategory else
    std::string book;       // UTF-8; the title of the one book imported; empty: the file's own
    std::string encoding;   // of plain and Aozora text (an iconv name); empty: detected
    size_t pageChars = 1000;  // size of a page cut by size, in characters (not white space)
    bool replace = false;     // a book of the same title in the same category is replaced
    uint64_t maxFileBytes = uint64_t(512) << 20;  // plain text and TEI files
    ZipLimits zipLimits;                           // EPUB archives
};

struct ImportProgress {
    size_t filesDone = 0, fileCount = 0;
    uint64_t bytesDone = 0, bytesTotal = 0;  // of the input files done
    size_t pagesDone = 0;                    // pages written so far
    std::filesystem::path file;              // the file being read (empty at the end)
};

struct ImportedBook {
    std::filesystem::path input;
    std::string category, title;  // UTF-8, as the catalogue has them
    std::string folder;           // relative to the source folder
    size_t volumes = 0, pages = 0;
    bool replaced = false;
};

struct ImportInput {
    std::filesystem::path file;
    std::string category;  // UTF-8
};

// The files the inputs name: a file itself, a folder's text, EPUB, TEI and ZIP files (.txt,
// .epub, .xml, .tei, .zip) below it in name order, none inside sourceDir. Raises ImportError for an input
// that does not exist or a folder without such files.
std::vector<ImportInput> ListImportInputs(const std::vector<std::filesystem::path>& inputs,
                                          const std::filesystem::path& sourceDir,
                                          const ImportOptions& options);

// Imports the inputs into sourceDir (made when missing) all or nothing: on an error (ImportError
// naming the file and line, or a file system error) or when *cancel becomes true
// (ImportCancelled), the source folder is left as it was. progress is called before each file,
// after each volume written and at the end, on the calling thread.
std::vector<ImportedBook> ImportIntoSource(const std::vector<std::filesystem::path>& inputs,
                                           const std::filesystem::path& sourceDir,
                                           const ImportOptions& options,
                                           const std::function<void(const ImportProgress&)>& progress = {},
                                           const std::atomic<bool>* cancel = nullptr);

// Reads one file as format (kAuto: by its name and content; a ZIP archive that is no EPUB book
// as the one .txt file in it) into book; the title and author it
// gives of itself in info. The readers' common entry, also for the fuzz targets.
struct BookInfo;
void ReadBookFile(const std::filesystem::path& file, ImportFormat format, const ImportOptions& options,
                  BookBuilder& book, BookInfo& info);

}  // namespace kolva
