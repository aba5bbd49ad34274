// TEI P5, as the large Buddhist and classical corpora write it:
//
//   <TEI> <teiHeader> titleStmt: <title xml:lang>… <author>…; encodingDesc/charDecl:
//                     <char xml:id> with <mapping type="unicode"|"normalized">, <charName>,
//                     <charProp> (composition, normalized form)
//         <text xml:lang> <front>? <body> <back>?
//
// Volumes: the fascicles (cb:juan fun="open") when there are any, else the top divisions of the
// body (div or cb:div; a single division that wraps all is looked into), else the body as one;
// the front and what is left of the back each a volume of their own. <pb n/> starts an edition
// page labelled n (only the pages of the edition of the first <pb ed>); <lb/> a line; <head> a
// heading; a <note> a note where it stands; a note of the back with target="#id", and an
// apparatus entry of the back with from/to, a note at that anchor of the text; <app> its <lem>
// in the text and its readings as a note; <g ref="#id"/> the declared character (its Unicode
// mapping, else its normalized form, else its content, else 〓 with its name in a note);
// cb:mulu (table-of-contents entries) and <fw> (running heads) are not text.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "import/readers.h"
#include "import/xml.h"
#include "text/utf8.h"

namespace kolva {

namespace {

constexpr std::string_view kGeta = "\xE3\x80\x93";  // 〓

struct CharEntry {
    std::string unicode, normalized, name;
};

bool IsDiv(std::string_view name) {
    return name == "div" || (name.size() == 4 && name.substr(0, 3) == "div" && name[3] >= '1' && name[3] <= '7');
}

bool IsParagraphLike(std::string_view n) {
    return n == "p" || n == "ab" || n == "byline" || n == "dateline" || n == "docNumber" ||
           n == "opener" || n == "closer" || n == "salute" || n == "signed" || n == "trailer" ||
           n == "item" || n == "speaker" || n == "titlePart" || n == "docAuthor" || n == "docImprint" ||
           n == "docEdition" || n == "docDate" || n == "l" || n == "argument" || n == "postscript" ||
           n == "caption" || n == "entry" || n == "dialog";
}

// Elements whose text is not the text's: table-of-contents entries, running heads and page
// numbers of the print, the header.
bool IsSkipped(std::string_view n) {
    return n == "teiHeader" || n == "mulu" || n == "fw" || n == "graphic" || n == "gap" ||
           n == "space" || n == "cb" || n == "milestone" || n == "binaryObject" || n == "facsimile";
}

// "#a #b" -> "a"
std::string FirstPointer(std::string_view value) {
    const size_t hash = value.find('#');
    if (hash == std::string_view::npos) return {};
    value.remove_prefix(hash + 1);
    return std::string(value.substr(0, value.find_first_of(" \t\n")));
}

std::string TrimSpace(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t start = 0;
    while (start < s.size() && s[start] == ' ') ++start;
    return s.substr(start);
}

// "U+20B9F" or the character itself -> UTF-8; empty when neither.
std::string UnicodeValue(const std::string& text) {
    if (text.size() > 2 && (text[0] == 'U' || text[0] == 'u') && text[1] == '+') {
        uint32_t value = 0;
        size_t digits = 0;
        for (size_t i = 2; i < text.size() && digits <= 6; ++i, ++digits) {
            const char c = text[i];
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0) return {};
            value = value * 16 + uint32_t(d);
        }
        if (digits < 4 || digits > 6 || value > 0x10FFFF || value < 0x20 ||
            (value >= 0xD800 && value <= 0xDFFF))
            return {};
        std::string out;
        AppendCodePointUtf8(char32_t(value), out);
        return out;
    }
    std::u32string points;
    size_t bad;
    if (!text.empty() && DecodeUtf8(text, points, bad) && points.size() <= 2) return text;
    return {};
}

std::string WithoutLeadingZeros(std::string n) {
    while (n.size() > 1 && n.front() == '0') n.erase(0, 1);
    return n;
}

class TeiReader {
public:
    TeiReader(const std::filesystem::path& file, BookBuilder& book, BookInfo& info)
        : m_file(file), m_book(book), m_info(info) {}

