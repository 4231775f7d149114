// The reader behind XML.parseXML: what it builds from forgiving input and the status it reports
// where it stops. Each row gives the text, whether white space is ignored, the status, and the
// tree it built written compactly: elements as <name a="v">...</name>, text in [brackets].

#include "engine/avm1/XmlParser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kinovex::flash::test {
namespace {

using avm1::parseXml;
using avm1::XmlParsedNode;
using avm1::XmlStatus;

std::string compact(const XmlParsedNode& node) {
    std::string out;
    for (const XmlParsedNode& child : node.children) {
        if (!child.element) {
            out += "[" + child.value + "]";
            continue;
        }
        out += "<" + child.name;
        for (const auto& [name, value] : child.attributes) {
            out += " " + name + "=\"" + value + "\"";
        }
        out += ">" + compact(child) + "</" + child.name + ">";
    }
    return out;
}

struct Parse {
    const char* name;
    const char* text;
    bool ignoreWhite;
    XmlStatus status;
    const char* tree;
};

std::ostream& operator<<(std::ostream& out, const Parse& p) {
    return out << p.name;
}

class XmlParser : public testing::TestWithParam<Parse> {};

TEST_P(XmlParser, BuildsWhatItCanAndReportsWhereItStopped) {
    const Parse& p = GetParam();
    const avm1::XmlParsed parsed = parseXml(p.text, p.ignoreWhite);
    EXPECT_EQ(static_cast<int>(parsed.status), static_cast<int>(p.status));
    EXPECT_EQ(compact(parsed.root), p.tree);
}

std::string parseName(const testing::TestParamInfo<Parse>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, XmlParser,
    testing::Values(
        Parse{"NestedElementsAndText", "<a><b/>t<c x='1'/></a>", false, XmlStatus::Ok,
              "<a><b></b>[t]<c x=\"1\"></c></a>"},
        Parse{"WhiteSpaceKeptUnlessIgnored", "<a> <b/> </a>", false, XmlStatus::Ok,
              "<a>[ ]<b></b>[ ]</a>"},
        Parse{"WhiteSpaceOnlyTextDroppedWhenIgnored", "<a> <b/> x </a>", true, XmlStatus::Ok,
              "<a><b></b>[ x ]</a>"},
        Parse{"EntitiesReplacedInTextAndAttributes", "<a v='&lt;&amp;&quot;'>&gt;&apos;&nbsp;</a>",
              false, XmlStatus::Ok, "<a v=\"<&\"\">[>'\xC2\xA0]</a>"},
        Parse{"UnknownEntityKeptAsWritten", "<a>&bogus; & x</a>", false, XmlStatus::Ok,
              "<a>[&bogus; & x]</a>"},
        Parse{"CdataIsTextAsWritten", "<a><![CDATA[<b>&lt;]]></a>", false, XmlStatus::Ok,
              "<a>[<b>&lt;]</a>"},
        Parse{"CommentsLeftOutSplittingText", "<a>x<!-- c -->y</a>", false, XmlStatus::Ok,
              "<a>[x][y]</a>"},
        Parse{"FirstOfTwoAttributesWithOneNameStands", "<a v='1' v='2'/>", false, XmlStatus::Ok,
              "<a v=\"1\"></a>"},
        Parse{"SlashNotClosingTheTagIsPartOfTheName", "<a/ ></a/>", false,
              XmlStatus::EndWithoutStart, "<a/></a/>"},
        Parse{"UnclosedElementKeptAndReported", "<a><b>", false, XmlStatus::ElementUnterminated,
              "<a><b></b></a>"},
        Parse{"EndOfAnOuterElementReportsTheInnerUnclosed", "<a><b></a><c/>", false,
              XmlStatus::ElementUnterminated, "<a><b></b></a>"},
        Parse{"EndOfNoOpenElement", "<a></b><c/></a>", false, XmlStatus::EndWithoutStart,
              "<a></a>"},
        Parse{"AttributeWithoutValueDropsTheElement", "<a A/><b/>", false,
              XmlStatus::ElementMalformed, ""},
        Parse{"UnquotedAttribute", "<a A=x></a>", false, XmlStatus::ElementMalformed, ""},
        Parse{"UnterminatedAttribute", "<a A='x></a>", false, XmlStatus::AttributeUnterminated, ""},
        Parse{"EmptyTagName", "<>a", false, XmlStatus::ElementMalformed, ""},
        Parse{"TagCutOff", "<a b='c'", false, XmlStatus::ElementMalformed, ""},
        Parse{"UnterminatedComment", "<a/><!-- <b/>", false, XmlStatus::CommentUnterminated,
              "<a></a>"},
        Parse{"UnterminatedCdata", "<a><![CDATA[x</a>", false, XmlStatus::CdataUnterminated,
              "<a></a>"},
        Parse{"UnterminatedDeclaration", "<a/><?xml", false, XmlStatus::DeclarationUnterminated,
              "<a></a>"},
        Parse{"UnterminatedDoctype", "<a/><!DOCTYPE a", false, XmlStatus::DoctypeUnterminated,
              "<a></a>"}),
    parseName);

TEST(XmlParser, KeepsTheDeclarationAndDoctypeAsWritten) {
    const avm1::XmlParsed parsed =
        parseXml("<?xml version='1.0'?><!DOCTYPE d [ <!ENTITY e 'x'> ]><r/>", false);
    EXPECT_EQ(parsed.xmlDecl, "<?xml version='1.0'?>");
    EXPECT_EQ(parsed.docTypeDecl, "<!DOCTYPE d [ <!ENTITY e 'x'> ]>");
    EXPECT_EQ(compact(parsed.root), "<r></r>");
}

TEST(XmlParser, StopsWhereElementsNestDeeperThanItFollows) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) {
        deep += "<a>";
    }
    const avm1::XmlParsed parsed = parseXml(deep, false);
    EXPECT_EQ(parsed.status, XmlStatus::ElementMalformed);
    std::size_t depth = 0;
    for (const XmlParsedNode* n = &parsed.root; !n->children.empty(); n = &n->children[0]) {
        ++depth;
    }
    EXPECT_GT(depth, 100u);
    EXPECT_LT(depth, 5000u);
}

struct Escape {
    const char* text;
    const char* escaped;
};

class XmlEscape : public testing::TestWithParam<Escape> {};

TEST_P(XmlEscape, WritesTheFiveMarkupCharactersAsEntities) {
    EXPECT_EQ(avm1::xmlEscape(GetParam().text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Characters, XmlEscape,
                         testing::Values(Escape{"t\"'e&s;", "t&quot;&apos;e&amp;s;"},
                                         Escape{"te&lt;st", "te&amp;lt;st"},
                                         Escape{"<a>", "&lt;a&gt;"},
                                         Escape{"\xC2\xA0plain", "\xC2\xA0plain"}));

} // namespace
} // namespace kinovex::flash::test
