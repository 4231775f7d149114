#pragma once
// The builtin classes, installed into a machine by part.

#include "engine/avm2/Object.h"

#include <optional>
#include <string>

namespace kinovex::flash::avm2 {

class Machine;
struct ClassInfo;

void installValueClasses(Machine& m); // Namespace, Boolean, Number, int, uint, String, Math
void installErrorClasses(Machine& m); // Error and its subclasses
void installArrayClass(Machine& m);   // and Vector
// The class Vector.<element> (element null: Vector.<*>), made on first use.
ClassInfo* vectorOf(Machine& m, ClassInfo* element);
void installRegExpClass(Machine& m); // and String's match, replace, search and split
void installJsonClass(Machine& m);
void installDateClass(Machine& m);
void installGlobalFunctions(Machine& m); // trace, parseInt, getQualifiedClassName ...
void installDictionaryClass(Machine& m);
void installEscapeFunctions(Machine& m);   // escape, unescape
void installMultiByteEscapes(Machine& m);  // escapeMultiByte, unescapeMultiByte
void installHolderClasses(Machine& m);     // FileFilter, PrintJobOptions
void installLocalStoreClasses(Machine& m); // SharedObject, LocalConnection
// NetStreamPlayOptions, once EventDispatcher exists.
void installEventHolderClasses(Machine& m);
void installDrmManagerError(Machine& m);
// The name `name` stands for in `obj` when obj is a Dictionary and the name an object: the key
// object's own (remembered among the dictionary's keys when `remember`); otherwise nothing.
std::optional<Name> dictionaryName(const Value& obj, const Name& name, bool remember);
// What enumerating a Dictionary gives for one of its property names: the key object or the text.
Value dictionaryKey(Machine& m, Object* dict, const std::string& name);
void installXmlClasses(Machine& m);         // XML, XMLList and QName
void installXmlDocumentClasses(Machine& m); // flash.xml: XMLNode, XMLDocument, XMLNodeType
// E4X property access on XML and XMLList objects (isXmlObject): what getproperty, setproperty,
// hasproperty and deleteproperty do on them, and the descendants operator (..).
bool isXmlObject(const Value& v);
Value xmlGetProperty(Machine& m, const Value& obj, const Name& name);
void xmlSetProperty(Machine& m, const Value& obj, const Name& name, const Value& v);
bool xmlHasProperty(Machine& m, const Value& obj, const Name& name);
bool xmlDeleteProperty(Machine& m, const Value& obj, const Name& name);
Value xmlDescendants(Machine& m, const Value& obj, const Name& name);
// A method the XML classes do not have: a function on the prototype chain, else a String
// method on the text of a node (or list) of simple content.
Value xmlCallProperty(Machine& m, const Value& obj, const Name& name, Args args);
bool xmlLooseEquals(Machine& m, const Value& a, const Value& b); // ==
Value xmlConcat(Machine& m, const Value& a, const Value& b);     // +
std::string xmlToText(Machine& m, const Value& v);               // toString
std::string xmlToMarkup(Machine& m, const Value& v);             // toXMLString
std::string escapeXmlElementValue(Machine& m, const Value& v);   // esc_xelem
std::string escapeXmlAttributeValue(Machine& m, const Value& v); // esc_xattr

} // namespace kinovex::flash::avm2
