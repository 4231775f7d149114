// Writing XML objects back as text (toXMLString), with the XML class's pretty printing, and the
// namespace declarations a printed element needs.

#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

namespace kinovex::flash::avm2 {

namespace {

// The prefix under which a node's namespace is printed: one in scope (the node's own first),
// else the node's own prefix declared anew in `added`. The player gives an attribute the default
// namespace's empty prefix as readily as an element.
std::string prefixFor(const XmlInfo& node, const std::vector<XmlNsDecl>& scope,
                      std::vector<XmlNsDecl>& added) {
    if (node.uri.empty()) {
        return {};
    }
    const XmlNsDecl* found = nullptr;
    for (auto it = scope.rbegin(); it != scope.rend(); ++it) {
        if (it->uri != node.uri) {
            continue;
        }
        // A prefix declared again further in for another namespace does not reach here.
        bool shadowed = false;
        for (auto in = scope.rbegin(); in != it; ++in) {
            shadowed = shadowed || in->prefix == it->prefix;
        }
        if (!shadowed && (found == nullptr || it->prefix == node.prefix)) {
            found = &*it;
        }
    }
    if (found == nullptr) {
        for (const XmlNsDecl& d : added) {
            if (d.uri == node.uri) {
                return d.prefix;
            }
        }
        added.push_back({node.prefix, node.uri});
        return node.prefix;
    }
    return found->prefix;
}

struct Printer {
    Machine& vm;
    XmlSettings settings;
    std::string out;

    void indent(int n) {
        if (settings.prettyPrinting) {
            out.append(static_cast<std::size_t>(std::max(n, 0)), ' ');
        }
    }
    void node(Object* x, std::vector<XmlNsDecl> scope, int level);
    void element(Object* x, std::vector<XmlNsDecl>& scope, int level);
};

void Printer::node(Object* x, std::vector<XmlNsDecl> scope, int level) {
    const XmlInfo& info = *x->xml;
    indent(level);
    switch (info.kind) {
    case XmlKind::Text:
        if (info.cdata) {
            out += "<![CDATA[" + info.text + "]]>";
        } else {
            out += escapeXmlText(settings.prettyPrinting ? trimmedXmlText(info.text) : info.text);
        }
        return;
    case XmlKind::Attribute:
        out += escapeXmlAttribute(info.text);
        return;
    case XmlKind::Comment:
        out += "<!--" + info.text + "-->";
        return;
    case XmlKind::Instruction:
        out += "<?" + info.local + " " + info.text + "?>";
        return;
    case XmlKind::Element:
        element(x, scope, level);
        return;
    }
}

void Printer::element(Object* x, std::vector<XmlNsDecl>& scope, int level) {
    const NativeDepth depth(vm);
    const XmlInfo& info = *x->xml;
    std::vector<XmlNsDecl> added;
    for (const XmlNsDecl& d : info.decls) {
        bool known = false;
        for (auto it = scope.rbegin(); it != scope.rend() && !known; ++it) {
            if (it->prefix == d.prefix) {
                known = it->uri == d.uri;
                break;
            }
        }
        if (!known) {
            added.push_back(d);
        }
    }
    scope.insert(scope.end(), added.begin(), added.end());
    const std::size_t before = added.size();
    const std::string prefix = prefixFor(info, scope, added);
    std::string attrs;
    for (Object* a : x->keyObjects) {
        const std::string p = prefixFor(*a->xml, scope, added);
        attrs += " " + (p.empty() ? "" : p + ":") + a->xml->local + "=\"" +
                 escapeXmlAttribute(a->xml->text) + "\"";
    }
    scope.insert(scope.end(), added.begin() + static_cast<std::ptrdiff_t>(before), added.end());
    const std::string name = prefix.empty() ? info.local : prefix + ":" + info.local;
    out += "<" + name + attrs;
    for (const XmlNsDecl& d : added) {
        out += " xmlns" + (d.prefix.empty() ? "" : ":" + d.prefix) + "=\"" +
               escapeXmlAttribute(d.uri) + "\"";
    }
    std::vector<Object*> kids;
    for (Object* c : x->children) {
        if (!(settings.prettyPrinting && c->xml->kind == XmlKind::Text && !c->xml->cdata &&
              trimmedXmlText(c->xml->text).empty())) {
            kids.push_back(c);
        }
    }
    if (kids.empty()) {
        out += "/>";
        return;
    }
    out += ">";
    const bool indentKids =
        settings.prettyPrinting && (kids.size() > 1 || kids[0]->xml->kind != XmlKind::Text);
    for (Object* c : kids) {
        if (indentKids) {
            out += "\n";
        }
        node(c, scope, indentKids ? level + settings.prettyIndent : 0);
    }
    if (indentKids) {
        out += "\n";
        indent(level);
    }
    out += "</" + name + ">";
}

} // namespace

std::string escapeXml(const std::string& s, std::string_view which) {
    std::string out;
    for (char c : s) {
        if (which.find(c) == std::string_view::npos) {
            out += c;
            continue;
        }
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\n':
            out += "&#xA;";
            break;
        case '\r':
            out += "&#xD;";
            break;
        default: // '\t'
            out += "&#x9;";
        }
    }
    return out;
}

std::string escapeXmlText(const std::string& s) {
    return escapeXml(s, "<>&");
}

std::string escapeXmlAttribute(const std::string& s) {
    return escapeXml(s, "<&\"\n\r\t");
}

std::string xmlToXmlString(Machine& m, Object* node) {
    Printer p{m, xmlSettings(m), {}};
    p.node(node, {}, 0);
    return p.out;
}

std::string xmlListToXmlString(Machine& m, Object* list) {
    std::string out;
    for (std::size_t i = 0; i < list->elems.size(); ++i) {
        if (i != 0) {
            out += "\n";
        }
        if (isXmlNode(list->elems[i])) {
            out += xmlToXmlString(m, list->elems[i].o);
        }
    }
    return out;
}

} // namespace kinovex::flash::avm2