    void Read(xmlNode* root) {
        if (LocalName(root) != "TEI" && LocalName(root) != "TEI.2")
            throw ImportError(m_file, size_t(xmlGetLineNo(root) > 0 ? xmlGetLineNo(root) : 0),
                              "not a TEI document (its root element is <" +
                                  std::string(LocalName(root)) + ">)");
        xmlNode* header = Child(root, "teiHeader");
        xmlNode* text = Child(root, "text");
        if (!text) throw ImportError(m_file, 0, "the TEI document has no <text>");
        std::string lang = AttributeNs(text, "lang", kXmlNamespace, nullptr);
        if (lang.empty()) lang = AttributeNs(root, "lang", kXmlNamespace, nullptr);
        if (header) ReadHeader(header, lang);

        // A corpus file may group texts: each <text> of a <group> is read in turn.
        std::vector<xmlNode*> texts;
        CollectTexts(text, texts);
        for (xmlNode* t : texts)
            for (xmlNode* part = t->children; part; part = part->next)
                if (LocalName(part) == "back") CollectRelocations(part);
        FindPageBreaks(text);
        m_book.SetEditionPages(m_edition);
        for (xmlNode* t : texts) ReadText(t);
    }

private:
    static xmlNode* Child(xmlNode* node, std::string_view name) {
        for (xmlNode* c = node ? node->children : nullptr; c; c = c->next)
            if (LocalName(c) == name) return c;
        return nullptr;
    }

    void CollectTexts(xmlNode* text, std::vector<xmlNode*>& out) {
        xmlNode* group = Child(text, "group");
        if (!group) {
            out.push_back(text);
            return;
        }
        for (xmlNode* c = group->children; c; c = c->next)
            if (LocalName(c) == "text") CollectTexts(c, out);
    }

    // --- the header ---

    static bool LangMatches(const std::string& a, const std::string& b) {
        if (a.empty() || b.empty()) return false;
        return a == b || a.substr(0, a.find('-')) == b.substr(0, b.find('-'));
    }

    // The text of the first of nodes in the text's language, else of the first without a
    // language, else of the first; a series' title (level s or j) only when nothing else is.
    std::string InLanguage(std::vector<xmlNode*> nodes, const std::string& lang) {
        std::stable_partition(nodes.begin(), nodes.end(), [](xmlNode* n) {
            const std::string level = Attribute(n, "level");
            return level != "s" && level != "j" && level != "u";
        });
        for (xmlNode* n : nodes)
            if (LangMatches(AttributeNs(n, "lang", kXmlNamespace, nullptr), lang) && !TitleText(n).empty())
                return TitleText(n);
        for (xmlNode* n : nodes)
            if (AttributeNs(n, "lang", kXmlNamespace, nullptr).empty() && !TitleText(n).empty())
                return TitleText(n);
        for (xmlNode* n : nodes)
            if (!TitleText(n).empty()) return TitleText(n);
        return {};
    }

    void ReadHeader(xmlNode* header, std::string lang) {
        xmlNode* fileDesc = Child(header, "fileDesc");
        if (lang.empty())
            if (xmlNode* usage = Child(Child(header, "profileDesc"), "langUsage"))
                if (xmlNode* language = Child(usage, "language")) lang = Attribute(language, "ident");
        if (xmlNode* encoding = Child(header, "encodingDesc"))
            for (xmlNode* decl = encoding->children; decl; decl = decl->next)
                if (LocalName(decl) == "charDecl") ReadCharDecl(decl);
        xmlNode* titleStmt = Child(fileDesc, "titleStmt");
        std::vector<xmlNode*> titles, authors;
        for (xmlNode* c = titleStmt ? titleStmt->children : nullptr; c; c = c->next) {
            if (LocalName(c) == "title") titles.push_back(c);
            if (LocalName(c) == "author") authors.push_back(c);
        }
        m_info.title = InLanguage(titles, lang);
        m_info.author = InLanguage(authors, lang);
    }

    void ReadCharDecl(xmlNode* decl) {
        for (xmlNode* c = decl->children; c; c = c->next) {
            if (LocalName(c) != "char" && LocalName(c) != "glyph") continue;
            CharEntry entry;
            std::string charName;
            for (xmlNode* part = c->children; part; part = part->next) {
                const std::string_view n = LocalName(part);
                if (n == "mapping") {
                    const std::string type = Attribute(part, "type");
                    const std::string value = TextOf(part);
                    if ((type == "unicode" || type == "Unicode" || type == "UCS") && entry.unicode.empty())
                        entry.unicode = UnicodeValue(value);
                    else if ((type == "normalized" || type == "normal_unicode" || type == "standard" ||
                              type == "normal") && entry.normalized.empty())
                        entry.normalized = UnicodeValue(value).empty() ? value : UnicodeValue(value);
                } else if (n == "charName" || n == "glyphName") {
                    charName = TextOf(part);
                } else if (n == "charProp") {
                    const std::string local = TextOf(Child(part, "localName"));
                    const std::string value = TextOf(Child(part, "value"));
                    if (local == "composition" && entry.name.empty()) entry.name = value;
                    if ((local == "normalized form" || local == "normalized" || local == "normal") &&
                        entry.normalized.empty())
                        entry.normalized = value;
                }
            }
            if (entry.name.empty()) entry.name = charName;
            const std::string id = XmlId(c);
            if (entry.name.empty()) entry.name = id;
            if (!id.empty()) m_chars.emplace(id, std::move(entry));
        }
    }

