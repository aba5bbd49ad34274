// Writes the seed corpora of the importer's fuzz targets: small files of each format, as the
// tests make them. Usage: kolva_import_fuzz_seeds <corpus folder> (fuzz/corpus holds the
// committed result; every seed stays a few kilobytes).
#include <iconv.h>
#include <zip.h>

#include <cstdio>
#include <iostream>
#include <vector>

#include "fuzz_support.h"
#include "platform/file.h"

namespace {

std::filesystem::path g_out;

void Seed(const std::string& target, int number, uint8_t pageSize, const std::string& file) {
    const std::filesystem::path folder = g_out / target;
    std::filesystem::create_directories(folder);
    char name[32];
    std::snprintf(name, sizeof name, "seed-%02d", number);
    kolva::fuzz::WriteFile(folder / name, std::string(1, char(pageSize)) + file);
}

std::string Encode(const std::string& utf8, const char* encoding) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), toLeft = out.size();
    char* to = out.data();
    if (iconv(cd, &in, &inLeft, &to, &toLeft) == size_t(-1)) std::abort();
    iconv_close(cd);
    out.resize(out.size() - toLeft);
    return out;
}

std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::filesystem::path file = kolva::fuzz::WorkFolder() / "seed.zip";
    int error = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z) std::abort();
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        if (zip_file_add(z, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) std::abort();
    }
    if (zip_close(z) != 0) std::abort();
    std::string out;
    if (!kolva::ReadWholeFile(file, out)) std::abort();
    return out;
}

const std::string kNovel =
    "紅樓夢\n\n第一回　甄士隱夢幻識通靈\n\n此開卷第一回也。作者自云（而借通靈之說）。\n更於篇中間用夢幻等字。\n\n"
    "第二回　賈夫人仙逝揚州城\n\n詩云：一局輸贏料不真，香銷茶盡尚逡巡。\n";

const std::string kAozora =
    "月夜の散歩\n夏目太郎\n\n-------------------------------------------------------\n"
    "【テキスト中に現れる記号について】\n《》：ルビ\n-------------------------------------------------------\n\n"
    "［＃３字下げ］第一章　出発［＃「第一章　出発」は大見出し］\n"
    "　月夜の晩に｜散歩道《さんぽみち》を歩いた。\n"
    "　漢字《かんじ》を※［＃「てへん＋劣」、第3水準1-84-77］る男［＃「男」は底本では「女」］。［＃割り注］小さな注［＃割り注終わり］\n"
    "［＃改ページ］\n［＃ここから中見出し］\n第二節\n［＃ここで中見出し終わり］\n"
    "　※［＃「口＋世」、U+54BF、12-3］と※［＃「木＋謎」、12-5］。［＃レ］［＃（ム）］\n\n"
    "底本：「月夜の散歩」青空書房\n入力：試験者\n";

const std::string kTei =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<TEI xmlns=\"http://www.tei-c.org/ns/1.0\" xmlns:cb=\"http://www.cbeta.org/ns/1.0\">"
    "<teiHeader><fileDesc><titleStmt><title xml:lang=\"zh\">試驗經</title><author>某譯</author>"
    "</titleStmt></fileDesc><encodingDesc><charDecl><char xml:id=\"c1\"><mapping type=\"unicode\">"
    "U+20B9F</mapping></char><char xml:id=\"c2\"><charProp><localName>composition</localName>"
    "<value>[口*頁]</value></charProp></char></charDecl></encodingDesc></teiHeader>"
    "<text xml:lang=\"zh\"><body><cb:juan fun=\"open\" n=\"001\"><cb:jhead>卷第一</cb:jhead></cb:juan>"
    "<pb n=\"1\" ed=\"T\"/><lb/><p>如是我聞<note place=\"inline\">注</note>一時<g ref=\"#c1\"/>佛"
    "<anchor xml:id=\"a1\"/>在<app><lem>舍衛</lem><rdg wit=\"#S\">舍夷</rdg></app><g ref=\"#c2\"/></p>"
    "<pb n=\"2\" ed=\"T\"/><lg><l>偈一</l><l>偈二</l></lg><choice><sic>誤</sic><corr>正</corr></choice>"
    "<cb:juan fun=\"open\" n=\"002\"/><div><head>品</head><p>文<cb:mulu>目</cb:mulu></p></div>"
    "</body><back><p><note target=\"#a1\">校注</note><app from=\"#a1\" to=\"#a1\"><rdg>異</rdg></app></p></back>"
    "</text></TEI>\n";

