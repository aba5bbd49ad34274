// EPUB 2 and 3 (a ZIP archive):
//
//   META-INF/container.xml   <rootfile full-path="OPF"/>
//   OPF                      <metadata> dc:title, dc:creator; <manifest> <item id href
//                            media-type properties/>; <spine toc?> <itemref idref linear?/>
//   the navigation document (EPUB 3: <nav epub:type="toc"> <ol><li><a href>) or the NCX
//   (EPUB 2: <navMap><navPoint><navLabel><text/></navLabel><content src/>)
//   XHTML pages
//
// The spine's pages are read in order (the table of contents as a page left out); each top entry of the table of contents (or of its one
// wrapping entry) starts a volume where it points, and without a table each page is a volume.
// Paragraphs and headings are kept; a footnote or endnote (epub:type footnote, endnote,
// rearnote, note; role doc-footnote, doc-endnote; an element with an id in a container whose
// class or id names footnotes or endnotes) that a link points at becomes a note where the link
// stands and is not read where it is written; a <rt> reading becomes a note after its base;
// an image its alternative text as a note. A spine that is missing, empty, names an item the
// manifest lacks, or names one item twice is refused, and so is a manifest entry that points
// outside the archive.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "import/readers.h"
#include "import/xml.h"

namespace kolva {

namespace {

constexpr const char* kOpsNamespace = "http://www.idpf.org/2007/ops";

struct ManifestItem {
    std::string path, mediaType, properties;
};

struct TocEntry {
    std::string title, path, fragment;
    std::vector<TocEntry> children;
};

bool HasToken(std::string_view list, std::string_view token) {
    size_t start = 0;
    while (start < list.size()) {
        const size_t end = std::min(list.find_first_of(" \t\n", start), list.size());
        if (list.substr(start, end - start) == token) return true;
        start = end + 1;
    }
    return false;
}

std::string EpubType(const xmlNode* node) { return AttributeNs(node, "type", kOpsNamespace, "epub"); }

bool IsNoteBody(const xmlNode* node) {
    const std::string type = EpubType(node), role = Attribute(node, "role");
    return HasToken(type, "footnote") || HasToken(type, "endnote") || HasToken(type, "rearnote") ||
           HasToken(type, "note") || HasToken(role, "doc-footnote") || HasToken(role, "doc-endnote");
}

// A container of notes as converters mark it without epub:type (class="footnotes", an aside
// class="footnote", id="endnotes" …): the elements with an id in it are note bodies.
bool IsNoteContainer(const xmlNode* node) {
    const std::string_view n = LocalName(node);
    if (n != "div" && n != "section" && n != "aside" && n != "ol" && n != "ul" && n != "dl" &&
        n != "li" && n != "p" && n != "dd" && n != "footer")
        return false;  // a link's class="footnote-ref" names the link, not a note
    for (const char* attribute : {"class", "id"}) {
        std::string value = Attribute(node, attribute);
        for (char& c : value)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (value.find("footnote") != std::string::npos || value.find("endnote") != std::string::npos ||
            value.find("rearnote") != std::string::npos)
            return true;
    }
    return false;
}

bool HasIdBelow(const xmlNode* node) {
    for (const xmlNode* c = node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && (!XmlId(c).empty() || HasIdBelow(c))) return true;
    return false;
}

bool IsBacklink(const xmlNode* node) {
    const std::string type = Attribute(node, "class");
    return HasToken(EpubType(node), "backlink") || HasToken(Attribute(node, "role"), "doc-backlink") ||
           type.find("footnote-back") != std::string::npos || HasToken(type, "backlink");
}

bool IsSkippedElement(std::string_view n) {
    return n == "head" || n == "script" || n == "style" || n == "template" || n == "svg" ||
           n == "math" || n == "iframe" || n == "object" || n == "embed" || n == "audio" ||
           n == "video" || n == "noscript";
}

bool IsContainer(std::string_view n) {
    return n == "div" || n == "section" || n == "article" || n == "aside" || n == "header" ||
           n == "footer" || n == "nav" || n == "main" || n == "blockquote" || n == "figure" ||
           n == "body" || n == "ol" || n == "ul" || n == "dl" || n == "table" || n == "tbody" ||
           n == "thead" || n == "tfoot" || n == "hgroup" || n == "details" || n == "center" ||
           n == "fieldset" || n == "html";
}

bool IsParagraph(std::string_view n) {
    return n == "p" || n == "li" || n == "dt" || n == "dd" || n == "pre" || n == "figcaption" ||
           n == "caption" || n == "address" || n == "summary" || n == "legend";
}

int HeadingLevel(std::string_view n) {
    if (n.size() != 2 || n[0] != 'h' || n[1] < '1' || n[1] > '6') return 0;
    return n[1] <= '2' ? 1 : n[1] == '3' ? 2 : 3;
}

xmlNode* FindElement(xmlNode* node, std::string_view name) {
    for (xmlNode* c = node ? node->children : nullptr; c; c = c->next) {
        if (LocalName(c) == name) return c;
        if (xmlNode* found = FindElement(c, name)) return found;
    }
    return nullptr;
}

// The first <nav epub:type="toc"> below node.
xmlNode* FindTocNav(xmlNode* node) {
    for (xmlNode* c = node ? node->children : nullptr; c; c = c->next) {
        if (LocalName(c) == "nav" && HasToken(EpubType(c), "toc")) return c;
        if (xmlNode* found = FindTocNav(c)) return found;
    }
    return nullptr;
}

xmlNode* Child(xmlNode* node, std::string_view name) {
    for (xmlNode* c = node ? node->children : nullptr; c; c = c->next)
        if (LocalName(c) == name) return c;
    return nullptr;
}

class EpubReader {
public:
    EpubReader(ZipArchive& archive, BookBuilder& book, BookInfo& info)
        : m_zip(archive), m_book(book), m_info(info) {}