    // --- before the text: notes and readings that belong at anchors, edition pages ---

    void CollectRelocations(xmlNode* node) {
        for (xmlNode* c = node->children; c; c = c->next) {
            const std::string_view n = LocalName(c);
            if (n == "note") {
                const std::string id = FirstPointer(Attribute(c, "target"));
                if (!id.empty()) {
                    m_relocated[id].push_back(c);
                    continue;
                }
            } else if (n == "app") {
                std::string id = FirstPointer(Attribute(c, "to"));
                if (id.empty()) id = FirstPointer(Attribute(c, "from"));
                if (!id.empty()) {
                    m_relocated[id].push_back(c);
                    continue;
                }
            }
            if (c->type == XML_ELEMENT_NODE) CollectRelocations(c);
        }
    }

    void FindPageBreaks(xmlNode* node) {
        for (xmlNode* c = node->children; c && !m_edition; c = c->next) {
            if (LocalName(c) == "pb") {
                m_edition = true;
                m_ed = Attribute(c, "ed");
                return;
            }
            if (c->type == XML_ELEMENT_NODE && !IsSkipped(LocalName(c)) && LocalName(c) != "note")
                FindPageBreaks(c);
        }
    }

    bool OfTheEdition(xmlNode* node) const {
        const std::string ed = Attribute(node, "ed");
        return ed.empty() || m_ed.empty() || ed == m_ed;
    }

    // --- text of titles and notes ---

    // The character a <g> stands for; its name goes to note when only a placeholder is left.
    std::string Glyph(xmlNode* g, std::string* note) {
        const std::string id = FirstPointer(Attribute(g, "ref"));
        const auto it = m_chars.find(id);
        std::string content = TextOf(g);
        if (it != m_chars.end()) {
            if (!it->second.unicode.empty()) return it->second.unicode;
            if (!it->second.normalized.empty()) return it->second.normalized;
        }
        if (!content.empty()) return content;
        if (note) *note = it != m_chars.end() ? it->second.name : id.empty() ? "g" : id;
        return std::string(kGeta);
    }

    // Readings of an apparatus entry: "reading wit" joined by "；" (an omission is "－").
    std::string Readings(xmlNode* app) {
        std::string out;
        const auto add = [&](xmlNode* rdg) {
            std::string reading = FlatText(rdg);
            if (reading.empty()) reading = "\xEF\xBC\x8D";  // －
            std::string wit = Attribute(rdg, "wit");
            for (char& c : wit)
                if (c == '#') c = ' ';
            wit = TrimSpace(CollapseSpace(wit));
            if (!out.empty()) out += "\xEF\xBC\x9B";  // ；
            out += reading + (wit.empty() ? "" : " " + wit);
        };
        for (xmlNode* c = app->children; c; c = c->next) {
            if (LocalName(c) == "rdg") add(c);
            if (LocalName(c) == "rdgGrp")
                for (xmlNode* r = c->children; r; r = r->next)
                    if (LocalName(r) == "rdg") add(r);
        }
        return out;
    }

    void AppendFlat(xmlNode* node, std::string& out, bool title) {
        for (xmlNode* c = node->children; c; c = c->next) {
            if (AppendCharacters(c, out)) continue;
            const std::string_view n = LocalName(c);
            if (n.empty() || IsSkipped(n) || n == "pb" || n == "lb" || n == "rdg" || n == "rdgGrp" ||
                n == "sic" || n == "orig" || n == "abbr" || n == "figDesc")
                continue;
            if (title && (n == "note" || n == "rt" || n == "rp")) continue;
            if (n == "g") {
                std::string name;
                out += Glyph(c, &name);
                if (!name.empty() && !title) out += "(" + name + ")";
            } else if (n == "rt") {
                out += "\xE3\x80\x8A" + FlatText(c) + "\xE3\x80\x8B";
            } else {
                AppendFlat(c, out, title);
            }
        }
    }

