#include "import/xml.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <mutex>

#include "import/book.h"
#include "import/textfile.h"
#include "text/utf8.h"

namespace kolva {

namespace {

// Every entity or document type that libxml2 would load from a file or the network is refused.
xmlParserInputPtr RefuseLoad(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void InitLibxml() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseLoad);
    });
}

size_t LineAt(std::string_view bytes, size_t offset) {
    return size_t(std::count(bytes.begin(), bytes.begin() + long(std::min(offset, bytes.size())), '\n')) + 1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Finds a document type declaration in the prolog (after the XML declaration, comments and
// processing instructions) that has an internal subset "[ … ]"; returns its offset or npos.
size_t InternalSubsetAt(std::string_view b) {
    size_t i = b.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    for (;;) {
        while (i < b.size() && IsSpace(b[i])) ++i;
        const std::string_view rest = b.substr(i);
        const bool pi = rest.substr(0, 2) == "<?";
        if (!pi && rest.substr(0, 4) != "<!--") break;
        const std::string_view close = pi ? "?>" : "-->";
        const size_t end = rest.find(close);
        if (end == std::string_view::npos) return std::string_view::npos;  // the parser says
        i += end + close.size();
    }
    if (b.substr(i, 9) != "<!DOCTYPE") return std::string_view::npos;
    char quote = 0;
    for (size_t j = i + 9; j < b.size(); ++j) {
        const char c = b[j];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            return i;
        } else if (c == '>') {
            return std::string_view::npos;
        }
    }
    return std::string_view::npos;
}

bool LooksUtf16(std::string_view b) {
    return b.substr(0, 2) == "\xFF\xFE" || b.substr(0, 2) == "\xFE\xFF" ||
           b.substr(0, 4) == std::string_view("<\0?\0", 4) || b.substr(0, 4) == std::string_view("\0<\0?", 4);
}

struct Entity {
    const char* name;
    const char* utf8;
};
constexpr Entity kEntities[] = {
    {"nbsp", "\xC2\xA0"},    {"ensp", "\xE2\x80\x82"},   {"emsp", "\xE2\x80\x83"},
    {"thinsp", "\xE2\x80\x89"}, {"shy", ""},            {"zwnj", ""},
    {"zwj", ""},             {"ndash", "\xE2\x80\x93"},  {"mdash", "\xE2\x80\x94"},
    {"hellip", "\xE2\x80\xA6"}, {"lsquo", "\xE2\x80\x98"}, {"rsquo", "\xE2\x80\x99"},
    {"ldquo", "\xE2\x80\x9C"}, {"rdquo", "\xE2\x80\x9D"}, {"laquo", "\xC2\xAB"},
    {"raquo", "\xC2\xBB"},   {"middot", "\xC2\xB7"},     {"bull", "\xE2\x80\xA2"},
    {"copy", "\xC2\xA9"},    {"reg", "\xC2\xAE"},        {"trade", "\xE2\x84\xA2"},
    {"times", "\xC3\x97"},   {"divide", "\xC3\xB7"},     {"deg", "\xC2\xB0"},
    {"yen", "\xC2\xA5"},     {"sect", "\xC2\xA7"},       {"para", "\xC2\xB6"},
    {"iexcl", "\xC2\xA1"},   {"cent", "\xC2\xA2"},       {"pound", "\xC2\xA3"},
    {"euro", "\xE2\x82\xAC"}, {"plusmn", "\xC2\xB1"},     {"micro", "\xC2\xB5"},
    {"frac12", "\xC2\xBD"},  {"iquest", "\xC2\xBF"},     {"dagger", "\xE2\x80\xA0"},
    {"Dagger", "\xE2\x80\xA1"}, {"permil", "\xE2\x80\xB0"}, {"prime", "\xE2\x80\xB2"},
    {"lsaquo", "\xE2\x80\xB9"}, {"rsaquo", "\xE2\x80\xBA"}, {"sbquo", "\xE2\x80\x9A"},
    {"bdquo", "\xE2\x80\x9E"}, {"larr", "\xE2\x86\x90"},  {"rarr", "\xE2\x86\x92"},
    {"uarr", "\xE2\x86\x91"}, {"darr", "\xE2\x86\x93"},  {"hearts", "\xE2\x99\xA5"},
    {"amp", "&"},            {"lt", "<"},                {"gt", ">"},
    {"quot", "\""},          {"apos", "'"},
};

// Writes the common HTML entities (which nothing can declare here, internal subsets being
// refused) as character references, so that XHTML written with &nbsp; but without the XHTML
// DTD reads as it would in a browser. Other references are left to the parser.
std::string WithHtmlEntitiesAsReferences(std::string_view bytes) {
    std::string out;
    size_t from = 0;
    for (size_t amp = bytes.find('&'); amp != std::string_view::npos; amp = bytes.find('&', amp + 1)) {
        size_t end = amp + 1;
        while (end < bytes.size() && end - amp <= 10 &&
               ((bytes[end] >= 'a' && bytes[end] <= 'z') || (bytes[end] >= 'A' && bytes[end] <= 'Z') ||
                (end > amp + 1 && bytes[end] >= '0' && bytes[end] <= '9')))
            ++end;
        if (end >= bytes.size() || bytes[end] != ';' || end == amp + 1) continue;
        const std::string_view name = bytes.substr(amp + 1, end - amp - 1);
        if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") continue;
        const char* utf8 = HtmlEntity(name);
        if (!utf8) continue;
        out.append(bytes.substr(from, amp - from));
        // As a numeric reference, so that it reads the same in any encoding of the document.
        std::u32string points;
        size_t bad;
        DecodeUtf8(utf8, points, bad);
        for (char32_t c : points) out += "&#" + std::to_string(uint32_t(c)) + ";";
        from = end + 1;
    }
    if (from == 0) return {};
    out.append(bytes.substr(from));
    return out;
}

}  // namespace

