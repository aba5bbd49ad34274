// Files of each outside format, made here, imported by kolva-import, built by kolva-build and
// searched by kolva-search: phrases of the main text with their counts, notes and ruby in the
// notes and not in the main text, phrases running over a ruby or a note, pages and volumes.
#include <gtest/gtest.h>

#include "import_support.h"

namespace kolva {
namespace {

using test::Encode;
using test::Outcome;
using test::RunProgram;
using test::TempDir;
using test::WriteBytes;

// A source folder imported from files and built into a collection.
class Imported {
public:
    // Runs kolva-import with args and the source folder, then kolva-build.
    explicit Imported(std::vector<std::string> args) {
        args.push_back((m_dir / "src").string());
        m_import = RunProgram("kolva-import", args);
        if (m_import.status != 0) return;
        const Outcome built = RunProgram("kolva-build", {(m_dir / "src").string(), (m_dir / "out").string()});
        EXPECT_EQ(built.status, 0) << built.err;
    }
    const Outcome& import() const { return m_import; }
    std::filesystem::path source() const { return m_dir / "src"; }

    // The result rows of a search as "volume|page|hits".
    std::vector<std::string> Rows(const std::string& target, const std::string& phrase) const {
        const Outcome o = RunProgram("kolva-search", {"--data", (m_dir / "out").string(), "--target", target,
                                               "--variant", "off", "--", phrase});
        EXPECT_EQ(o.status, 0) << o.err;
        std::vector<std::string> rows;
        std::istringstream in(o.out);
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> f;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
            if (f.size() == 6) rows.push_back(f[2] + "|" + f[3] + "|" + f[4]);
        }
        return rows;
    }
    // The titles of the catalogue's entries, level and title, one a line.
    std::string Catalogue() const { return test::ReadBytes(source() / "catalogue.txt"); }

private:
    TempDir m_dir;
    Outcome m_import;
};

using Rows = std::vector<std::string>;

// --- plain text -----------------------------------------------------------------------------

const std::string kChineseNovel =
    "紅樓夢\n"
    "\n"
    "第一回　甄士隱夢幻識通靈　賈雨村風塵懷閨秀\n"
    "\n"
    "此開卷第一回也。作者自云：因曾歷過一番夢幻之後，故將真事隱去（而借通靈之說），撰此石頭記一書也。\n"
    "更於篇中間用夢幻等字，卻是此書本旨，兼寓提醒閱者之意。看官你道此書從何而來？說起根由雖近荒唐，細按則深有趣味。\n"
    "\n"
    "第二回　賈夫人仙逝揚州城　冷子興演說榮國府\n"
    "\n"
    "詩云：一局輸贏料不真，香銷茶盡尚逡巡。欲知目下興衰兆，須問旁觀冷眼人。\n"
    "〔批：此回亦非正文本旨〕只在冷子興一人，即俗謂冷中出熱，無中生有也。\n";

const std::string kJapaneseNovel =
    "第一章　猫\n"
    "\n"
    "　吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所で"
    "ニャーニャー泣いていた事だけは記憶している。吾輩はここで始めて人間というものを見た。\n"
    "\n"
    "第二章　書生\n"
    "\n"
    "　しかもあとで聞くとそれは書生という人間中で一番獰悪な種族であったそうだ。この書生というのは"
    "時々我々を捕えて煮て食うという話である。しかしその当時は何という考もなかったから別段恐しいとも思わなかった。\n";

TEST(ImportPlainText, EncodingsDetectedChaptersAsVolumesBracketsStayText) {
    struct Case {
        const char* name;
        const std::string* text;
        const char* encoding;
        std::vector<std::pair<std::string, Rows>> main;  // phrase, rows
        std::string notInNotes;
    };
    const std::vector<Case> cases = {
        {"gb18030", &kChineseNovel, "GB18030",
         {{"夢幻", {"第一回　甄士隱夢幻識通靈　賈雨村風塵懷閨秀|1|3"}},
          {"隱去（而借通靈", {"第一回　甄士隱夢幻識通靈　賈雨村風塵懷閨秀|1|1"}},
          {"批：此回", {"第二回　賈夫人仙逝揚州城　冷子興演說榮國府|1|1"}},
          {"紅樓夢", {"gb18030|1|1"}}},  // before the first chapter: a volume named as the book
         "而借"},
        {"big5", &kChineseNovel, "BIG5", {{"冷子興", {"第二回　賈夫人仙逝揚州城　冷子興演說榮國府|1|2"}}}, "批"},
        {"shift_jis", &kJapaneseNovel, "SHIFT_JIS",
         {{"吾輩", {"第一章　猫|1|2"}}, {"書生", {"第二章　書生|1|3"}}},
         "吾輩"},
        {"utf-16", &kJapaneseNovel, "UTF-16", {{"人間", {"第一章　猫|1|1", "第二章　書生|1|1"}}}, "人間"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir in;
        const std::filesystem::path file = in / (std::string(c.name) + ".txt");
        WriteBytes(file, Encode(*c.text, c.encoding));
        ASSERT_NE(test::ReadBytes(file), *c.text);
        const Imported built({"--category", "小說", file.string()});
        ASSERT_EQ(built.import().status, 0) << built.import().err;
        for (const auto& [phrase, rows] : c.main) EXPECT_EQ(built.Rows("main", phrase), rows) << phrase;
        EXPECT_EQ(built.Rows("notes", c.notInNotes), Rows{});
    }
}

TEST(ImportPlainText, PagesEndAtParagraphEndsNearThePageSize) {
    TempDir in;
    std::string text;
    // Paragraphs of 11 characters (the last the number of the paragraph) and one long paragraph
    // of sentences of 8 characters.
    for (int i = 0; i < 9; ++i) text += "一二三四五六七八九十" + std::string(i % 2 ? "甲" : "乙") + "\n\n";
    for (int i = 0; i < 12; ++i) text += "子丑寅卯辰巳午未。";
    WriteBytes(in / "pages.txt", text + "\n");
    const Imported built({"--page-chars", "30", (in / "pages.txt").string()});
    ASSERT_EQ(built.import().status, 0) << built.import().err;
    // Three paragraphs (33 characters) are nearer 30 than two (22): pages of three paragraphs.
    EXPECT_EQ(built.Rows("main", "十甲"), (Rows{"pages|1|1", "pages|2|2", "pages|3|1"}));
    // The long paragraph is cut at sentence ends: every page holds whole sentences.
    const Rows sentences = built.Rows("main", "子丑寅卯辰巳午未");
    size_t hits = 0;
    for (const std::string& r : sentences) hits += std::stoul(r.substr(r.rfind('|') + 1));
    EXPECT_EQ(hits, 12u);
    EXPECT_EQ(sentences, (Rows{"pages|4|3", "pages|5|3", "pages|6|3", "pages|7|3"}));
}

// --- Aozora Bunko ---------------------------------------------------------------------------

const std::string kAozora =
    "月夜の散歩\n"
    "夏目太郎\n"
    "\n"
    "-------------------------------------------------------\n"
    "【テキスト中に現れる記号について】\n"
    "\n"
    "《》：ルビ\n"
    "（例）漢字《かんじ》\n"
    "\n"
    "｜：ルビの付く文字列の始まりを特定する記号\n"
    "\n"
    "［＃］：入力者注　主に外字の説明や、傍点の位置の指定\n"
    "（例）※［＃「てへん＋劣」、第3水準1-84-77］\n"
    "-------------------------------------------------------\n"
    "\n"
    "［＃３字下げ］第一章　出発［＃「第一章　出発」は大見出し］\n"
    "\n"
    "　月夜の晩に｜散歩道《さんぽみち》を歩いた。\n"
    "　古い漢字《かんじ》を※［＃「てへん＋劣」、第3水準1-84-77］る男がいた［＃「いた」は底本では「いる」］。\n"
    "［＃改ページ］\n"
    "　翌朝になった。\n"
    "\n"
    "［＃３字下げ］第二章　帰宅［＃「第二章　帰宅」は大見出し］\n"
    "\n"
    "　家に帰ると※［＃「口＋世」、U+54BF、12-3］が鳴いていた。謎の字※［＃「木＋謎」、12-5］もあった。\n"
    "\n"
    "\n"
    "底本：「月夜の散歩」青空書房\n"
    "　　2001年1月1日初版発行\n"
    "入力：試験者\n";

TEST(ImportAozora, RubyAnnotationsHeadingsGaijiAndColophon) {
    TempDir in;
    WriteBytes(in / "tsukiyo.txt", Encode(kAozora, "SHIFT_JIS"));
    const Imported built({(in / "tsukiyo.txt").string()});
    ASSERT_EQ(built.import().status, 0) << built.import().err;
    EXPECT_NE(built.Catalogue().find("2\t月夜の散歩（夏目太郎）\n"), std::string::npos) << built.Catalogue();
    const std::string one = "第一章　出発", two = "第二章　帰宅";
    // Ruby: the reading is a note after its base, so the main text reads on without it.
    EXPECT_EQ(built.Rows("main", "晩に散歩道を歩"), Rows{one + "|1|1"});
    EXPECT_EQ(built.Rows("notes", "さんぽみち"), Rows{one + "|1|1"});
    EXPECT_EQ(built.Rows("main", "さんぽみち"), Rows{});
    EXPECT_EQ(built.Rows("main", "古い漢字を"), Rows{one + "|1|1"});
    // JIS X 0213 plane 1, row 84, cell 77 is U+6318; U+54BF as written.
    EXPECT_EQ(built.Rows("main", "\u6318る男"), Rows{one + "|1|1"});
    EXPECT_EQ(built.Rows("main", "\u54BFが鳴"), Rows{two + "|1|1"});
    // An unknown character: 〓 in the text, its description a note.
    EXPECT_EQ(built.Rows("main", "謎の字もあ"), Rows{two + "|1|1"});
    EXPECT_EQ(built.Rows("notes", "木＋謎"), Rows{two + "|1|1"});
    // An editorial annotation is a note; layout annotations and headings are not.
    EXPECT_EQ(built.Rows("notes", "いたは底本"), Rows{one + "|1|1"});
    EXPECT_EQ(built.Rows("full", "字下げ"), Rows{});
    EXPECT_EQ(built.Rows("notes", "大見出し"), Rows{});
    // 改ページ starts a page.
    EXPECT_EQ(built.Rows("main", "翌朝"), Rows{one + "|2|1"});
    // The explanation of the symbols is left out; the colophon is a note of the last page.
    EXPECT_EQ(built.Rows("full", "文字列の始まり"), Rows{});
    EXPECT_EQ(built.Rows("notes", "青空書房"), Rows{two + "|1|1"});
    EXPECT_EQ(built.Rows("main", "青空書房"), Rows{});
    // The header: title and author on the first page, before the first chapter.
    EXPECT_EQ(built.Rows("main", "夏目太郎"), Rows{"月夜の散歩|1|1"});

    // As Aozora Bunko hands it out: the text alone in a ZIP archive.
    test::WriteZip(in / "tsukiyo.zip", {{"tsukiyo/tsukiyo.txt", Encode(kAozora, "SHIFT_JIS")}});
    const Imported zipped({(in / "tsukiyo.zip").string()});
    ASSERT_EQ(zipped.import().status, 0) << zipped.import().err;
    EXPECT_EQ(zipped.Rows("main", "\u6318る男"), Rows{one + "|1|1"});
    EXPECT_EQ(zipped.Rows("notes", "青空書房"), Rows{two + "|1|1"});
}

// --- EPUB -----------------------------------------------------------------------------------

std::vector<test::ZipEntry> Book(const std::string& version) {
    const std::string nav =
        "<nav epub:type=\"toc\"><ol><li><a href=\"text/ch1.xhtml\">第一章　月</a></li>"
        "<li><a href=\"text/ch2.xhtml#s2\">第二章　星</a></li></ol></nav>";
    const std::string ncx =
        "<?xml version=\"1.0\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\">"
        "<navMap><navPoint id=\"p1\"><navLabel><text>第一章　月</text></navLabel><content src=\"text/ch1.xhtml\"/>"
        "</navPoint><navPoint id=\"p2\"><navLabel><text>第二章　星</text></navLabel>"
        "<content src=\"text/ch2.xhtml#s2\"/></navPoint></navMap></ncx>";
    const bool three = version == "3.0";
    // EPUB 3 marks notes with epub:type; EPUB 2 converters with classes of their containers.
    std::vector<test::ZipEntry> files = {
        {"OEBPS/text/ch1.xhtml",
         test::Xhtml("<h1>第一章　月</h1><p>昔々、<ruby>漢字<rp>（</rp><rt>かんじ</rt><rp>）</rp></ruby>を書く人がいた。</p>"
                     "<p>明月<a epub:type=\"noteref\" href=\"notes.xhtml#n1\" id=\"r1\">1</a>照大江。</p>"
                     "<div><img src=\"../images/moon.png\" alt=\"満月の絵\"/></div>"
                     "<p>山川<a class=\"footnote-ref\" id=\"r2\" href=\"#f2\">2</a>草木&nbsp;皆静か。</p>" +
                     std::string(three ? "<aside epub:type=\"footnote\" id=\"f2\"><p>脚注二の本文</p></aside>"
                                       : "<div class=\"footnotes\" id=\"notes\"><ol><li id=\"f2\"><p>脚注二の本文<a "
                                         "class=\"footnote-back\" href=\"#r2\">↩</a></p></li></ol></div>"))},
        {"OEBPS/text/ch2.xhtml",
         test::Xhtml("<p>序の文が続く。</p><h2 id=\"s2\">第二章　星</h2><p>星空は美しい。</p>")},
        {"OEBPS/text/notes.xhtml",
         test::Xhtml(three ? "<aside epub:type=\"endnote\" id=\"n1\"><p><a epub:type=\"backlink\" "
                             "href=\"ch1.xhtml#r1\">1</a>長江の注釈</p></aside>"
                           : "<section id=\"endnotes\"><p id=\"n1\"><a href=\"ch1.xhtml#r1\">1</a>長江の注釈</p></section>")},
        {"OEBPS/images/moon.png", "\x89PNG"},
    };
    files.push_back(three ? test::ZipEntry{"OEBPS/nav.xhtml", test::Xhtml(nav)} : test::ZipEntry{"OEBPS/toc.ncx", ncx});
    const std::string manifest =
        std::string(three ? "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>"
                          : "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>") +
        "<item id=\"c1\" href=\"text/ch1.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"c2\" href=\"text/ch2.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"n\" href=\"text/notes.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"img\" href=\"images/moon.png\" media-type=\"image/png\"/>";
    // The navigation document in the reading order is a page of the table of contents only.
    const std::string spine = std::string("<spine") + (three ? "><itemref idref=\"nav\"/" : " toc=\"ncx\"") +
                              "><itemref idref=\"c1\"/><itemref idref=\"c2\"/><itemref idref=\"n\" linear=\"no\"/></spine>";
    return test::EpubEntries(version, manifest, spine, files, "月夜の本", "山田花子");
}

TEST(ImportEpub, TableOfContentsNotesRubyAndImages) {
    for (const std::string version : {"3.0", "2.0"}) {
        SCOPED_TRACE("EPUB " + version);
        TempDir in;
        test::WriteZip(in / "moon.epub", Book(version));
        const Imported built({(in / "moon.epub").string()});
        ASSERT_EQ(built.import().status, 0) << built.import().err;
        EXPECT_NE(built.Catalogue().find("2\t月夜の本（山田花子）\n3\t第一章　月\tmoon/v001\n"
                                         "3\t第二章　星\tmoon/v002\n"),
                  std::string::npos)
            << built.Catalogue();
        const std::string one = "第一章　月", two = "第二章　星";
        // Ruby and notes are notes; the main text reads over them.
        EXPECT_EQ(built.Rows("main", "漢字を書く"), Rows{one + "|1|1"});
        EXPECT_EQ(built.Rows("notes", "かんじ"), Rows{one + "|1|1"});
        EXPECT_EQ(built.Rows("full", "（"), Rows{});  // <rp> is dropped
        EXPECT_EQ(built.Rows("main", "明月照大江"), Rows{one + "|1|1"});
        EXPECT_EQ(built.Rows("notes", "長江の注釈"), Rows{one + "|1|1"});
        EXPECT_EQ(built.Rows("main", "山川草木"), Rows{one + "|1|1"});
        // A footnote linked to is read at the link only, not again where it is written.
        EXPECT_EQ(built.Rows("full", "脚注二"), Rows{one + "|1|1"});
        EXPECT_EQ(built.Rows("main", "脚注二"), Rows{});
        EXPECT_EQ(built.Rows("notes", "満月の絵"), Rows{one + "|1|1"});
        // Text before the second entry's target stays in the first volume.
        EXPECT_EQ(built.Rows("main", "序の文"), Rows{one + "|1|1"});
        EXPECT_EQ(built.Rows("main", "星空"), Rows{two + "|1|1"});
        // The endnotes page outside the reading order is not read as text of its own.
        EXPECT_EQ(built.Rows("full", "長江"), Rows{one + "|1|1"});
    }
}

// --- TEI ------------------------------------------------------------------------------------

std::string Tei(const std::string& body, const std::string& back = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<TEI xmlns=\"http://www.tei-c.org/ns/1.0\" xmlns:cb=\"http://www.cbeta.org/ns/1.0\" xml:lang=\"en\">\n"
           "<teiHeader><fileDesc><titleStmt><title xml:lang=\"en\">The Test Sutra</title>"
           "<title xml:lang=\"zh-Hant\">試驗經</title><author xml:lang=\"en\">Anonymous</author>"
           "<author xml:lang=\"zh-Hant\">無名氏譯</author></titleStmt></fileDesc>\n"
           "<encodingDesc><charDecl>\n"
           "<char xml:id=\"CB00001\"><charName>CJK UNIFIED IDEOGRAPH-20B9F</charName>"
           "<mapping type=\"unicode\">U+20B9F</mapping></char>\n"
           "<char xml:id=\"CB00002\"><charName>CBETA CHARACTER CB00002</charName><charProp><localName>"
           "composition</localName><value>[金*本]</value></charProp><mapping type=\"normal_unicode\">"
           "U+672C</mapping></char>\n"
           "<char xml:id=\"CB00003\"><charName>CBETA CHARACTER CB00003</charName><charProp><localName>"
           "composition</localName><value>[口*頁]</value></charProp></char>\n"
           "</charDecl></encodingDesc></teiHeader>\n"
           "<text xml:lang=\"zh-Hant\"><body>\n" + body + "\n</body>" + (back.empty() ? "" : "<back>" + back + "</back>") +
           "</text></TEI>\n";
}

TEST(ImportTei, EditionPagesFasciclesNotesApparatusAndCharacters) {
    TempDir in;
    WriteBytes(in / "T0001.xml",
               Tei("<cb:juan fun=\"open\" n=\"001\"><cb:mulu type=\"卷\" n=\"1\"/><cb:jhead>試驗經卷第一</cb:jhead></cb:juan>\n"
                   "<pb n=\"5\" ed=\"T\"/><lb n=\"0005a01\" ed=\"T\"/><p>如是我聞。一時佛在舍衛國<note place=\"inline\">舍衛城也</note>"
                   "祇樹給孤獨園。<lb n=\"0005a02\" ed=\"T\"/>爾時世尊<g ref=\"#CB00001\"/>告諸比丘"
                   "<anchor xml:id=\"nkr1\"/>汝等諦聽。</p>\n"
                   "<pb n=\"R1\" ed=\"R\"/>\n"
                   "<pb n=\"6\" ed=\"T\"/><p>善男子<app><lem wit=\"#T\">善女人</lem><rdg wit=\"#S #Y\">善女子</rdg></app>"
                   "聞是經已<g ref=\"#CB00002\"/>心歡喜<g ref=\"#CB00003\"/>字。</p>\n"
                   "<cb:juan fun=\"close\" n=\"001\"><cb:jhead>試驗經卷第一</cb:jhead></cb:juan>\n"
                   "<cb:juan fun=\"open\" n=\"002\"><cb:jhead>試驗經卷第二</cb:jhead></cb:juan>\n"
                   "<p>第二卷之始</p><pb n=\"7\" ed=\"T\"/><p>頁七之文<cb:mulu level=\"1\">目次項</cb:mulu>字</p>",
                   "<cb:div type=\"apparatus\"><head>校注</head><p><note target=\"#nkr1\">諦聽宋本作善聽</note></p></cb:div>"));
    const Imported built({(in / "T0001.xml").string()});
    ASSERT_EQ(built.import().status, 0) << built.import().err;
    EXPECT_NE(built.Catalogue().find("2\t試驗經（無名氏譯）\n3\t試驗經卷第一\tT0001/v001\n3\t試驗經卷第二\tT0001/v002\n"),
              std::string::npos)
        << built.Catalogue();
    const std::string one = "試驗經卷第一", two = "試驗經卷第二";
    // Pages are the edition's: <pb n> numbers them (a page of another edition is none).
    EXPECT_EQ(built.Rows("main", "如是我聞"), Rows{one + "|5|1"});
    EXPECT_EQ(built.Rows("main", "善男子"), Rows{one + "|6|1"});
    // A fascicle that begins inside a page goes on with that page's number.
    EXPECT_EQ(built.Rows("main", "第二卷之始"), Rows{two + "|6|1"});
    EXPECT_EQ(built.Rows("main", "頁七之文字"), Rows{two + "|7|1"});  // cb:mulu is not text
    // An inline note; a note of the back at its anchor; readings of the apparatus.
    EXPECT_EQ(built.Rows("main", "舍衛國祇樹"), Rows{one + "|5|1"});
    EXPECT_EQ(built.Rows("notes", "舍衛城也"), Rows{one + "|5|1"});
    EXPECT_EQ(built.Rows("main", "舍衛城"), Rows{});
    EXPECT_EQ(built.Rows("notes", "宋本作善聽"), Rows{one + "|5|1"});
    EXPECT_EQ(built.Rows("main", "比丘汝等"), Rows{one + "|5|1"});
    EXPECT_EQ(built.Rows("main", "善女人聞是經"), Rows{one + "|6|1"});
    EXPECT_EQ(built.Rows("notes", "善女子"), Rows{one + "|6|1"});
    EXPECT_EQ(built.Rows("main", "善女子"), Rows{});
    // <g>: the Unicode mapping, the normalized form, or 〓 with the composition in a note.
    EXPECT_EQ(built.Rows("main", "世尊\U00020B9F告"), Rows{one + "|5|1"});
    EXPECT_EQ(built.Rows("main", "已本心"), Rows{one + "|6|1"});
    EXPECT_EQ(built.Rows("main", "喜字"), Rows{one + "|6|1"});
    EXPECT_EQ(built.Rows("notes", "口頁"), Rows{one + "|6|1"});
    // The back's heading alone makes no volume.
    EXPECT_EQ(built.Rows("full", "校注"), Rows{});
}

TEST(ImportTei, PageNamesThatAreNotNumbersAreLabelsAndDivisionsAreVolumes) {
    TempDir in;
    WriteBytes(in / "lunyu.xml",
               Tei("<div type=\"book\"><div type=\"chapter\"><head>學而第一</head><pb n=\"0001a\"/><p>學而時習之</p>"
                   "<pb n=\"0001b\"/><p>不亦說乎</p></div>\n"
                   "<div type=\"chapter\"><head>為政第二</head><p>為政以德</p><pb n=\"0002a\"/><p>譬如北辰</p></div></div>"));
    const Imported built({(in / "lunyu.xml").string()});
    ASSERT_EQ(built.import().status, 0) << built.import().err;
    // The one wrapping division is looked into: its chapters are the volumes.
    EXPECT_EQ(built.Rows("main", "不亦說乎"), Rows{"學而第一|2|1"});
    EXPECT_EQ(built.Rows("main", "為政以德"), Rows{"為政第二|1|1"});
    EXPECT_EQ(built.Rows("main", "譬如北辰"), Rows{"為政第二|2|1"});
    // The heading before the first page break is on the first page; labels keep the names.
    EXPECT_EQ(built.Rows("main", "學而第一學而"), Rows{"學而第一|1|1"});
    const std::string page = test::ReadBytes(built.source() / "lunyu/v001/0002.htm");
    EXPECT_NE(page.find("學而第一<br>0001b"), std::string::npos) << page;
}

}  // namespace
}  // namespace kolva