    void Read() {
        const std::string package = PackagePath();
        ReadPackage(package);
        ReadToc();
        // First every page for its notes and the links to them, then the text.
        for (const std::string& path : m_pages) CollectNotes(path);
        for (const std::string& path : m_asides) CollectNotes(path);
        for (const std::string& path : m_links)
            if (m_noteBodies.count(path)) m_referenced.insert(path);
        for (const std::string& path : m_pages) ReadPage(path);
        // Pages outside the reading order are read too, unless they only hold notes read
        // where their links stand.
        for (const std::string& path : m_asides) {
            bool holdsNotes = false;
            for (const std::string& key : m_referenced)
                holdsNotes = holdsNotes || key.substr(0, key.find('#')) == path;
            if (!holdsNotes) ReadPage(path);
        }
        m_book.EndBlock();
    }

private:
    std::filesystem::path Where(const std::string& entry) const { return m_zip.File() / entry; }

    XmlDocument Parse(const std::string& path) {
        auto it = m_bytes.find(path);
        if (it == m_bytes.end()) it = m_bytes.emplace(path, m_zip.Read(path)).first;
        return XmlDocument::Parse(it->second, Where(path));
    }

    std::string PackagePath() {
        const std::string container = "META-INF/container.xml";
        if (!m_zip.Has(container))
            throw ImportError(m_zip.File(), 0, "not an EPUB book: META-INF/container.xml is missing");
        const XmlDocument doc = XmlDocument::Parse(m_zip.Read(container), Where(container));
        xmlNode* rootfile = FindElement(doc.Root(), "rootfile");
        const std::string href = Attribute(rootfile, "full-path");
        std::string path;
        if (href.empty() || !ResolveArchivePath("", href, path))
            throw ImportError(Where(container), 0, "names no package document (rootfile full-path)");
        return path;
    }

