// XML from outside (EPUB packages and pages, TEI), parsed by libxml2 so that nothing is loaded
// and nothing is expanded: no network, no external entity or DTD, no XInclude, and a document
// that declares a document type of its own (an internal subset, where entities are declared) is
// refused before it is parsed. A reference to an entity that nothing declares (XHTML's &nbsp;
// in a page that names the XHTML DTD without it being read) stays a reference node; the readers
// take the common HTML ones from HtmlEntity().
#pragma once

#include <libxml/tree.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kolva {

class XmlDocument {
public:
    // Parses a whole document. Raises ImportError naming the file and line when it is not
    // well-formed, declares a document type of its own, or holds an undeclared entity outside
    // a document that names an external document type.
    static XmlDocument Parse(std::string_view bytes, const std::filesystem::path& file);

    xmlNode* Root() const { return xmlDocGetRootElement(m_doc.get()); }

private:
    struct Free {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };
    std::unique_ptr<xmlDoc, Free> m_doc;
};

// The element's name without its prefix (empty for other nodes).
std::string_view LocalName(const xmlNode* node);
// The element's namespace URI (empty when it has none).
std::string_view NamespaceOf(const xmlNode* node);
// An attribute without a namespace; empty when missing.
std::string Attribute(const xmlNode* node, const char* name);
// An attribute in namespace ns (or, written with this prefix but the prefix undeclared, as the
// literal name "prefix:name"); empty when missing.
std::string AttributeNs(const xmlNode* node, const char* name, const char* ns, const char* prefix);
// xml:id (or id, which XHTML uses).
std::string XmlId(const xmlNode* node);
// The text below node, runs of white space written as one space, trimmed.
std::string TextOf(const xmlNode* node);
// Runs of ASCII white space as one space.
std::string CollapseSpace(std::string_view text);
// The UTF-8 of a common HTML entity (nbsp, mdash, hellip …); null when unknown.
const char* HtmlEntity(std::string_view name);
// The characters of an entity reference (a known HTML entity's UTF-8); null when unknown.
const char* EntityCharacters(const xmlNode* node);
// For a text node or an entity reference: appends its characters (an unknown entity has none)
// and returns true. False, nothing appended, for any other node.
bool AppendCharacters(const xmlNode* node, std::string& out);

inline constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

}  // namespace kolva
