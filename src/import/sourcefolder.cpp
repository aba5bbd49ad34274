#include "import/sourcefolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "builder/source.h"
#include "import/textfile.h"
#include "text/utf8.h"

namespace kolva {

namespace {

constexpr uint64_t kMaxCatalogueBytes = uint64_t(16) << 20;
constexpr size_t kMaxFolderName = 40;

std::vector<std::string_view> SplitOn(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string ZeroPadded(size_t value, size_t width) {
    std::string digits = std::to_string(value);
    return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

std::string Escaped(std::string_view text) {
    std::string out;
    AppendHtmlEscaped(out, text);
    return out;
}

// The page numbers of a volume's labels when they are consecutive numbers from 1 to 65535
// (first number, or 0 when they are not).
size_t NumberedByLabels(const std::vector<ImportedPage>& pages) {
    size_t first = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string& label = pages[i].label;
        if (label.empty() || label.size() > 5 || label.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        const size_t value = std::stoul(label);
        if (i == 0) first = value;
        if (value != first + i || value < 1 || value > 0xFFFF) return 0;
    }
    return first;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) throw ImportError(path, 0, std::string("cannot be written: ") + std::strerror(errno));
}

bool HasSymlinkOnTheWay(const std::filesystem::path& root, const std::string& folder) {
    std::filesystem::path at = root;
    for (std::string_view part : SplitOn(folder, '/')) {
        at /= std::string(part);
        std::error_code ec;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(at, ec))) return true;
    }
    return false;
}

}  // namespace

std::string FolderNameOf(const std::string& stem) {
    std::string name;
    for (char c : stem) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '.' || c == '-' || c == '_';
        const char out = keep ? c : '_';
        if (out == '_' && !name.empty() && name.back() == '_') continue;
        name += out;
    }
    while (!name.empty() && (name.front() == '.' || name.front() == '_' || name.front() == '-'))
        name.erase(0, 1);
    if (name.size() > kMaxFolderName) name.resize(kMaxFolderName);
    while (!name.empty() && (name.back() == '.' || name.back() == '_' || name.back() == '-')) name.pop_back();
    bool letters = false;
    for (char c : name) letters = letters || (c != '.' && c != '-' && c != '_');
    return letters ? name : "book";
}

std::string CatalogueTitle(const std::string& utf8) {
    std::u32string points;
    size_t bad;
    if (!DecodeUtf8(utf8, points, bad)) points.clear();
    std::u32string clean;
    for (char32_t c : points) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0;
        if (c < 0x20 && !space) continue;
        if (space) {
            if (!clean.empty() && clean.back() != ' ') clean += ' ';
            continue;
        }
        clean += c;
    }
    while (!clean.empty() && (clean.back() == ' ' || clean.back() == 0x3000)) clean.pop_back();
    while (!clean.empty() && clean.front() == 0x3000) clean.erase(0, 1);
    // 99 UTF-16 units, a character never cut in two.
    size_t units = 0, keep = 0;
    while (keep < clean.size() && units + (clean[keep] >= 0x10000 ? 2 : 1) <= 99)
        units += clean[keep++] >= 0x10000 ? 2 : 1;
    clean.resize(keep);
    while (!clean.empty() && (clean.back() == ' ' || clean.back() == 0x3000)) clean.pop_back();
    return ToUtf8(clean);
}

