#include "import/importer.h"

#include <algorithm>

#include "import/readers.h"
#include "import/sourcefolder.h"
#include "import/textfile.h"
#include "text/utf8.h"

namespace kolva {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool IsImportable(const std::filesystem::path& file) {
    const std::string ext = Lower(file.extension().string());
    return ext == ".txt" || ext == ".epub" || ext == ".xml" || ext == ".tei" || ext == ".zip";
}

// A file name as a title: its UTF-8 when it is UTF-8.
std::string NameAsText(const std::string& name) {
    size_t bad;
    return AppendUtf8Decoded(name, nullptr, bad) ? name : std::string();
}

bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const std::string p = path.generic_string(), f = folder.generic_string();
    return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}

ImportFormat FormatOf(const std::filesystem::path& file, std::string_view head) {
    const std::string ext = Lower(file.extension().string());
    if (ext == ".epub") return ImportFormat::kEpub;
    if (ext == ".xml" || ext == ".tei") return ImportFormat::kTei;
    if (ext == ".txt" || ext == ".zip") return ImportFormat::kAuto;  // plain or Aozora, by the text
    size_t i = head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\n' || head[i] == '\r' || head[i] == '\t')) ++i;
    if (head.substr(i, 5) == "<?xml" || head.substr(i, 4) == "<TEI") return ImportFormat::kTei;
    return ImportFormat::kAuto;
}

std::string HeadOf(const std::filesystem::path& file) { return ReadInputFile(file, 256, true); }

}  // namespace

bool ParseImportFormat(std::string_view name, ImportFormat& format) {
    const std::pair<std::string_view, ImportFormat> names[] = {
        {"auto", ImportFormat::kAuto}, {"txt", ImportFormat::kText}, {"epub", ImportFormat::kEpub},
        {"tei", ImportFormat::kTei},   {"aozora", ImportFormat::kAozora}};
    for (const auto& [n, f] : names)
        if (name == n) {
            format = f;
            return true;
        }
    return false;
}

std::vector<ImportInput> ListImportInputs(const std::vector<std::filesystem::path>& inputs,
                                          const std::filesystem::path& sourceDir,
                                          const ImportOptions& options) {
    std::error_code ec;
    const std::filesystem::path source = std::filesystem::weakly_canonical(sourceDir, ec);
    std::vector<ImportInput> out;
    for (const std::filesystem::path& input : inputs) {
        const std::filesystem::file_status status = std::filesystem::status(input, ec);
        if (std::filesystem::is_regular_file(status)) {
            out.push_back({input, options.category.empty() ? std::string(kDefaultCategory) : options.category});
            continue;
        }
        if (!std::filesystem::is_directory(status)) throw ImportError(input, 0, "no such file or folder");
        std::string category = options.category;
        if (category.empty()) {
            const std::filesystem::path name = std::filesystem::absolute(input).lexically_normal();
            category = NameAsText((name.has_filename() ? name : name.parent_path()).filename().string());
        }
        if (category.empty()) category = kDefaultCategory;
        std::vector<std::filesystem::path> files;
        for (auto it = std::filesystem::recursive_directory_iterator(input);
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            const std::filesystem::path& path = it->path();
            const bool hidden = path.filename().string().front() == '.';
            const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
            if (hidden || canonical == source || IsInside(canonical, source)) {
                if (it->is_directory()) it.disable_recursion_pending();
                continue;
            }
            if (it->is_regular_file() && IsImportable(path)) files.push_back(path);
        }
        if (files.empty())
            throw ImportError(input, 0, "holds no text, EPUB, TEI or ZIP files (.txt, .epub, .xml, .tei, .zip)");
        std::sort(files.begin(), files.end());
        for (std::filesystem::path& f : files) out.push_back({std::move(f), category});
    }
    return out;
}

