// Reading XML text into a tree of XML objects, as the XML and XMLList constructors do: comments,
// processing instructions and whitespace kept or dropped by the XML class's settings, names
// resolved against the namespaces declared around them.

#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kinovex::flash::avm2 {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr std::size_t kMaxReference = 12; // "&#x10FFFF;" and the named ones fit

// The text with its entity and character references replaced; unknown ones stay as written.
std::string decodeEntities(const std::string& s) {
    static const std::pair<const char*, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        // A reference is short: the search for its end stops soon, so that text full of
        // ampersands reads in linear time.
        std::size_t end = std::string::npos;
        for (std::size_t j = i + 1; s[i] == '&' && j < s.size() && j <= i + kMaxReference; ++j) {
            if (s[j] == ';') {
                end = j;
                break;
            }
        }
        if (end == std::string::npos) {
            out += s[i];
            continue;
        }
        const std::string ref = s.substr(i + 1, end - i - 1);
        bool done = false;
        for (const auto& [name, c] : kNamed) {
            if (ref == name) {
                out += c;
                done = true;
            }
        }
        if (!done && ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x' || ref[1] == 'X';
            const std::string digits = ref.substr(hex ? 2 : 1);
            char* stop = nullptr;
            const unsigned long c = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
            if (!digits.empty() && *stop == '\0' && c <= 0x10FFFF) {
                appendUtf8(out, static_cast<std::uint32_t>(c));
                done = true;
            }
        }
        if (done) {
            i = end;
        } else {
            out += s[i];
        }
    }
    return out;
}

class XmlParser {
public:
    XmlParser(Machine& m, const std::string& text, const std::vector<XmlNsDecl>& scope,
              const XmlSettings& settings)
        : m_vm(m), m_s(text), m_scope(scope), m_settings(settings) {}

    std::vector<Object*> parseTop() {
        std::vector<Object*> nodes = parseContent(nullptr);
        if (m_pos < m_s.size()) {
            fail(1088, "The markup in the document following the root element must be "
                       "well-formed.");
        }
        return nodes;
    }

private:
    [[noreturn]] void fail(int id, const std::string& text) {
        m_vm.throwError("TypeError", id, text);
    }
    bool startsWith(const char* t) const { return m_s.compare(m_pos, std::strlen(t), t) == 0; }
    // The text up to `end` (moved past), or the player's error for an unterminated construct.
    std::string until(const char* end, int id, const char* what) {
        const std::size_t at = m_s.find(end, m_pos);
        if (at == std::string::npos) {
            fail(id, std::string("XML parser failure: Unterminated ") + what + ".");
        }
        std::string text = m_s.substr(m_pos, at - m_pos);
        m_pos = at + std::strlen(end);
        return text;
    }
    void skipSpace() {
        while (m_pos < m_s.size() && isSpace(m_s[m_pos])) {
            ++m_pos;
        }
    }
    std::string readName() {
        const std::size_t start = m_pos;
        while (m_pos < m_s.size() && !isSpace(m_s[m_pos]) && m_s[m_pos] != '/' &&
               m_s[m_pos] != '>' && m_s[m_pos] != '=' && m_s[m_pos] != '<') {
            ++m_pos;
        }
        return m_s.substr(start, m_pos - start);
    }

    std::vector<Object*> parseContent(Object* parent);
    Object* parseMarkup();
    Object* parseInstruction();
    void skipDoctype();
    Object* parseElement();
    void parseAttributes(Object* el, std::vector<std::pair<std::string, std::string>>& attrs);
    std::string uriOf(const std::string& prefix, const std::string& name, bool attribute);

    Machine& m_vm;
    const std::string& m_s;
    std::vector<XmlNsDecl> m_scope;
    XmlSettings m_settings;
    std::size_t m_pos = 0;
};