    // The text below node as one run: lem of readings, corrections of errors, no page breaks.
    std::string FlatText(xmlNode* node) {
        std::string raw;
        AppendFlat(node, raw, false);
        return TrimSpace(CollapseSpace(raw));
    }
    // As FlatText, without notes and readings: for titles.
    std::string TitleText(xmlNode* node) {
        std::string raw;
        AppendFlat(node, raw, true);
        return TrimSpace(CollapseSpace(raw));
    }

    // --- volumes ---

    std::string DivTitle(xmlNode* div) {
        for (xmlNode* c = div->children; c; c = c->next)
            if (LocalName(c) == "head" && !TitleText(c).empty()) return TitleText(c);
        for (xmlNode* c = div->children; c; c = c->next)
            if (LocalName(c) == "mulu" && !TitleText(c).empty()) return TitleText(c);
        std::string title = Attribute(div, "n");
        return title;
    }

    std::string JuanTitle(xmlNode* juan) {
        for (xmlNode* c = juan->children; c; c = c->next)
            if (LocalName(c) == "jhead" && !TitleText(c).empty()) return TitleText(c);
        const std::string n = Attribute(juan, "n");
        return n.empty() ? std::string() : "\xE5\x8D\xB7" /*卷*/ + WithoutLeadingZeros(n);
    }

    static bool HasJuan(xmlNode* node) {
        for (xmlNode* c = node->children; c; c = c->next) {
            if (LocalName(c) == "juan" && Attribute(c, "fun") == "open") return true;
            if (c->type == XML_ELEMENT_NODE && LocalName(c) != "note" && HasJuan(c)) return true;
        }
        return false;
    }

    // The divisions that are volumes: the body's, or those of its single wrapping division.
    void FindVolumeDivs(xmlNode* body) {
        xmlNode* level = body;
        for (int depth = 0; depth < 4; ++depth) {
            std::vector<xmlNode*> divs;
            bool other = false;  // text beside the divisions
            for (xmlNode* c = level->children; c; c = c->next) {
                if (IsDiv(LocalName(c))) divs.push_back(c);
                else if (c->type == XML_ELEMENT_NODE && LocalName(c) != "head" && !IsSkipped(LocalName(c)) &&
                         LocalName(c) != "pb" && LocalName(c) != "lb" && LocalName(c) != "anchor")
                    other = true;
            }
            if (divs.size() == 1 && !other) {
                level = divs.front();
                continue;
            }
            if (divs.size() >= 2) m_volumeDivs.insert(divs.begin(), divs.end());
            return;
        }
    }

    void ReadText(xmlNode* text) {
        for (xmlNode* part = text->children; part; part = part->next) {
            const std::string_view n = LocalName(part);
            if (n == "front") {
                m_book.StartVolume(PartTitle(part, "\xE5\x89\x8D\xE4\xBB\x98" /*前付*/));
                Walk(part, 0);
            } else if (n == "body") {
                m_juan = HasJuan(part);
                m_volumeDivs.clear();
                if (!m_juan) FindVolumeDivs(part);
                m_book.StartVolume({});
                Walk(part, 0);
            } else if (n == "back") {
                m_book.StartVolume(PartTitle(part, "\xE5\xBE\x8C\xE4\xBB\x98" /*後付*/));
                m_inBack = true;
                Walk(part, 0);
                m_inBack = false;
            } else {
                Walk(part, 0);
            }
        }
        m_book.EndBlock();
    }

    std::string PartTitle(xmlNode* part, std::string fallback) {
        for (xmlNode* c = part->children; c; c = c->next) {
            if (LocalName(c) == "head" && !TitleText(c).empty()) return TitleText(c);
            if (IsDiv(LocalName(c)))
                for (xmlNode* h = c->children; h; h = h->next)
                    if (LocalName(h) == "head" && !TitleText(h).empty()) return TitleText(h);
        }
        return fallback;
    }

    // --- the walk ---

    void EmitRelocated(const std::string& id) {
        const auto it = m_relocated.find(id);
        if (it == m_relocated.end()) return;
        for (xmlNode* n : it->second) {
            if (!m_placed.insert(n).second) continue;
            m_book.Note(LocalName(n) == "app" ? Readings(n) : FlatText(n));
        }
    }

    void WalkChildren(xmlNode* node, int depth) {
        for (xmlNode* c = node->children; c; c = c->next) Walk(c, depth);
    }

    void Block(xmlNode* node, int depth, int headingLevel) {
        if (headingLevel > 0) m_book.StartHeading(headingLevel);
        else m_book.StartParagraph();
        WalkChildren(node, depth);
        m_book.EndBlock();
    }

