// Shared helpers of the import tests: running the programs, text in other encodings, ZIP
// archives and EPUB books made with libzip, and a listing of a folder to tell it changed.
#pragma once

#include <iconv.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_support.h"

namespace kolva::test {

// UTF-8 text in another encoding (through iconv; aborts on a character it lacks).
inline std::string Encode(const std::string& utf8, const char* encoding) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t toLeft = out.size();
    if (iconv(cd, &in, &inLeft, &to, &toLeft) == size_t(-1) ||
        iconv(cd, nullptr, nullptr, &to, &toLeft) == size_t(-1))
        std::abort();
    iconv_close(cd);
    out.resize(out.size() - toLeft);
    return out;
}

struct ZipEntry {
    std::string name, bytes;
    bool symlink = false;
};

// Writes a ZIP archive (deflated entries, "mimetype" stored) with libzip.
inline void WriteZip(const std::filesystem::path& file, const std::vector<ZipEntry>& entries) {
    int error = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z) std::abort();
    for (const ZipEntry& e : entries) {
        zip_source_t* source = zip_source_buffer(z, e.bytes.data(), e.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(z, e.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) std::abort();
        zip_set_file_compression(z, zip_uint64_t(index), e.name == "mimetype" ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        if (e.symlink)
            zip_file_set_external_attributes(z, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFLNK | 0777) << 16);
    }
    if (zip_close(z) != 0) std::abort();
}

inline std::string Xhtml(const std::string& body, const std::string& title = "t") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" \"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
           "<head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

inline const std::string kContainer =
    "<?xml version=\"1.0\"?><container version=\"1.0\" "
    "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
    "full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>";

// An EPUB book: the package document's manifest and spine as given, the other entries beside.
inline std::vector<ZipEntry> EpubEntries(const std::string& version, const std::string& manifest,
                                         const std::string& spine, std::vector<ZipEntry> files,
                                         const std::string& title = "t", const std::string& creator = "") {
    std::vector<ZipEntry> entries{{"mimetype", "application/epub+zip"}, {"META-INF/container.xml", kContainer}};
    entries.push_back(
        {"OEBPS/content.opf",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
         "version=\"" + version + "\" unique-identifier=\"id\"><metadata "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:identifier id=\"id\">x</dc:identifier>"
         "<dc:title>" + title + "</dc:title>" + (creator.empty() ? "" : "<dc:creator>" + creator + "</dc:creator>") +
         "<dc:language>ja</dc:language></metadata><manifest>" + manifest + "</manifest>" + spine + "</package>"});
    for (ZipEntry& f : files) entries.push_back(std::move(f));
    return entries;
}

// Every file and folder below root with the bytes of each file, to tell a folder changed.
inline std::map<std::string, std::string> Listing(const std::filesystem::path& root) {
    std::map<std::string, std::string> out;
    if (!std::filesystem::exists(root)) return out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = std::filesystem::relative(item.path(), root).generic_string();
        out[name] = item.is_regular_file() ? ReadBytes(item.path()) : std::string("/");
    }
    return out;
}

}  // namespace kolva::test