std::vector<Object*> XmlParser::parseContent(Object* parent) {
    std::vector<Object*> nodes;
    while (m_pos < m_s.size() && !startsWith("</")) {
        if (m_s[m_pos] == '<') {
            if (Object* n = parseMarkup()) {
                n->parentObj = parent;
                nodes.push_back(n);
            }
            continue;
        }
        const std::size_t end = std::min(m_s.find('<', m_pos), m_s.size());
        std::string text = decodeEntities(m_s.substr(m_pos, end - m_pos));
        m_pos = end;
        if (m_settings.ignoreWhitespace || parent == nullptr) {
            const std::string t = trimmedXmlText(text);
            if (t.empty()) {
                continue;
            }
            if (m_settings.ignoreWhitespace) {
                text = t;
            }
        }
        Object* n = newXmlNode(m_vm, XmlKind::Text);
        n->xml->text = std::move(text);
        n->parentObj = parent;
        nodes.push_back(n);
    }
    return nodes;
}

Object* XmlParser::parseMarkup() {
    if (startsWith("<!--")) {
        m_pos += 4;
        std::string text = until("-->", 1094, "comment");
        if (m_settings.ignoreComments) {
            return nullptr;
        }
        Object* n = newXmlNode(m_vm, XmlKind::Comment);
        n->xml->text = std::move(text);
        return n;
    }
    if (startsWith("<![CDATA[")) {
        m_pos += 9;
        Object* n = newXmlNode(m_vm, XmlKind::Text);
        n->xml->text = until("]]>", 1091, "CDATA section");
        n->xml->cdata = true;
        return n;
    }
    if (startsWith("<?")) {
        return parseInstruction();
    }
    if (startsWith("<!")) {
        skipDoctype();
        return nullptr;
    }
    return parseElement();
}