SourceFolderWriter::SourceFolderWriter(const std::filesystem::path& sourceDir, bool replace)
    : m_replace(replace) {
    m_root = std::filesystem::absolute(sourceDir).lexically_normal();
    if (!m_root.has_filename()) m_root = m_root.parent_path();
    std::error_code ec;
    if (std::filesystem::exists(m_root, ec) && !std::filesystem::is_directory(m_root, ec))
        throw ImportError(m_root, 0, "is not a folder");
    std::filesystem::create_directories(m_root);

    const std::filesystem::path catalogue = m_root / "catalogue.txt";
    if (std::filesystem::exists(catalogue, ec)) {
        const std::string bytes = ReadInputFile(catalogue, kMaxCatalogueBytes);
        ParseCatalogueText(bytes, catalogue);  // a faulty catalogue is not added to
        std::string_view text = bytes;
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        std::vector<std::string_view> lines = SplitOn(text, '\n');
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        if (!lines.empty() && !lines.front().empty() && lines.front().back() == '\r') m_lineEnd = "\r\n";
        for (std::string_view raw : lines) {
            if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            Line line{std::string(raw), 0, {}, {}};
            if (!raw.empty() && raw.front() != '#' && raw.find_first_not_of(" \t") != std::string_view::npos) {
                const std::vector<std::string_view> fields = SplitOn(raw, '\t');
                line.level = fields[0][0] - '0';
                line.title = std::string(fields[1]);
                if (fields.size() > 2) line.folder = std::string(fields[2]);
                while (!line.folder.empty() && line.folder.back() == '/') line.folder.pop_back();
            }
            m_lines.push_back(std::move(line));
        }
    }

    std::string pattern = (m_root / ".kolva-import-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw ImportError(m_root, 0, std::string("cannot make a work folder in it: ") + std::strerror(errno));
    m_work = pattern;
    // mkdtemp makes a private folder; the books are for every reader of the source.
    const mode_t mask = umask(0);
    umask(mask);
    std::filesystem::permissions(m_work, std::filesystem::perms(0777 & ~mask), ec);
}

SourceFolderWriter::~SourceFolderWriter() {
    std::error_code ec;
    if (!m_work.empty()) std::filesystem::remove_all(m_work, ec);
}

std::filesystem::path SourceFolderWriter::BookWork(size_t book) const {
    return m_work / ("b" + std::to_string(book));
}

void SourceFolderWriter::BeginBook(const std::filesystem::path& input) {
    m_books.push_back(Book{input, {}, {}, {}, {}, 0, false});
    m_open = true;
    std::filesystem::create_directories(BookWork(m_books.size() - 1));
}

size_t SourceFolderWriter::VolumesOfBook() const { return m_books.empty() ? 0 : m_books.back().volumes.size(); }
size_t SourceFolderWriter::PagesOfBook() const { return m_books.empty() ? 0 : m_books.back().pages; }

void SourceFolderWriter::AddVolume(ImportedVolume&& volume) {
    Book& book = m_books.back();
    const std::vector<ImportedPage>& pages = volume.pages;
    const size_t byLabels = NumberedByLabels(pages);
    if (!byLabels && pages.size() > 0xFFFF)
        throw ImportError(book.input, 0,
                          "the volume \"" + volume.title + "\" has " + std::to_string(pages.size()) +
                              " pages, more than a volume holds (65535); give a larger --page-chars");
    const size_t first = byLabels ? byLabels : 1;
    const std::string folder = "v" + ZeroPadded(book.volumes.size() + 1, 3);
    const std::filesystem::path dir = BookWork(m_books.size() - 1) / folder;
    std::filesystem::create_directories(dir);
    const size_t width = std::max<size_t>(4, std::to_string(first + pages.size() - 1).size());
    const std::string title = Escaped(volume.title);
    for (size_t i = 0; i < pages.size(); ++i) {
        const size_t number = first + i;
        const std::string shown = Escaped(pages[i].label.empty() ? std::to_string(number) : pages[i].label);
        WriteFile(dir / (ZeroPadded(number, width) + ".htm"),
                  FramePage(title + " " + shown, pages[i].body, title + "<br>" + shown, int(number)));
    }
    book.volumes.push_back(Volume{CatalogueTitle(volume.title), folder});
    book.pages += pages.size();
}

long SourceFolderWriter::FindBook(const std::string& category, const std::string& title) const {
    std::string current;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].level == 1) current = m_lines[i].title;
        if (m_lines[i].level == 2 && current == category && m_lines[i].title == title) return long(i);
    }
    return -1;
}

bool SourceFolderWriter::FolderTaken(const std::string& name) const {
    std::error_code ec;
    if (std::filesystem::symlink_status(m_root / name, ec).type() != std::filesystem::file_type::not_found)
        return true;
    for (const Line& line : m_lines)
        if (!line.folder.empty() && line.folder.substr(0, line.folder.find('/')) == name) return true;
    for (const Book& book : m_books)
        if (book.folder == name) return true;
    return false;
}

std::string SourceFolderWriter::EndBook(const std::string& category, const std::string& title,
                                        const std::string& stem, bool& replaced) {
    m_open = false;
    Book& book = m_books.back();
    if (book.volumes.empty()) throw ImportError(book.input, 0, "no text was found in it");
    book.category = CatalogueTitle(category);
    if (book.category.empty()) book.category = std::string(kDefaultCategory);
    book.title = CatalogueTitle(title);
    if (book.title.empty()) book.title = CatalogueTitle(stem);
    if (book.title.empty()) book.title = "book";
    // Files of one run with the same title (the fascicles of one work, say) are told apart by
    // their file names.
    const auto takenInRun = [&](const std::string& t) {
        for (size_t i = 0; i + 1 < m_books.size(); ++i)
            if (m_books[i].category == book.category && m_books[i].title == t) return true;
        return false;
    };
    if (takenInRun(book.title)) {
        const std::string base = CatalogueTitle(title + " [" + stem + "]");
        std::string t = base;
        for (int n = 2; takenInRun(t); ++n) t = CatalogueTitle(base + " " + std::to_string(n));
        book.title = t;
    }
    replaced = false;
    if (FindBook(book.category, book.title) >= 0) {
        if (!m_replace)
            throw ImportError(book.input, 0,
                              "the catalogue already holds the book \"" + book.title + "\" in \"" +
                                  book.category + "\" (give --replace to replace it)");
        book.replaces = replaced = true;
    }
    const std::string base = FolderNameOf(stem);
    std::string folder = base;
    for (int n = 2; FolderTaken(folder); ++n) folder = base + "-" + std::to_string(n);
    book.folder = folder;
    return folder;
}

