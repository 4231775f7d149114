#pragma once
// The tree behind XMLNode and XML objects. Each node object keeps its place in the tree in an
// XmlNodeData; scripts see the tree through getters (firstChild, parentNode ...) and through the
// childNodes array, which is made anew from the tree whenever the tree changes, so what a script
// pushed onto it lasts only until then.

#include "engine/avm1/Vm.h"
#include "engine/avm1/XmlParser.h"

#include <map>
#include <string>
#include <vector>

namespace kinovex::flash::avm1 {

inline constexpr int kXmlElement = 1;
inline constexpr int kXmlText = 3;

class XmlNodeData final : public HostData {
public:
    int type = kXmlElement;
    Value name;  // an element's name; null for text and for a document
    Value value; // a text node's text; null for elements
    Object* parent = nullptr;
    std::vector<Object*> children;
    Object* attributes = nullptr;
    Object* childNodes = nullptr;
    // An XML document's own values (ignoreWhite, status, xmlDecl ...), read through the getters
    // of XML.prototype.
    std::map<std::string, Value, std::less<>> documentValues;

    void references(std::vector<Object*>& out) const override;
};

// The node data of a script value; null for anything that is not a node.
XmlNodeData* xmlNodeOf(const Value& v);

// A node object with prototype `proto` (XMLNode.prototype), with empty attributes and children.
Object* newXmlNode(Vm& vm, Object* proto, int type, const Value& nameOrValue);
// Gives an existing object (one `new XMLNode` or `new XML` made) a node's data.
XmlNodeData& makeXmlNode(Vm& vm, Object* o, int type, const Value& nameOrValue);

// Tree changes; each keeps the childNodes arrays in step. A node that is already a child of
// `parent` stays where it is; one under another parent leaves it first.
void appendXmlChild(Vm& vm, Object* parent, Object* child);
// Inserts before `before`, which must be a child of `parent`; nothing happens otherwise.
void insertXmlChild(Vm& vm, Object* parent, Object* child, Object* before);
void removeXmlNode(Vm& vm, Object* node);
void removeXmlChildren(Vm& vm, Object* parent);
Object* cloneXmlNode(Vm& vm, Object* node, bool deep);
// Adds the nodes of a parse below `parent`.
void addParsedXml(Vm& vm, Object* parent, const XmlParsedNode& parsed);

// "prefix" and "local" of a name "prefix:local"; a name with nothing after its first colon has
// no prefix.
std::string xmlPrefix(std::string_view name);
std::string xmlLocalName(std::string_view name);
// The namespace bound to `prefix` ("" for the default one) on `node` or above it: the value of
// its xmlns:prefix (xmlns) attribute; null when none is.
Value xmlNamespaceFor(Vm& vm, Object* node, std::string_view prefix);
// The prefix bound to namespace `uri` on `node` or above; null when none is.
Value xmlPrefixFor(Vm& vm, Object* node, std::string_view uri);

// The node as text, as XMLNode.toString writes it.
std::string xmlNodeText(Vm& vm, Object* node);

} // namespace kinovex::flash::avm1
