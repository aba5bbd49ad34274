// The importer's contract with the source folder: books are added to what is there, a book of
// the same title is refused without --replace and replaced with it, and hostile or faulty input
// fails with a message naming the file (and line) while the source folder stays as it was.
#include <gtest/gtest.h>

#include "builder/source.h"
#include "import/importer.h"
#include "import_support.h"

namespace kolva {
namespace {

using test::Outcome;
using test::RunProgram;
using test::TempDir;
using test::WriteBytes;
using test::ZipEntry;

TEST(ImportSource, BooksJoinTheFolderSameTitlesNeedReplace) {
    TempDir in, work;
    const std::filesystem::path src = work / "src";
    std::filesystem::create_directories(src / "old/v1");
    WriteBytes(src / "catalogue.txt", "# hand-written\n1\t詩\n2\t舊書\n3\t卷一\told/v1\n1\t其他\n");
    WriteBytes(src / "old/v1/1.txt", "舊文\n");
    WriteBytes(in / "a.txt", "甲書之文\n");
    WriteBytes(in / "b.txt", "乙書之文\n");

    // Into an existing category, after its books; the other category and the comment stay.
    Outcome o = RunProgram("kolva-import", {"--category", "詩", (in / "a.txt").string(), src.string()});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "詩\ta\ta\t1\t1\n");
    EXPECT_EQ(test::ReadBytes(src / "catalogue.txt"),
              "# hand-written\n1\t詩\n2\t舊書\n3\t卷一\told/v1\n2\ta\n3\ta\ta/v001\n1\t其他\n");