    void ReadPackage(const std::string& package) {
        const XmlDocument doc = Parse(package);
        xmlNode* root = doc.Root();
        if (xmlNode* metadata = Child(root, "metadata")) {
            for (xmlNode* c = metadata->children; c; c = c->next) {
                if (LocalName(c) == "title" && m_info.title.empty()) m_info.title = TextOf(c);
                if (LocalName(c) == "creator" && m_info.author.empty()) m_info.author = TextOf(c);
            }
        }
        std::map<std::string, ManifestItem> items;
        if (xmlNode* manifest = Child(root, "manifest")) {
            for (xmlNode* c = manifest->children; c; c = c->next) {
                if (LocalName(c) != "item") continue;
                const std::string href = Attribute(c, "href");
                ManifestItem item{{}, Attribute(c, "media-type"), Attribute(c, "properties")};
                if (!ResolveArchivePath(package, href, item.path)) {
                    // Remote resources (a font, a stylesheet) are not read; a page may not be.
                    if (href.find(':') != std::string::npos && item.mediaType != "application/xhtml+xml")
                        continue;
                    throw ImportError(Where(package), size_t(xmlGetLineNo(c)),
                                      "the manifest item \"" + href + "\" points outside the archive");
                }
                if (HasToken(item.properties, "nav")) m_navPath = item.path;
                if (item.mediaType == "application/x-dtbncx+xml" && m_ncxPath.empty()) m_ncxPath = item.path;
                items.emplace(Attribute(c, "id"), std::move(item));
            }
        }
        // The table of contents as a page (EPUB 3's navigation document, EPUB 2's guide entry
        // of type toc) is not read as text: its entries are the volumes.
        std::set<std::string> tocPages{m_navPath};
        for (xmlNode* c = Child(Child(root, "guide"), "reference"); c; c = c->next)
            if (LocalName(c) == "reference" && Attribute(c, "type") == "toc") {
                std::string path;
                if (ResolveArchivePath(package, Attribute(c, "href"), path)) tocPages.insert(path);
            }
        xmlNode* spine = Child(root, "spine");
        if (!spine) throw ImportError(Where(package), 0, "the book has no spine (no reading order)");
        const std::string toc = Attribute(spine, "toc");
        if (!toc.empty() && items.count(toc)) m_ncxPath = items[toc].path;
        std::set<std::string> seen;
        size_t refs = 0;
        for (xmlNode* c = spine->children; c; c = c->next) {
            if (LocalName(c) != "itemref") continue;
            ++refs;
            const std::string idref = Attribute(c, "idref");
            const size_t line = size_t(std::max(0L, xmlGetLineNo(c)));
            const auto it = items.find(idref);
            if (it == items.end())
                throw ImportError(Where(package), line,
                                  "the spine names the item \"" + idref + "\", which the manifest lacks");
            if (!seen.insert(it->second.path).second)
                throw ImportError(Where(package), line,
                                  "the spine names " + it->second.path + " twice (a looping spine)");
            const std::string& type = it->second.mediaType;
            if (type != "application/xhtml+xml" && type != "text/html") continue;
            if (!m_zip.Has(it->second.path))
                throw ImportError(Where(package), line,
                                  it->second.path + ", named by the spine, is missing from the archive");
            if (tocPages.count(it->second.path)) continue;
            (Attribute(c, "linear") == "no" ? m_asides : m_pages).push_back(it->second.path);
        }
        if (refs == 0) throw ImportError(Where(package), 0, "the book's spine is empty");
        if (m_pages.empty() && m_asides.empty())
            throw ImportError(Where(package), 0, "the book's spine holds no XHTML pages");
    }

    // --- the table of contents ---

    void NavEntries(xmlNode* ol, const std::string& from, std::vector<TocEntry>& out) {
        for (xmlNode* li = ol->children; li; li = li->next) {
            if (LocalName(li) != "li") continue;
            TocEntry entry;
            for (xmlNode* c = li->children; c; c = c->next) {
                if ((LocalName(c) == "a" || LocalName(c) == "span") && entry.title.empty()) {
                    entry.title = TextOf(c);
                    const std::string href = Attribute(c, "href");
                    if (!href.empty() && ResolveArchivePath(from, href, entry.path) &&
                        href.find('#') != std::string::npos)
                        entry.fragment = href.substr(href.find('#') + 1);
                }
                if (LocalName(c) == "ol") NavEntries(c, from, entry.children);
            }
            out.push_back(std::move(entry));
        }
    }

    void NcxEntries(xmlNode* parent, const std::string& from, std::vector<TocEntry>& out) {
        for (xmlNode* point = parent->children; point; point = point->next) {
            if (LocalName(point) != "navPoint") continue;
            TocEntry entry;
            entry.title = TextOf(Child(Child(point, "navLabel"), "text"));
            const std::string src = Attribute(Child(point, "content"), "src");
            if (!src.empty() && ResolveArchivePath(from, src, entry.path) && src.find('#') != std::string::npos)
                entry.fragment = src.substr(src.find('#') + 1);
            NcxEntries(point, from, entry.children);
            out.push_back(std::move(entry));
        }
    }