void ReadBookFile(const std::filesystem::path& file, ImportFormat format, const ImportOptions& options,
                  BookBuilder& book, BookInfo& info) {
    const std::string head = HeadOf(file);
    if (format == ImportFormat::kAuto) format = FormatOf(file, head);
    std::filesystem::path where = file;
    std::string bytes;
    if (format == ImportFormat::kEpub) {
        ZipArchive archive(file, options.zipLimits);
        ReadEpub(archive, book, info);
        return;
    }
    if (head.substr(0, 4) == "PK\x03\x04") {
        // An EPUB book by another name, or an archive of one text file (as Aozora Bunko hands
        // its texts out).
        ZipArchive archive(file, options.zipLimits);
        if (archive.Has("META-INF/container.xml")) {
            ReadEpub(archive, book, info);
            return;
        }
        std::vector<std::string> texts;
        for (const std::string& name : archive.Names())
            if (name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".txt") texts.push_back(name);
        if (texts.size() != 1)
            throw ImportError(file, 0, texts.empty() ? "the archive is no EPUB book and holds no .txt file"
                                                     : "the archive holds more than one .txt file");
        bytes = archive.Read(texts.front());
        where = file / texts.front();
    } else {
        bytes = ReadInputFile(file, options.maxFileBytes);
    }
    if (format == ImportFormat::kTei) {
        ReadTei(bytes, where, book, info);
        return;
    }
    const DecodedText text = DecodeText(bytes, options.encoding, where);
    if (format == ImportFormat::kAozora || (format == ImportFormat::kAuto && LooksLikeAozora(text.utf8)))
        ReadAozora(text.utf8, where, book, info);
    else
        ReadPlainText(text.utf8, where, book, info);
}

std::vector<ImportedBook> ImportIntoSource(const std::vector<std::filesystem::path>& inputs,
                                           const std::filesystem::path& sourceDir,
                                           const ImportOptions& options,
                                           const std::function<void(const ImportProgress&)>& progress,
                                           const std::atomic<bool>* cancel) {
    const std::vector<ImportInput> files = ListImportInputs(inputs, sourceDir, options);
    if (!options.book.empty() && files.size() != 1)
        throw ImportError(inputs.front(), 0,
                          "a book title is given, but " + std::to_string(files.size()) + " files are imported");
    ImportProgress state;
    state.fileCount = files.size();
    for (const ImportInput& f : files) {
        std::error_code ec;
        state.bytesTotal += std::filesystem::file_size(f.file, ec);
    }
    const auto cancelled = [&] { return cancel && cancel->load(std::memory_order_relaxed); };

    SourceFolderWriter writer(sourceDir, options.replace);
    std::vector<ImportedBook> books;
    for (const ImportInput& input : files) {
        state.file = input.file;
        if (progress) progress(state);
        if (cancelled()) throw ImportCancelled();

        writer.BeginBook(input.file);
        BookInfo info;
        const std::string stem = input.file.stem().string();
        const auto title = [&] {
            if (!options.book.empty()) return options.book;
            if (!info.title.empty()) return info.title;
            const std::string name = NameAsText(stem);
            return name.empty() ? std::string("book") : name;
        };
        size_t untitled = 0;
        BookBuilder book(
            options.pageChars,
            [&](ImportedVolume&& volume) {
                if (CatalogueTitle(volume.title).empty())
                    volume.title = ++untitled == 1 ? title() : title() + " " + std::to_string(untitled);
                state.pagesDone += volume.pages.size();
                writer.AddVolume(std::move(volume));
                if (progress) progress(state);
            },
            cancel);
        ReadBookFile(input.file, options.format, options, book, info);
        book.Finish();

        std::string bookTitle = title();
        if (options.book.empty() && !info.author.empty())
            bookTitle += "\xEF\xBC\x88" + info.author + "\xEF\xBC\x89";  // （author）
        ImportedBook done;
        done.input = input.file;
        done.volumes = writer.VolumesOfBook();
        done.pages = writer.PagesOfBook();
        done.folder = writer.EndBook(input.category, bookTitle, stem, done.replaced);
        done.category = CatalogueTitle(input.category);
        done.title = writer.TitleOfBook();
        books.push_back(std::move(done));

        std::error_code ec;
        state.bytesDone += std::filesystem::file_size(input.file, ec);
        ++state.filesDone;
    }
    if (cancelled()) throw ImportCancelled();
    writer.Commit();
    state.file.clear();
    if (progress) progress(state);
    return books;
}

}  // namespace kolva