std::string Xhtml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
           "xmlns:epub=\"http://www.idpf.org/2007/ops\"><head><title>t</title></head><body>" + body + "</body></html>";
}

std::string Epub(bool three) {
    const std::string opf =
        std::string("<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"") +
        (three ? "3.0" : "2.0") + "\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>本"
        "</dc:title><dc:creator>某</dc:creator></metadata><manifest>"
        "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>"
        "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
        "<item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"c2\" href=\"c2.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
        "<spine toc=\"ncx\"><itemref idref=\"c1\"/><itemref idref=\"c2\" linear=\"no\"/></spine></package>";
    return Zip({
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         "<?xml version=\"1.0\"?><container xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
         "<rootfiles><rootfile full-path=\"OEBPS/content.opf\"/></rootfiles></container>"},
        {"OEBPS/content.opf", opf},
        {"OEBPS/nav.xhtml", Xhtml(three ? "<nav epub:type=\"toc\"><ol><li><a href=\"c1.xhtml\">一</a></li>"
                                          "<li><a href=\"c1.xhtml#s\">二</a></li></ol></nav>" : "")},
        {"OEBPS/toc.ncx", "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap><navPoint><navLabel>"
                          "<text>一</text></navLabel><content src=\"c1.xhtml\"/></navPoint></navMap></ncx>"},
        {"OEBPS/c1.xhtml",
         Xhtml("<h1>一</h1><p><ruby>漢<rp>(</rp><rt>かん</rt><rp>)</rp></ruby>字<a epub:type=\"noteref\" "
               "href=\"c2.xhtml#n\">1</a></p><h2 id=\"s\">二</h2><p>文<br/>文<img alt=\"圖\"/></p>"
               "<aside epub:type=\"footnote\" id=\"f\">脚注</aside><pre>a\nb</pre><table><tr><td>表</td></tr></table>")},
        {"OEBPS/c2.xhtml", Xhtml("<aside epub:type=\"endnote\" id=\"n\"><a epub:type=\"backlink\" href=\"c1.xhtml\">"
                                 "1</a>注</aside>")},
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kolva_import_fuzz_seeds <corpus folder>\n";
        return 2;
    }
    g_out = argv[1];
    Seed("import_text", 1, 4, Encode(kNovel, "GB18030"));
    Seed("import_text", 2, 1, kNovel);
    Seed("import_text", 3, 8, "\xFF\xFE" + Encode(kNovel, "UTF-16LE"));
    Seed("import_text", 4, 2, Encode("吾輩は猫である。名前はまだ無い。\n\n第一章　猫\n\nどこで生れたかとんと見当がつかぬ。\n", "SHIFT_JIS"));
    Seed("import_text", 5, 0, Encode(kNovel, "BIG5"));
    Seed("import_aozora", 1, 4, Encode(kAozora, "SHIFT_JIS"));
    Seed("import_aozora", 2, 0, kAozora);
    Seed("import_tei", 1, 2, kTei);
    Seed("import_tei", 2, 0, "<TEI><teiHeader/><text><front><p>前</p></front><body><div><head>甲</head><p>一</p></div>"
                             "<div><head>乙</head><p>二</p></div></body></text></TEI>");
    Seed("import_epub", 1, 2, Epub(true));
    Seed("import_epub", 2, 0, Epub(false));
    return 0;
}
