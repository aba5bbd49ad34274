#include <cstdio>

#include "platform/coding.h"
#include "writer/writer.h"

namespace kolva {

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) throw WriterError("cannot write " + path.string());
}

}  // namespace

void WriteCatalogue(const std::filesystem::path& path, const std::vector<CatalogueEntry>& entries) {
    std::string bytes;
    for (const CatalogueEntry& e : entries) {
        if (e.name.size() > 99) throw WriterError("catalogue title longer than 99 units");
        std::u16string name = e.name;
        name.resize(100, u'\0');
        for (char16_t u : name) PutLE16(bytes, uint16_t(u));
        PutLE32(bytes, uint32_t(e.level));
        PutLE32(bytes, uint32_t(e.docID));
        PutLE32(bytes, uint32_t(e.docNo));
        PutLE16(bytes, uint16_t(e.firstPage));
        PutLE16(bytes, uint16_t(0));
    }
    WriteFile(path, bytes);
}

void WriteVariantTable(const std::filesystem::path& path, const std::vector<VariantGroup>& groups) {
    std::string bytes;
    for (const VariantGroup& g : groups) {
        // A line of LF alone would be skipped on reading; a lone comma keeps an empty group.
        if (g.empty()) bytes += ',';
        for (size_t i = 0; i < g.size(); ++i) {
            char buf[16];
            std::snprintf(buf, sizeof buf, i ? ",%X" : "%X", g[i]);
            bytes += buf;
        }
        bytes += '\n';
    }
    WriteFile(path, bytes);
}

}  // namespace kolva
