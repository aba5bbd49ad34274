// Adding books to a collection source folder all or nothing. Everything is written into a work
// folder inside the source folder (".kolva-import-XXXXXX"); Commit() then moves each new book's
// folder into place and replaces catalogue.txt by a rename, last, so that the catalogue never
// names a folder that is not whole. A book whose title its category already holds is refused
// unless replacing is allowed; a folder is never reused: a new book's folder gets a name that
// nothing in the source folder has.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "import/book.h"

namespace kolva {

// The category of books given none (files given one by one, when no category is named).
inline constexpr std::string_view kDefaultCategory = "\xE5\x8F\x96\xE3\x82\x8A\xE8\xBE\xBC\xE3\x81\xBF";  // 取り込み

class SourceFolderWriter {
public:
    // Creates sourceDir when it is missing and reads its catalogue.txt (when there is one).
    SourceFolderWriter(const std::filesystem::path& sourceDir, bool replace);
    // Removes the work folder with everything in it unless Commit() succeeded.
    ~SourceFolderWriter();
    SourceFolderWriter(const SourceFolderWriter&) = delete;
    SourceFolderWriter& operator=(const SourceFolderWriter&) = delete;

    // Starts a book read from input.
    void BeginBook(const std::filesystem::path& input);
    // Writes a volume of the current book (pages framed in the page layout, numbered by their
    // labels when these are consecutive numbers, else from 1). Its title must be set.
    void AddVolume(ImportedVolume&& volume);
    size_t VolumesOfBook() const;
    size_t PagesOfBook() const;
    // Ends the current book: its place is category / title (UTF-8), its folder named after
    // stem. Raises ImportError when the category already holds a book of that title and
    // replacing is not allowed. Returns the folder, relative to the source folder.
    std::string EndBook(const std::string& category, const std::string& title, const std::string& stem,
                        bool& replaced);

    // The catalogue title of the book ended last (told apart from an earlier one of this
    // import with the same title by its file name).
    const std::string& TitleOfBook() const { return m_books.back().title; }

    // Moves the books into place and writes the catalogue. Raises ImportError (or a file
    // system error) and leaves the source folder as it was when it cannot.
    void Commit();

    const std::filesystem::path& WorkFolder() const { return m_work; }

private:
    struct Line {
        std::string text;  // without its line end
        int level = 0;     // 0: empty or comment
        std::string title;
        std::string folder;
    };
    struct Volume {
        std::string title;
        std::string folder;  // below the book's folder
    };
    struct Book {
        std::filesystem::path input;
        std::string category, title, folder;
        std::vector<Volume> volumes;
        size_t pages = 0;
        bool replaces = false;
    };

    std::filesystem::path BookWork(size_t book) const;
    std::string CatalogueText() const;
    bool FolderTaken(const std::string& name) const;
    // The index of the book line of category/title in m_lines, or -1.
    long FindBook(const std::string& category, const std::string& title) const;

    std::filesystem::path m_root;
    std::filesystem::path m_work;
    bool m_replace;
    std::vector<Line> m_lines;  // the catalogue as it was
    std::string m_lineEnd = "\n";
    std::vector<Book> m_books;
    bool m_open = false;
};

// A folder name from a file's stem: ASCII letters, digits, '.', '-' and '_' (others as '_'),
// at most 40 characters; "book" when nothing is left.
std::string FolderNameOf(const std::string& stem);
// A catalogue title: white space as single spaces, cut to 99 UTF-16 units.
std::string CatalogueTitle(const std::string& utf8);

}  // namespace kolva
