// kolva-import [options] INPUT... SOURCE_DIR: turns plain text, EPUB, TEI and Aozora Bunko files
// into books of a collection source folder that kolva-build reads.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "import/importer.h"

namespace {

constexpr const char* kUsage =
    "Usage: kolva-import [--format auto|txt|epub|tei|aozora] [--category TITLE] [--book TITLE]\n"
    "                    [--encoding NAME] [--page-chars N] [--replace] [--progress]\n"
    "                    INPUT... SOURCE_DIR\n"
    "       kolva-import --help | --version\n"
    "\n"
    "Writes the files INPUT (plain text, EPUB, TEI P5 XML, Aozora Bunko text) as books into the\n"
    "collection source folder SOURCE_DIR (made when missing; an existing one gains the books),\n"
    "which kolva-build then builds: kolva-build SOURCE_DIR OUTDIR. Each file becomes a book, its\n"
    "chapters or divisions volumes; a folder given as INPUT becomes a category of books (its\n"
    ".txt, .epub, .xml, .tei and .zip files, in name order; a ZIP archive that is no EPUB book is\n"
    "read as the one .txt file in it). How each format maps is described in\n"
    "collection-format.md (PREFIX/share/doc/kolva/ where installed, docs/ in the source tree).\n"
    "\n"
    "  --format F       read every file as F: txt (plain text), epub, tei, aozora; auto (the\n"
    "                   default) tells by the name (.epub, .xml, .tei, .txt) and the content\n"
    "  --category TITLE the category of the books (default: a folder's name, else 取り込み);\n"
    "                   an existing category of that title gains them\n"
    "  --book TITLE     the title of the book (one file only; default: the file's own title,\n"
    "                   with its author, else its name)\n"
    "  --encoding NAME  the encoding of plain and Aozora text (GB18030, BIG5, SHIFT_JIS, UTF-16\n"
    "                   …, any name iconv knows); default: a byte-order mark, UTF-8, else detected\n"
    "  --page-chars N   cut pages near N characters at paragraph ends (default 1000); TEI\n"
    "                   pages are the edition's <pb/> pages\n"
    "  --replace        replace a book of the same title in the same category (else refused)\n"
    "  --progress       write \"progress DONE TOTAL\" lines (bytes of the input files read) to\n"
    "                   standard error, for a program that runs this one\n"
    "\n"
    "Nothing is written outside SOURCE_DIR, and nothing is left half-written in it: the books\n"
    "are made in a work folder inside it and moved into place, and catalogue.txt replaced, only\n"
    "when every file has been read. For each book a line goes to standard output: category,\n"
    "title, folder, volumes, pages (and \"replaced\"), separated by tabs.\n"
    "\n"
    "Exit status: 0 imported, 1 a file has a fault (the message names it and the line) or the\n"
    "source folder cannot be written, 2 usage.\n";

std::atomic<bool> g_cancel{false};

extern "C" void Interrupted(int) { g_cancel.store(true); }

bool ParseCount(const char* text, size_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno || !end || *end || text[0] == '-' || v < 1 || v > 10'000'000) return false;
    value = size_t(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "kolva-import 0.1\n";
        return 0;
    }
    kolva::ImportOptions options;
    bool progressLines = false;
    std::vector<std::filesystem::path> paths;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            paths.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--replace") {
            options.replace = true;
        } else if (arg == "--progress") {
            progressLines = true;
        } else if (arg == "--format" && hasValue) {
            if (!kolva::ParseImportFormat(argv[++i], options.format)) {
                std::cerr << "kolva-import: unknown format \"" << argv[i] << "\"\n" << kUsage;
                return 2;
            }
        } else if (arg == "--category" && hasValue && argv[i + 1][0]) {
            options.category = argv[++i];
        } else if (arg == "--book" && hasValue && argv[i + 1][0]) {
            options.book = argv[++i];
        } else if (arg == "--encoding" && hasValue && argv[i + 1][0]) {
            options.encoding = argv[++i];
        } else if (arg == "--page-chars" && hasValue) {
            if (!ParseCount(argv[++i], options.pageChars)) {
                std::cerr << "kolva-import: --page-chars takes a number from 1 to 10000000\n";
                return 2;
            }
        } else {
            std::cerr << "kolva-import: unknown option or missing value: " << arg << "\n" << kUsage;
            return 2;
        }
    }
    if (paths.size() < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::filesystem::path sourceDir = paths.back();
    paths.pop_back();

    std::signal(SIGINT, Interrupted);
    std::signal(SIGTERM, Interrupted);
    const bool terminal = isatty(STDERR_FILENO);
    uint64_t lastDone = UINT64_MAX;
    try {
        if (!options.book.empty() && kolva::ListImportInputs(paths, sourceDir, options).size() != 1) {
            std::cerr << "kolva-import: --book names the title of one book; the inputs hold more files\n";
            return 2;
        }
        const auto books = kolva::ImportIntoSource(
            paths, sourceDir, options,
            [&](const kolva::ImportProgress& p) {
                if (progressLines) {
                    // Whole files only: the share of their bytes moves when a file is done.
                    const uint64_t done = p.file.empty() ? p.bytesTotal : p.bytesDone;
                    if (done != lastDone || p.file.empty()) {
                        std::fprintf(stderr, "progress %llu %llu\n", static_cast<unsigned long long>(done),
                                     static_cast<unsigned long long>(p.bytesTotal));
                        std::fflush(stderr);
                        lastDone = done;
                    }
                    return;
                }
                if (!terminal) return;
                if (p.file.empty()) std::fprintf(stderr, "\r\033[K");
                else std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", p.filesDone + 1, p.fileCount,
                                  p.file.filename().c_str());
                std::fflush(stderr);
            },
            &g_cancel);
        for (const kolva::ImportedBook& b : books)
            std::cout << b.category << '\t' << b.title << '\t' << b.folder << '\t' << b.volumes << '\t'
                      << b.pages << (b.replaced ? "\treplaced" : "") << '\n';
        return 0;
    } catch (const std::exception& e) {
        if (terminal) std::fprintf(stderr, "\r\033[K");
        std::cerr << "kolva-import: " << e.what() << "\n";
        return 1;
    }
}
