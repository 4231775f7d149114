#pragma once
// E4X: what an XML object holds besides the links of its tree, and the helpers the XML and
// XMLList classes share. An XML object is an Object of kind Xml: its child nodes are its
// `children`, its attributes its `keyObjects`, its parent `parentObj`. An XMLList is an Object of
// kind XmlList whose `elems` are the XML objects it lists.

#include "engine/avm2/Object.h"

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kinovex::flash::avm2 {

enum class XmlKind : std::uint8_t { Element, Text, Comment, Instruction, Attribute };

struct XmlNsDecl {
    std::string prefix;
    std::string uri;
};

struct XmlInfo {
    XmlKind kind = XmlKind::Text;
    std::string local; // elements, attributes, processing instructions
    std::string uri;
    std::string prefix;
    std::string text; // text, comments, instructions' bodies, attribute values
    bool cdata = false;
    bool anyUri = false;          // a QName with a null URI: any namespace
    std::vector<XmlNsDecl> decls; // the namespaces an element declares
};

// The XML class's settings, read from the class object when a parse or a print needs them.
struct XmlSettings {
    bool ignoreComments = true;
    bool ignoreInstructions = true;
    bool ignoreWhitespace = true;
    bool prettyPrinting = true;
    int prettyIndent = 2;
    // XMLDocument's reader: an undeclared prefix stands for no namespace and an attribute may come
    // twice, neither an error.
    bool lenient = false;
};

inline bool isXmlNode(const Value& v) {
    return v.isObject() && v.o->kind == ObjKind::Xml;
}
inline bool isXmlList(const Value& v) {
    return v.isObject() && v.o->kind == ObjKind::XmlList;
}

XmlSettings xmlSettings(Machine& m);
Object* newXmlNode(Machine& m, XmlKind kind);
Object* newXmlList(Machine& m, std::vector<Value> items = {});
// The nodes of a text at top level (whitespace between them dropped); throws the player's
// TypeError for markup that is not well formed. `scope`: namespaces declared around it.
std::vector<Object*> parseXmlNodes(Machine& m, const std::string& text,
                                   const std::vector<XmlNsDecl>& scope = {});
// The same with settings of the caller's own (flash.xml.XMLDocument's reader).
std::vector<Object*> parseXmlNodes(Machine& m, const std::string& text,
                                   const XmlSettings& settings);
std::string xmlToXmlString(Machine& m, Object* node);
std::string xmlListToXmlString(Machine& m, Object* list);
// `s` with each character of `which` (among < > & " ' and newline, return and tab) written as
// its reference.
std::string escapeXml(const std::string& s, std::string_view which);
std::string escapeXmlText(const std::string& s);      // < > &
std::string escapeXmlAttribute(const std::string& s); // < & " and line breaks and tabs
// `s` without the spaces, tabs and line breaks at its ends.
std::string trimmedXmlText(const std::string& s);
Object* copyXml(Machine& m, Object* node, Object* parent);
bool hasSimpleContent(const Object* node);
std::string xmlNodeText(Machine& m, Object* node); // toString of an XML object
std::string xmlListText(Machine& m, Object* list); // toString of an XMLList
// A name as E4X reads it: "@x" is an attribute, "*" any name, a QName object its own name; an
// unqualified element name is in the default XML namespace.
Name xmlName(Machine& m, const Name& name);
bool xmlNameMatches(const Name& name, const XmlInfo& node);
void appendDescendants(Machine& m, Object* node, const Name& name, std::vector<Value>& out);
// QName, the methods of a node about its name and namespaces, and Namespace's constructor.
// Each method both as a method of XML and XMLList and as a hidden function on their prototypes.
void defineXmlMethods(Machine& m, ClassInfo* xml, ClassInfo* list,
                      std::span<const std::pair<const char*, NativeFn>> methods);
void installXmlMethods(Machine& m, ClassInfo* xml, ClassInfo* list);
// insertChildAfter and the other methods that change children, and XML.settings.
void installXmlEditMethods(Machine& m, ClassInfo* xml, ClassInfo* list);
Object* newQName(Machine& m, const std::string& local, const std::string& uri, bool anyUri);

} // namespace kinovex::flash::avm2
