// kolva-build SOURCE OUTDIR: makes a collection from a collection source folder.
// kolva-build --accelerate DIR: adds the pairs files to a collection made by any writer.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "builder/builder.h"
#include "writer/pairs_writer.h"
#include "writer/writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: kolva-build [--no-accelerator] [--progress] SOURCE OUTDIR\n"
    "       kolva-build --accelerate DIR\n"
    "       kolva-build --help | --version\n"
    "\n"
    "Builds a collection from the source folder SOURCE (catalogue.txt, the volume folders with\n"
    "their pages, an optional yitizi.txt) and writes its ten data files into OUTDIR, which is\n"
    "created when missing. Files of an earlier collection in OUTDIR are replaced only when the\n"
    "build succeeds. The reader opens the collection beside itself: kolva-build SOURCE /opt/kolva\n"
    "replaces the installed one. The source format is described in collection-format.md\n"
    "(PREFIX/share/doc/kolva/ where installed, docs/ in the source tree).\n"
    "\n"
    "Beside the ten files it writes three pairs files (Index-idx.pairs, Index_desc-idx.pairs,\n"
    "Index_content-idx.pairs) that let the search pass over pages that cannot hold a phrase;\n"
    "--no-accelerator leaves them out. The search finds the same either way, and ignores pairs\n"
    "files that were not made from exactly the files beside them.\n"
    "--accelerate DIR writes (or refreshes) the pairs files of the collection in DIR, made by\n"
    "any writer, reading only its files and changing none of them.\n"
    "--progress writes \"progress DONE TOTAL\" lines (pages indexed) to standard error, for a\n"
    "program that runs this one.\n"
    "\n"
    "Exit status: 0 built, 1 the source has a fault or the files cannot be written, 2 usage.\n";

using Clock = std::chrono::steady_clock;

// A one-line progress bar on a terminal: pages, speed and time left.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : m_enabled(enabled), m_start(Clock::now()) {}

    void Update(const kolva::BuildProgress& p) {
        if (!m_enabled) return;
        const auto now = Clock::now();
        if (p.pagesDone != p.pageCount && now - m_last < std::chrono::milliseconds(100)) return;
        m_last = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const double rate = seconds > 0 ? double(p.bytesDone) / seconds : 0;
        const double left = rate > 0 ? double(p.bytesTotal - p.bytesDone) / rate : 0;
        const int width = 30;
        const int filled = p.pageCount ? int(width * p.pagesDone / p.pageCount) : width;
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu pages  %.1f MB/s  %d:%02d left ", filled,
                     "##############################", width - filled, "", p.pagesDone,
                     p.pageCount, rate / 1e6, int(left) / 60, int(left) % 60);
        std::fflush(stderr);
    }
    void Finish(const kolva::BuildResult& result) {
        if (!m_enabled) return;
        const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        std::fprintf(stderr, "\nBuilt %zu pages, %llu positions in %.1f s\n", result.pages,
                     static_cast<unsigned long long>(result.positions), seconds);
    }

private:
    bool m_enabled;
    Clock::time_point m_start;
    Clock::time_point m_last{};
};

const char* const kPairsFiles[] = {"Index-idx.pairs", "Index_desc-idx.pairs",
                                   "Index_content-idx.pairs"};

// Moves the built files into outDir: the whole folder when outDir is new, else file by file
// (pairs files of an earlier build that this one did not write are removed).
void Publish(const std::filesystem::path& built, const std::filesystem::path& outDir) {
    if (!std::filesystem::exists(outDir)) {
        std::filesystem::rename(built, outDir);
        return;
    }
    for (const std::string& name : kolva::CollectionFileNames())
        std::filesystem::rename(built / name, outDir / name);
    for (const char* name : kPairsFiles) {
        if (std::filesystem::exists(built / name))
            std::filesystem::rename(built / name, outDir / name);
        else
            std::filesystem::remove(outDir / name);
    }
    std::filesystem::remove(built);
}

int Accelerate(const std::filesystem::path& dir) {
    try {
        kolva::AccelerateCollection(dir);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kolva-build: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "kolva-build 0.1\n";
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--accelerate") == 0 && argv[2][0] != '-')
        return Accelerate(argv[2]);
    bool pairs = true, progressLines = false;
    while (argc > 3 && (std::strcmp(argv[1], "--no-accelerator") == 0 || std::strcmp(argv[1], "--progress") == 0)) {
        if (std::strcmp(argv[1], "--progress") == 0)
            progressLines = true;
        else
            pairs = false;
        ++argv;
        --argc;
    }
    if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
        std::cerr << kUsage;
        return 2;
    }
    const std::filesystem::path source = argv[1];
    std::filesystem::path outDir = std::filesystem::absolute(argv[2]).lexically_normal();
    if (!outDir.has_filename()) outDir = outDir.parent_path();

    std::filesystem::path work;
    try {
        if (std::filesystem::exists(outDir) && !std::filesystem::is_directory(outDir)) {
            std::cerr << "kolva-build: " << outDir.string() << " is not a folder\n";
            return 1;
        }
        const kolva::CollectionSource collection = kolva::ReadCollectionSource(source);
        // Build beside OUTDIR, so that a failed build leaves nothing half-written behind.
        std::filesystem::create_directories(outDir.parent_path());
        std::string pattern = (outDir.parent_path() / ".kolva-build-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::cerr << "kolva-build: cannot create a work folder beside " << outDir.string()
                      << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        work = pattern;
        // mkdtemp makes a private folder; the collection is for every reader of the machine.
        const mode_t mask = umask(0);
        umask(mask);
        std::filesystem::permissions(work, std::filesystem::perms(0777 & ~mask));
        ProgressBar bar(!progressLines && isatty(STDERR_FILENO));
        size_t lastPermille = SIZE_MAX;
        kolva::BuildOptions options;
        options.pairsFiles = pairs;
        const kolva::BuildResult result = kolva::BuildCollection(collection, work, [&](const kolva::BuildProgress& p) {
            bar.Update(p);
            // A line each time another thousandth of the pages is done.
            const size_t permille = p.pageCount ? p.pagesDone * 1000 / p.pageCount : 1000;
            if (progressLines && permille != lastPermille) {
                std::fprintf(stderr, "progress %zu %zu\n", p.pagesDone, p.pageCount);
                std::fflush(stderr);
                lastPermille = permille;
            }
        }, options);
        Publish(work, outDir);
        bar.Finish(result);
        return 0;
    } catch (const std::exception& e) {
        if (isatty(STDERR_FILENO)) std::cerr << "\n";
        std::cerr << "kolva-build: " << e.what() << "\n";
        std::error_code ec;
        if (!work.empty()) std::filesystem::remove_all(work, ec);
        return 1;
    }
}