Object* XmlParser::parseInstruction() {
    m_pos += 2;
    const std::size_t start = m_pos;
    while (m_pos < m_s.size() && !isSpace(m_s[m_pos]) && !startsWith("?>")) {
        ++m_pos;
    }
    std::string name = m_s.substr(start, m_pos - start);
    skipSpace();
    std::string body = until("?>", 1097, "processing instruction");
    const bool declaration = name.size() == 3 && (name[0] | 0x20) == 'x' &&
                             (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l';
    if (declaration || m_settings.ignoreInstructions) {
        return nullptr;
    }
    Object* n = newXmlNode(m_vm, XmlKind::Instruction);
    n->xml->local = std::move(name);
    n->xml->text = std::move(body);
    return n;
}

void XmlParser::skipDoctype() {
    int depth = 0;
    for (; m_pos < m_s.size(); ++m_pos) {
        const char c = m_s[m_pos];
        depth += c == '[' ? 1 : (c == ']' ? -1 : 0);
        if (c == '>' && depth <= 0) {
            ++m_pos;
            return;
        }
    }
    fail(1093, "XML parser failure: Unterminated DOCTYPE declaration.");
}

std::string XmlParser::uriOf(const std::string& prefix, const std::string& name, bool attribute) {
    if (prefix.empty() && attribute) {
        return {};
    }
    for (auto it = m_scope.rbegin(); it != m_scope.rend(); ++it) {
        if (it->prefix == prefix) {
            return it->uri;
        }
    }
    if (prefix.empty()) {
        return m_vm.defaultXmlNs;
    }
    if (prefix == "xml") {
        return "http://www.w3.org/XML/1998/namespace";
    }
    if (m_settings.lenient) {
        return {};
    }
    fail(1083, "The prefix \"" + prefix + "\" for element \"" + name + "\" is not bound.");
}

void XmlParser::parseAttributes(Object* el,
                                std::vector<std::pair<std::string, std::string>>& attrs) {
    while (true) {
        skipSpace();
        if (m_pos >= m_s.size()) {
            fail(1096, "XML parser failure: Unterminated element.");
        }
        if (m_s[m_pos] == '>' || startsWith("/>")) {
            return;
        }
        std::string name = readName();
        skipSpace();
        if (name.empty() || m_pos >= m_s.size() || m_s[m_pos] != '=') {
            fail(1090, "XML parser failure: element is malformed.");
        }
        ++m_pos;
        skipSpace();
        if (m_pos >= m_s.size() || (m_s[m_pos] != '"' && m_s[m_pos] != '\'')) {
            fail(1090, "XML parser failure: element is malformed.");
        }
        const char quote[2] = {m_s[m_pos++], '\0'};
        std::string value = decodeEntities(until(quote, 1095, "attribute"));
        if (name == "xmlns" || name.rfind("xmlns:", 0) == 0) {
            el->xml->decls.push_back({name.size() > 5 ? name.substr(6) : "", value});
        } else {
            attrs.emplace_back(std::move(name), std::move(value));
        }
    }
}

void splitName(const std::string& qualified, std::string& prefix, std::string& local) {
    const std::size_t colon = qualified.find(':');
    prefix = colon == std::string::npos ? "" : qualified.substr(0, colon);
    local = colon == std::string::npos ? qualified : qualified.substr(colon + 1);
}

Object* XmlParser::parseElement() {
    const NativeDepth depth(m_vm); // nesting past the machine's depth: its stack overflow error
    ++m_pos;
    const std::string qualified = readName();
    if (qualified.empty()) {
        fail(1090, "XML parser failure: element is malformed.");
    }
    Object* el = newXmlNode(m_vm, XmlKind::Element);
    std::vector<std::pair<std::string, std::string>> attrs;
    parseAttributes(el, attrs);
    const std::size_t outer = m_scope.size();
    m_scope.insert(m_scope.end(), el->xml->decls.begin(), el->xml->decls.end());
    splitName(qualified, el->xml->prefix, el->xml->local);
    el->xml->uri = uriOf(el->xml->prefix, qualified, false);
    for (auto& [name, value] : attrs) {
        Object* a = newXmlNode(m_vm, XmlKind::Attribute);
        splitName(name, a->xml->prefix, a->xml->local);
        a->xml->uri = uriOf(a->xml->prefix, name, true);
        for (const Object* other : el->keyObjects) {
            if (!m_settings.lenient && other->xml->local == a->xml->local &&
                other->xml->uri == a->xml->uri) {
                fail(1104, "Attribute \"" + name + "\" was already specified for element \"" +
                               qualified + "\".");
            }
        }
        a->xml->text = std::move(value);
        a->parentObj = el;
        el->keyObjects.push_back(a);
    }
    if (startsWith("/>")) {
        m_pos += 2;
    } else {
        ++m_pos;
        el->children = parseContent(el);
        if (!startsWith("</")) {
            fail(1085, "The element type \"" + qualified +
                           "\" must be terminated by the matching end-tag \"</" + qualified +
                           ">\".");
        }
        m_pos += 2;
        const std::string closing = readName();
        skipSpace();
        if (closing != qualified || m_pos >= m_s.size() || m_s[m_pos] != '>') {
            fail(1085, "The element type \"" + qualified +
                           "\" must be terminated by the matching end-tag \"</" + qualified +
                           ">\".");
        }
        ++m_pos;
    }
    m_scope.resize(outer);
    return el;
}

} // namespace

std::vector<Object*> parseXmlNodes(Machine& m, const std::string& text,
                                   const std::vector<XmlNsDecl>& scope) {
    XmlParser parser(m, text, scope, xmlSettings(m));
    return parser.parseTop();
}

std::vector<Object*> parseXmlNodes(Machine& m, const std::string& text,
                                   const XmlSettings& settings) {
    XmlParser parser(m, text, {}, settings);
    return parser.parseTop();
}

std::string trimmedXmlText(const std::string& s) {
    std::size_t a = 0;
    std::size_t b = s.size();
    while (a < b && isSpace(s[a])) {
        ++a;
    }
    while (b > a && isSpace(s[b - 1])) {
        --b;
    }
    return s.substr(a, b - a);
}

} // namespace kinovex::flash::avm2