    // The same title again: refused, nothing changes; with --replace, in its place, and the
    // folder of the old one gone (the new one never takes a folder that is there).
    const auto before = test::Listing(src);
    o = RunProgram("kolva-import", {"--category", "詩", "--book", "a", (in / "b.txt").string(), src.string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("b.txt: the catalogue already holds the book \"a\" in \"詩\" (give --replace"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(test::Listing(src), before);
    o = RunProgram("kolva-import", {"--replace", "--category", "詩", "--book", "a", (in / "b.txt").string(), src.string()});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "詩\ta\tb\t1\t1\treplaced\n");
    EXPECT_EQ(test::ReadBytes(src / "catalogue.txt"),
              "# hand-written\n1\t詩\n2\t舊書\n3\t卷一\told/v1\n2\ta\n3\ta\tb/v001\n1\t其他\n");
    EXPECT_FALSE(std::filesystem::exists(src / "a"));
    EXPECT_NE(test::ReadBytes(src / "b/v001/0001.htm").find("乙書之文"), std::string::npos);
    // A new book is new: a folder named like it gets another name.
    std::filesystem::create_directories(src / "c");
    WriteBytes(in / "c.txt", "丙\n");
    o = RunProgram("kolva-import", {(in / "c.txt").string(), src.string()});
    EXPECT_EQ(o.out, "取り込み\tc\tc-2\t1\t1\n");
    ReadCollectionSource(src);  // kolva-build reads what came of it
    for (const auto& item : std::filesystem::directory_iterator(src))
        EXPECT_NE(item.path().filename().string().substr(0, 13), ".kolva-import");
}

TEST(ImportSource, AFolderIsACategoryTitlesOfOneRunAreToldApart) {
    TempDir in, work;
    std::filesystem::create_directories(in / "corpus/sub");
    const std::string tei = "<TEI xmlns=\"http://www.tei-c.org/ns/1.0\"><teiHeader><fileDesc><titleStmt>"
                            "<title>同題</title></titleStmt></fileDesc></teiHeader><text><body><p>文一</p></body></text></TEI>";
    WriteBytes(in / "corpus/x1.xml", tei);
    WriteBytes(in / "corpus/sub/x2.xml", tei);
    WriteBytes(in / "corpus/readme.md", "not imported");
    const std::vector<ImportedBook> books = ImportIntoSource({in / "corpus"}, work / "src", {});
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(test::ReadBytes(work / "src/catalogue.txt"),
              "1\tcorpus\n2\t同題\n3\t同題\tx2/v001\n2\t同題 [x1]\n3\t同題\tx1/v001\n");
}

TEST(ImportSource, CancelLeavesNothing) {
    TempDir in, work;
    WriteBytes(in / "a.txt", "甲\n");
    WriteBytes(in / "b.txt", "乙\n");
    std::atomic<bool> cancel{false};
    EXPECT_THROW(ImportIntoSource({in / "a.txt", in / "b.txt"}, work.path(), {},
                                  [&](const ImportProgress& p) { cancel = p.filesDone == 1; }, &cancel),
                 ImportCancelled);
    EXPECT_TRUE(test::Listing(work.path()).empty());
}

// --- hostile and faulty input ----------------------------------------------------------------

std::string Page(const std::string& body) { return test::Xhtml("<p>" + body + "</p>"); }

std::vector<ZipEntry> Epub(const std::string& manifest, const std::string& spine, std::vector<ZipEntry> files) {
    return test::EpubEntries("3.0", manifest, spine, std::move(files));
}

const std::string kItem = "<item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/>";
const std::string kSpine = "<spine><itemref idref=\"c1\"/></spine>";

struct HostileCase {
    const char* name;
    const char* file;  // written into the input folder
    std::function<void(const std::filesystem::path&)> write;
    std::string message;  // part of the error, after the file's name
    ImportOptions options = {};
};

std::vector<HostileCase> HostileCases() {
    const auto zip = [](std::vector<ZipEntry> entries) {
        return [entries](const std::filesystem::path& f) { test::WriteZip(f, entries); };
    };
    const auto bytes = [](std::string b) { return [b](const std::filesystem::path& f) { WriteBytes(f, b); }; };
    ImportOptions small;
    small.zipLimits.entryBytes = 1 << 20;
    small.zipLimits.archiveBytes = 3 << 20;
    ImportOptions utf8;
    utf8.encoding = "UTF-8";
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE TEI [\n<!ENTITY a \"aaaaaaaaaa\">\n<!ENTITY b \"&a;&a;&a;&a;&a;&a;\">\n]>\n"
        "<TEI xmlns=\"http://www.tei-c.org/ns/1.0\"><text><body><p>&b;</p></body></text></TEI>";
    const std::string external =
        "<?xml version=\"1.0\"?>\n<!-- x -->\n<!DOCTYPE html [ <!ENTITY x SYSTEM \"file:///etc/passwd\"> ]>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>&x;</p></body></html>";
    return {
        {"entry outside", "a.epub",
         zip(Epub(kItem, kSpine, {{"OEBPS/c1.xhtml", Page("x")}, {"../evil.xhtml", Page("x")}})),
         "a.epub: the entry \"../evil.xhtml\" points outside the archive"},
        {"absolute entry", "a.epub", zip(Epub(kItem, kSpine, {{"OEBPS/c1.xhtml", Page("x")}, {"/etc/x", "x"}})),
         "a.epub: the entry \"/etc/x\" points outside"},
        {"symbolic link", "a.epub",
         zip(Epub(kItem, kSpine, {{"OEBPS/c1.xhtml", "/etc/passwd", true}})),
         "a.epub: the entry \"OEBPS/c1.xhtml\" is a symbolic link"},
        {"manifest outside", "a.epub",
         zip(Epub("<item id=\"c1\" href=\"../../../etc/passwd\" media-type=\"application/xhtml+xml\"/>", kSpine, {})),
         "a.epub/OEBPS/content.opf:1: the manifest item \"../../../etc/passwd\" points outside the archive"},
        {"entry bomb", "a.epub",
         zip(Epub(kItem, kSpine, {{"OEBPS/c1.xhtml", Page(std::string(2 << 20, 'a'))}})),
         "a.epub: OEBPS/c1.xhtml unpacks to more than 1 MiB (refused: a ZIP bomb?)", small},
        {"archive bomb", "a.epub",
         zip(Epub(kItem + "<item id=\"c2\" href=\"c2.xhtml\" media-type=\"application/xhtml+xml\"/>"
                          "<item id=\"c3\" href=\"c3.xhtml\" media-type=\"application/xhtml+xml\"/>"
                          "<item id=\"c4\" href=\"c4.xhtml\" media-type=\"application/xhtml+xml\"/>",
                  "<spine><itemref idref=\"c1\"/><itemref idref=\"c2\"/><itemref idref=\"c3\"/><itemref idref=\"c4\"/></spine>",
                  {{"OEBPS/c1.xhtml", Page(std::string(900 << 10, 'a'))},
                   {"OEBPS/c2.xhtml", Page(std::string(900 << 10, 'a'))},
                   {"OEBPS/c3.xhtml", Page(std::string(900 << 10, 'a'))},
                   {"OEBPS/c4.xhtml", Page(std::string(900 << 10, 'a'))}})),
         "a.epub: the archive unpacks to more than 3 MiB (refused: a ZIP bomb?)", small},
        {"no spine", "a.epub", zip(Epub(kItem, "", {{"OEBPS/c1.xhtml", Page("x")}})),
         "a.epub/OEBPS/content.opf: the book has no spine"},
        {"looping spine", "a.epub",
         zip(Epub(kItem, "<spine><itemref idref=\"c1\"/>\n<itemref idref=\"c1\"/></spine>", {{"OEBPS/c1.xhtml", Page("x")}})),
         "a.epub/OEBPS/content.opf:2: the spine names OEBPS/c1.xhtml twice (a looping spine)"},
        {"spine names nothing", "a.epub", zip(Epub(kItem, "<spine><itemref idref=\"c9\"/></spine>", {})),
         "a.epub/OEBPS/content.opf:1: the spine names the item \"c9\", which the manifest lacks"},
        {"spine item missing", "a.epub", zip(Epub(kItem, kSpine, {})),
         "a.epub/OEBPS/content.opf:1: OEBPS/c1.xhtml, named by the spine, is missing from the archive"},
        {"not a zip", "a.epub", bytes("PK\x03\x04 not really"), "a.epub: not a readable ZIP archive"},
        {"two texts in a zip", "a.zip", zip({{"a.txt", "x"}, {"b.txt", "y"}}),
         "a.zip: the archive holds more than one .txt file"},
        {"external entity", "a.epub", zip(Epub(kItem, kSpine, {{"OEBPS/c1.xhtml", external}})),
         "a.epub/OEBPS/c1.xhtml:3: the document declares a document type of its own"},
        {"entity expansion", "a.xml", bytes(laughs), "a.xml:2: the document declares a document type of its own"},
        {"undeclared entity", "a.xml",
         bytes("<TEI xmlns=\"http://www.tei-c.org/ns/1.0\"><text><body>\n<p>&nbsp;&unknown;</p></body></text></TEI>"),
         "a.xml:2: not well-formed XML: Entity 'unknown' not defined"},
        {"not well-formed", "a.xml", bytes("<TEI>\n<text>\n<body></TEI>"), "a.xml:3: not well-formed XML"},
        {"not TEI", "a.xml", bytes("<html/>"), "a.xml:1: not a TEI document (its root element is <html>)"},
        {"wrong encoding", "a.txt", bytes("第一行\n" + test::Encode("第二行", "GB18030") + "\n"),
         "a.txt:2: the text is not UTF-8 (given): byte 0xB5", utf8},
        {"mixed encodings", "a.txt",
         bytes(test::Encode(std::string(40, 'x') + "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。\n"
                            "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\n", "SHIFT_JIS") +
               "これはUTF-8の行\n"),
         "a.txt:3: the text is not CP932 (as detected): byte 0x"},
        {"unknown encoding", "a.txt", bytes("x\n"), "a.txt: the encoding NO-SUCH-CODE is not known",
         [] { ImportOptions o; o.encoding = "NO-SUCH-CODE"; return o; }()},
        {"line of megabytes", "a.txt", bytes("一\n二\n" + std::string(3 << 20, 'x') + "\n"),
         "a.txt:3: a line of 3145728 bytes; lines longer than 1048576 bytes are refused"},
        {"binary", "a.txt", bytes(std::string("ab\ncd\0\0", 7)), "a.txt:2: a NUL character: this is not a text file"},
        {"no text", "a.txt", bytes("\n  \n"), "a.txt: no text was found in it"},
    };
}

TEST(ImportHostile, EachFailsNamingTheFileAndLeavesTheSourceAsItWas) {
    for (const HostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.name);
        TempDir in, work;
        const std::filesystem::path src = work / "src";
        std::filesystem::create_directories(src / "kept/v1");
        WriteBytes(src / "catalogue.txt", "1\t類\n2\t書\n3\t卷\tkept/v1\n");
        WriteBytes(src / "kept/v1/1.txt", "文\n");
        c.write(in / c.file);
        const auto before = test::Listing(work.path());
        const auto inputsBefore = test::Listing(in.path());
        try {
            ImportIntoSource({in / c.file}, src, c.options);
            ADD_FAILURE() << "imported";
        } catch (const std::exception& e) {
            const std::string expected = (in / c.message).string();
            EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected);
        }
        EXPECT_EQ(test::Listing(work.path()), before);
        EXPECT_EQ(test::Listing(in.path()), inputsBefore);
    }
}

TEST(ImportHostile, TheProgramExitsWithOneAndTheMessageOnStandardError) {
    TempDir in, work;
    WriteBytes(in / "a.txt", "x\n" + std::string(2 << 20, 'y') + "\n");
    const Outcome o = RunProgram("kolva-import", {(in / "a.txt").string(), (work / "src").string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "kolva-import: " + (in / "a.txt").string() +
                         ":2: a line of 2097152 bytes; lines longer than 1048576 bytes are refused "
                         "(is this a text file?)\n");
    EXPECT_FALSE(std::filesystem::exists(work / "src/catalogue.txt"));
    EXPECT_EQ(RunProgram("kolva-import", {(in / "a.txt").string()}).status, 2);
    EXPECT_EQ(RunProgram("kolva-import", {"--format", "doc", (in / "a.txt").string(), "src"}).status, 2);
    EXPECT_EQ(RunProgram("kolva-import", {"--page-chars", "0", (in / "a.txt").string(), "src"}).status, 2);
    EXPECT_EQ(RunProgram("kolva-import", {"--book", "t", in.path().string(), (in / "a.txt").string(), "src"}).status, 2);
    const Outcome help = RunProgram("kolva-import", {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.substr(0, 20), "Usage: kolva-import ");
}

}  // namespace
}  // namespace kolva