std::string SourceFolderWriter::CatalogueText() const {
    std::vector<Line> lines = m_lines;
    for (const Book& book : m_books) {
        std::vector<Line> block{Line{"2\t" + book.title, 2, book.title, {}}};
        for (const Volume& v : book.volumes) {
            const std::string folder = book.folder + "/" + v.folder;
            block.push_back(Line{"3\t" + v.title + "\t" + folder, 3, v.title, folder});
        }
        long at = -1;
        std::string current;
        for (size_t i = 0; i < lines.size() && at < 0 && book.replaces; ++i) {
            if (lines[i].level == 1) current = lines[i].title;
            if (lines[i].level == 2 && current == book.category && lines[i].title == book.title) at = long(i);
        }
        if (at >= 0) {
            size_t end = size_t(at) + 1;
            for (size_t j = end; j < lines.size() && lines[j].level != 1 && lines[j].level != 2; ++j)
                if (lines[j].level == 3) end = j + 1;
            lines.erase(lines.begin() + at, lines.begin() + long(end));
            lines.insert(lines.begin() + at, block.begin(), block.end());
            continue;
        }
        long category = -1;
        for (size_t i = 0; i < lines.size() && category < 0; ++i)
            if (lines[i].level == 1 && lines[i].title == book.category) category = long(i);
        if (category < 0) {
            lines.push_back(Line{"1\t" + book.category, 1, book.category, {}});
            lines.insert(lines.end(), block.begin(), block.end());
            continue;
        }
        size_t end = size_t(category) + 1;
        for (size_t j = end; j < lines.size() && lines[j].level != 1; ++j)
            if (lines[j].level > 0) end = j + 1;
        lines.insert(lines.begin() + long(end), block.begin(), block.end());
    }
    std::string text;
    for (const Line& line : lines) text += line.text + m_lineEnd;
    return text;
}

void SourceFolderWriter::Commit() {
    if (m_open) throw ImportError(m_root, 0, "a book is not finished");
    const std::filesystem::path catalogue = m_root / "catalogue.txt";
    const std::string text = CatalogueText();
    ParseCatalogueText(text, catalogue);  // at most 9999 entries, and the like
    WriteFile(m_work / "catalogue.txt", text);

    // The replaced books' volume folders go into the work folder (removed with it); a folder
    // reached through a link, or holding a folder of another volume, is left where it is.
    std::vector<std::string> oldFolders;
    for (const Book& book : m_books) {
        if (!book.replaces) continue;
        std::string current;
        bool inBook = false;
        for (const Line& line : m_lines) {
            if (line.level == 1) current = line.title;
            if (line.level == 1 || line.level == 2)
                inBook = line.level == 2 && current == book.category && line.title == book.title;
            if (inBook && line.level == 3) oldFolders.push_back(line.folder);
        }
    }
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> moved;  // from, to
    try {
        size_t n = 0;
        for (const std::string& folder : oldFolders) {
            bool holdsOther = false;
            for (const Line& line : m_lines)
                holdsOther = holdsOther || line.folder.substr(0, folder.size() + 1) == folder + "/";
            const std::filesystem::path from = m_root / folder;
            std::error_code ec;
            if (holdsOther || HasSymlinkOnTheWay(m_root, folder) || !std::filesystem::is_directory(from, ec))
                continue;
            const std::filesystem::path to = m_work / "replaced" / std::to_string(n++);
            std::filesystem::create_directories(to.parent_path());
            std::filesystem::rename(from, to);
            moved.emplace_back(from, to);
        }
        for (size_t i = 0; i < m_books.size(); ++i) {
            const std::filesystem::path to = m_root / m_books[i].folder;
            std::filesystem::rename(BookWork(i), to);
            moved.emplace_back(BookWork(i), to);
        }
        std::filesystem::rename(m_work / "catalogue.txt", catalogue);
    } catch (...) {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            std::error_code ec;
            std::filesystem::rename(it->second, it->first, ec);
        }
        throw;
    }
    // Folders that held nothing but the replaced volumes go too.
    for (const std::string& folder : oldFolders) {
        std::filesystem::path parent = (m_root / folder).parent_path();
        while (parent != m_root && parent.string().size() > m_root.string().size()) {
            std::error_code ec;
            if (!std::filesystem::is_empty(parent, ec) || ec || HasSymlinkOnTheWay(m_root, std::filesystem::relative(parent, m_root).generic_string()))
                break;
            std::filesystem::remove(parent, ec);
            parent = parent.parent_path();
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(m_work, ec);
}

}  // namespace kolva
