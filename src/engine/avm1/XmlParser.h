#pragma once
// XML text as the player's XML.parseXML reads it: a forgiving reader that builds what it can and
// stops at the first fault, which it reports as a status code the script can read.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

// XML.status after a parse.
enum class XmlStatus : int {
    Ok = 0,
    CdataUnterminated = -2,
    DeclarationUnterminated = -3,
    DoctypeUnterminated = -4,
    CommentUnterminated = -5,
    ElementMalformed = -6,
    AttributeUnterminated = -8,
    ElementUnterminated = -9,
    EndWithoutStart = -10,
};

struct XmlParsedNode {
    bool element = false;
    std::string name;  // elements
    std::string value; // text
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<XmlParsedNode> children;
};

struct XmlParsed {
    XmlParsedNode root; // the document: its children are the top-level nodes
    XmlStatus status = XmlStatus::Ok;
    bool hasXmlDecl = false;
    std::string xmlDecl; // "<?xml ... ?>" as written
    bool hasDocTypeDecl = false;
    std::string docTypeDecl; // "<!DOCTYPE ...>" as written
};

// Text nodes made only of white space are left out when `ignoreWhite` is set. Attribute values
// and text have their entities replaced; CDATA sections become text as written.
XmlParsed parseXml(std::string_view text, bool ignoreWhite);

// &lt; &gt; &amp; &quot; &apos; and &nbsp; as the characters they stand for; any other '&' is
// kept as it is.
std::string xmlUnescape(std::string_view text);
// & < > " ' as entities, the way XML.toString writes text and attribute values.
std::string xmlEscape(std::string_view text);

} // namespace kinovex::flash::avm1