    void Walk(xmlNode* node, int depth) {
        if (node->type == XML_TEXT_NODE) {
            if (node->content) m_book.Text(CollapseSpace(reinterpret_cast<const char*>(node->content)));
            return;
        }
        if (node->type == XML_ENTITY_REF_NODE) {
            if (const char* e = EntityCharacters(node)) m_book.Text(e);
            return;
        }
        if (node->type != XML_ELEMENT_NODE) return;
        const std::string_view n = LocalName(node);
        if (IsSkipped(n)) return;
        if (m_inBack && m_placed.count(node)) return;
        const std::string id = m_relocated.empty() ? std::string() : XmlId(node);

        if (n == "pb") {
            if (m_edition && OfTheEdition(node)) m_book.StartPage(Attribute(node, "n"));
        } else if (n == "lb") {
            if (OfTheEdition(node)) m_book.LineBreak();
        } else if (n == "head") {
            const std::string_view parent = LocalName(node->parent);
            const bool division = IsDiv(parent) || parent == "body" || parent == "front" ||
                                  parent == "back" || parent == "juan";
            Block(node, depth, division ? std::min(std::max(depth, 1), 3) : 0);
        } else if (n == "jhead") {
            Block(node, depth, 1);
        } else if (n == "juan") {
            if (m_juan && Attribute(node, "fun") == "open") m_book.StartVolume(JuanTitle(node));
            WalkChildren(node, depth);
            m_book.EndBlock();
        } else if (IsDiv(n)) {
            if (m_volumeDivs.count(node)) m_book.StartVolume(DivTitle(node));
            m_book.EndBlock();
            WalkChildren(node, depth + 1);
            m_book.EndBlock();
        } else if (n == "lg") {
            m_book.StartParagraph();
            for (xmlNode* c = node->children; c; c = c->next) {
                if (LocalName(c) == "l") {
                    WalkChildren(c, depth);
                    m_book.LineBreak();
                } else if (LocalName(c) == "lg" || LocalName(c) == "head") {
                    Walk(c, depth);
                    m_book.StartParagraph();
                } else {
                    Walk(c, depth);
                }
            }
            m_book.EndBlock();
        } else if (IsParagraphLike(n)) {
            Block(node, depth, 0);
        } else if (n == "row") {
            m_book.StartParagraph();
            for (xmlNode* c = node->children; c; c = c->next) {
                Walk(c, depth);
                m_book.Text(" ");
            }
            m_book.EndBlock();
        } else if (n == "note") {
            if (!m_placed.count(node)) m_book.Note(FlatText(node));
        } else if (n == "app") {
            for (xmlNode* c = node->children; c; c = c->next)
                if (LocalName(c) == "lem") WalkChildren(c, depth);
            m_book.Note(Readings(node));
        } else if (n == "rdg" || n == "rdgGrp" || n == "sic" || n == "orig" || n == "abbr" ||
                   n == "figDesc" || n == "del") {
            m_book.Note(FlatText(node));
        } else if (n == "t" && !Attribute(node, "place").empty()) {
            m_book.Note(FlatText(node));  // a translation printed apart
        } else if (n == "g") {
            std::string name;
            m_book.Text(Glyph(node, &name));
            if (!name.empty()) m_book.Note(name);
        } else if (n == "rt") {
            m_book.Note(FlatText(node), NoteKind::kRuby);
        } else if (n == "rp") {
            // parentheses for readers without ruby
        } else if (n == "anchor") {
            // the place of notes from the back (below)
        } else {
            WalkChildren(node, depth);
        }
        if (!id.empty()) EmitRelocated(id);
    }

    const std::filesystem::path& m_file;
    BookBuilder& m_book;
    BookInfo& m_info;
    std::map<std::string, CharEntry> m_chars;
    std::map<std::string, std::vector<xmlNode*>> m_relocated;  // anchor id -> notes, readings
    std::set<xmlNode*> m_placed;                               // relocated ones already placed
    std::set<xmlNode*> m_volumeDivs;
    bool m_edition = false;
    std::string m_ed;  // the edition whose pages count
    bool m_juan = false;
    bool m_inBack = false;
};

}  // namespace

void ReadTei(std::string_view bytes, const std::filesystem::path& file, BookBuilder& book,
             BookInfo& info) {
    const XmlDocument doc = XmlDocument::Parse(bytes, file);
    TeiReader(file, book, info).Read(doc.Root());
}

}  // namespace kolva