XmlDocument XmlDocument::Parse(std::string_view bytes, const std::filesystem::path& file) {
    InitLibxml();
    std::string converted;
    const char* encoding = nullptr;
    if (LooksUtf16(bytes)) {
        size_t bad;
        if (!ConvertToUtf8(bytes, "UTF-16", converted, bad))
            throw ImportError(file, 0, "the document is not UTF-16 at byte " + std::to_string(bad));
        bytes = converted;
        encoding = "UTF-8";  // whatever the declaration says now
    }
    std::string withReferences = WithHtmlEntitiesAsReferences(bytes);
    if (!withReferences.empty()) {
        converted = std::move(withReferences);
        bytes = converted;
    }
    const size_t subset = InternalSubsetAt(bytes);
    if (subset != std::string_view::npos)
        throw ImportError(file, LineAt(bytes, subset),
                          "the document declares a document type of its own (entities or other "
                          "declarations); such documents are refused");
    if (bytes.size() > size_t(INT32_MAX)) throw ImportError(file, 0, "the document is too large");

    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> ctxt(xmlNewParserCtxt(),
                                                                   xmlFreeParserCtxt);
    if (!ctxt) throw ImportError(file, 0, "out of memory for the XML parser");
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    XmlDocument doc;
    doc.m_doc.reset(xmlCtxtReadMemory(ctxt.get(), bytes.data(), int(bytes.size()),
                                      file.filename().string().c_str(), encoding, options));
    if (!doc.m_doc || !ctxt->wellFormed) {
        const xmlError* error = xmlCtxtGetLastError(ctxt.get());
        std::string message = error && error->message ? error->message : "not well-formed XML";
        while (!message.empty() && IsSpace(message.back())) message.pop_back();
        throw ImportError(file, error && error->line > 0 ? size_t(error->line) : 0,
                          "not well-formed XML: " + message);
    }
    const xmlDtd* dtd = doc.m_doc->intSubset;
    if (dtd && dtd->children)
        throw ImportError(file, 0, "the document declares a document type of its own; refused");
    if (!doc.Root()) throw ImportError(file, 0, "the document has no root element");
    return doc;
}

std::string_view LocalName(const xmlNode* node) {
    if (!node || node->type != XML_ELEMENT_NODE || !node->name) return {};
    return reinterpret_cast<const char*>(node->name);
}

std::string_view NamespaceOf(const xmlNode* node) {
    if (!node || !node->ns || !node->ns->href) return {};
    return reinterpret_cast<const char*>(node->ns->href);
}

namespace {

std::string Owned(xmlChar* value) {
    if (!value) return {};
    std::string out(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return out;
}

}  // namespace

std::string Attribute(const xmlNode* node, const char* name) {
    if (!node || node->type != XML_ELEMENT_NODE) return {};
    return Owned(xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name)));
}

std::string AttributeNs(const xmlNode* node, const char* name, const char* ns, const char* prefix) {
    if (!node || node->type != XML_ELEMENT_NODE) return {};
    std::string value = Owned(xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name),
                                           reinterpret_cast<const xmlChar*>(ns)));
    if (value.empty() && prefix) value = Attribute(node, (std::string(prefix) + ":" + name).c_str());
    return value;
}

std::string XmlId(const xmlNode* node) {
    std::string id = AttributeNs(node, "id", kXmlNamespace, nullptr);
    return id.empty() ? Attribute(node, "id") : id;
}

std::string CollapseSpace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool space = false;
    for (char c : text) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    if (space && !out.empty()) out += ' ';
    return out;
}

namespace {

void AppendText(const xmlNode* node, std::string& out) {
    for (const xmlNode* c = node->children; c; c = c->next)
        if (!AppendCharacters(c, out) && c->type == XML_ELEMENT_NODE) AppendText(c, out);
}

}  // namespace

bool AppendCharacters(const xmlNode* node, std::string& out) {
    if (node->type == XML_TEXT_NODE) {
        if (node->content) out += reinterpret_cast<const char*>(node->content);
        return true;
    }
    if (node->type == XML_ENTITY_REF_NODE) {
        if (const char* e = EntityCharacters(node)) out += e;
        return true;
    }
    return false;
}

const char* EntityCharacters(const xmlNode* node) {
    return node->name ? HtmlEntity(reinterpret_cast<const char*>(node->name)) : nullptr;
}

std::string TextOf(const xmlNode* node) {
    if (!node) return {};
    std::string raw;
    AppendText(node, raw);
    std::string out = CollapseSpace(raw);
    if (!out.empty() && out.front() == ' ') out.erase(0, 1);
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

const char* HtmlEntity(std::string_view name) {
    for (const Entity& e : kEntities)
        if (name == e.name) return e.utf8;
    return nullptr;
}

}  // namespace kolva