    void ReadToc() {
        std::vector<TocEntry> entries;
        if (!m_navPath.empty() && m_zip.Has(m_navPath)) {
            const XmlDocument doc = Parse(m_navPath);
            xmlNode* nav = FindTocNav(doc.Root());
            if (!nav) nav = FindElement(doc.Root(), "nav");
            if (xmlNode* ol = FindElement(nav, "ol")) NavEntries(ol, m_navPath, entries);
        }
        if (entries.empty() && !m_ncxPath.empty() && m_zip.Has(m_ncxPath)) {
            const XmlDocument doc = Parse(m_ncxPath);
            if (xmlNode* map = FindElement(doc.Root(), "navMap")) NcxEntries(map, m_ncxPath, entries);
        }
        while (entries.size() == 1 && entries.front().children.size() >= 2) {
            std::vector<TocEntry> children = std::move(entries.front().children);
            entries = std::move(children);
        }
        // Volume starts in reading order; an entry that points back or out of the spine is not one.
        std::map<std::string, size_t> order;
        for (size_t i = 0; i < m_pages.size(); ++i) order.emplace(m_pages[i], i);
        size_t last = 0;
        for (const TocEntry& e : entries) {
            const auto it = order.find(e.path);
            if (it == order.end() || it->second < last) continue;
            last = it->second;
            auto& starts = m_starts[e.path];
            bool dup = false;
            for (const auto& s : starts) dup = dup || s.first == e.fragment;
            if (!dup) starts.emplace_back(e.fragment, e.title);
        }
    }

    // --- notes ---

    void CollectNotesIn(xmlNode* node, const std::string& path, bool inNotes) {
        for (xmlNode* c = node->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) continue;
            // In a container of notes, the elements with an id are the notes; the container is
            // one itself only when nothing in it has an id.
            const bool container = IsNoteContainer(c);
            const bool notes = inNotes || container;
            if (IsNoteBody(c) || inNotes || (container && !HasIdBelow(c))) {
                const std::string id = XmlId(c);
                if (!id.empty()) m_noteBodies.emplace(path + "#" + id, NoteText(c));
            }
            if (LocalName(c) == "a") {
                const std::string href = Attribute(c, "href");
                std::string target;
                if (href.find('#') != std::string::npos && ResolveArchivePath(path, href, target))
                    m_links.insert(target + "#" + href.substr(href.find('#') + 1));
            }
            CollectNotesIn(c, path, notes);
        }
    }

    void CollectNotes(const std::string& path) {
        const XmlDocument doc = Parse(path);
        CollectNotesIn(doc.Root(), path, false);
    }

    void AppendNote(xmlNode* node, std::string& out) {
        for (xmlNode* c = node->children; c; c = c->next) {
            if (AppendCharacters(c, out)) continue;
            const std::string_view n = LocalName(c);
            if (n.empty() || IsSkippedElement(n) || n == "rp" || IsBacklink(c)) continue;
            if (n == "rt") {
                out += "\xE3\x80\x8A" + TextOf(c) + "\xE3\x80\x8B";
            } else if (n == "img") {
                out += Attribute(c, "alt");
            } else {
                if (IsParagraph(n) || HeadingLevel(n) || n == "br") out += ' ';
                AppendNote(c, out);
            }
        }
    }

    std::string NoteText(xmlNode* node) {
        std::string raw;
        AppendNote(node, raw);
        std::string text = CollapseSpace(raw);
        if (!text.empty() && text.front() == ' ') text.erase(0, 1);
        if (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    }

    // --- the text ---

    void ReadPage(const std::string& path) {
        const XmlDocument doc = Parse(path);
        m_path = path;
        const auto starts = m_starts.find(path);
        m_pageStarts = starts == m_starts.end() ? nullptr : &starts->second;
        if (m_pageStarts) {
            for (const auto& [fragment, title] : *m_pageStarts)
                if (fragment.empty()) m_book.StartVolume(title);
        } else if (m_starts.empty()) {
            // No table of contents: each page is a volume, named by its first heading.
            xmlNode* heading = nullptr;
            for (const char* h : {"h1", "h2", "h3"})
                if (!heading) heading = FindElement(Child(doc.Root(), "body"), h);
            std::string title = TextOf(heading);
            if (title.empty()) title = TextOf(FindElement(Child(doc.Root(), "head"), "title"));
            m_book.StartVolume(title);
        }
        if (xmlNode* body = Child(doc.Root(), "body")) Walk(body);
        m_book.EndBlock();
    }

    void WalkChildren(xmlNode* node) {
        for (xmlNode* c = node->children; c; c = c->next) Walk(c);
    }

    void Text(std::string_view text) {
        if (!m_pre) {
            m_book.Text(CollapseSpace(text));
            return;
        }
        for (;;) {
            const size_t nl = text.find('\n');
            m_book.Text(text.substr(0, nl));
            if (nl == std::string_view::npos) return;
            m_book.LineBreak();
            text.remove_prefix(nl + 1);
        }
    }

    void Walk(xmlNode* node) {
        if (node->type == XML_TEXT_NODE) {
            if (node->content) Text(reinterpret_cast<const char*>(node->content));
            return;
        }
        if (node->type == XML_ENTITY_REF_NODE) {
            if (const char* e = EntityCharacters(node)) m_book.Text(e);
            return;
        }
        if (node->type != XML_ELEMENT_NODE) return;
        const std::string_view n = LocalName(node);
        if (IsSkippedElement(n)) return;
        const std::string id = XmlId(node);
        if (m_pageStarts && !id.empty())
            for (const auto& [fragment, title] : *m_pageStarts)
                if (fragment == id) m_book.StartVolume(title);
        if (IsNoteBody(node) || (!id.empty() && m_noteBodies.count(m_path + "#" + id))) {
            // Read where its link stands; a note nothing links to stays where it is.
            if (!m_referenced.count(m_path + "#" + id)) m_book.Note(NoteText(node));
            return;
        }
        if (const int level = HeadingLevel(n)) {
            m_book.StartHeading(level);
            WalkChildren(node);
            m_book.EndBlock();
        } else if (IsParagraph(n)) {
            const bool pre = m_pre;
            m_pre = m_pre || n == "pre";
            m_book.StartParagraph();
            WalkChildren(node);
            m_book.EndBlock();
            m_pre = pre;
        } else if (IsContainer(n)) {
            m_book.EndBlock();
            WalkChildren(node);
            m_book.EndBlock();
        } else if (n == "tr") {
            m_book.StartParagraph();
            for (xmlNode* c = node->children; c; c = c->next) {
                Walk(c);
                m_book.Text(" ");
            }
            m_book.EndBlock();
        } else if (n == "br") {
            m_book.LineBreak();
        } else if (n == "hr") {
            m_book.EndBlock();
        } else if (n == "img") {
            m_book.Note(Attribute(node, "alt"));
        } else if (n == "rt" || n == "rtc") {
            m_book.Note(TextOf(node), NoteKind::kRuby);
        } else if (n == "rp") {
            // parentheses for readers without ruby
        } else if (n == "a" && NoteLink(node)) {
            // the note was placed instead of the link's marker
        } else {
            WalkChildren(node);
        }
    }

    // A link to a note body: the note goes where the link stands.
    bool NoteLink(xmlNode* a) {
        const std::string href = Attribute(a, "href");
        std::string target;
        if (href.find('#') == std::string::npos || !ResolveArchivePath(m_path, href, target)) return false;
        const auto it = m_noteBodies.find(target + "#" + href.substr(href.find('#') + 1));
        if (it == m_noteBodies.end()) return false;
        m_book.Note(it->second);
        return true;
    }

    ZipArchive& m_zip;
    BookBuilder& m_book;
    BookInfo& m_info;
    std::map<std::string, std::string> m_bytes;  // pages read from the archive, by path
    std::vector<std::string> m_pages;            // the spine's linear pages
    std::vector<std::string> m_asides;           // its pages marked linear="no"
    std::string m_navPath, m_ncxPath;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> m_starts;  // page -> (fragment, title)
    std::map<std::string, std::string> m_noteBodies;  // "page#id" -> text
    std::set<std::string> m_links;                    // "page#id" of every link
    std::set<std::string> m_referenced;               // note bodies a link points at
    std::string m_path;                               // the page being read
    const std::vector<std::pair<std::string, std::string>>* m_pageStarts = nullptr;
    bool m_pre = false;
};

}  // namespace

void ReadEpub(ZipArchive& archive, BookBuilder& book, BookInfo& info) { EpubReader(archive, book, info).Read(); }

}  // namespace kolva
