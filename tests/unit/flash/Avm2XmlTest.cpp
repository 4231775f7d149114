// XML text read by the XML class and printed back: each row is a text, a step from the parsed
// node (or none) and what toXMLString gives, or the error the player throws. The rows aim at
// what a reader and printer get wrong: references, pretty printing of mixed content, the
// declarations a node printed apart from its document needs, and unbalanced markup.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"

#include <gtest/gtest.h>

#include <cctype>

namespace kinovex::flash::avm2 {
namespace {

struct Row {
    const char* name;
    const char* text;
    const char* child; // a child element to print instead of the root, or null
    const char* expected;
};

const Row kRows[] = {
    {"nested elements print indented", "<a><b>x</b><c/></a>", nullptr,
     "<a>\n  <b>x</b>\n  <c/>\n</a>"},
    {"character references are read", "<a>&#x41;&#66;&lt;</a>", nullptr, "<a>AB&lt;</a>"},
    {"an attribute's quote and line break are escaped", "<a x='&quot;&#10;'/>", nullptr,
     "<a x=\"&quot;&#xA;\"/>"},
    {"whitespace around text is dropped", "<a>  x  <b/>  </a>", nullptr, "<a>\n  x\n  <b/>\n</a>"},
    {"a child printed apart declares the namespace it uses after its attributes",
     "<r xmlns:p='urn:p' xmlns:q='urn:q'><p:c a='1'/></r>", "c",
     "<p:c a=\"1\" xmlns:p=\"urn:p\"/>"},
    {"an end tag that does not match is an error", "<a><b></a>", nullptr,
     "TypeError: Error #1085: The element type \"b\" must be terminated by the matching "
     "end-tag \"</b>\"."},
    {"an unbound prefix is an error", "<p:a/>", nullptr,
     "TypeError: Error #1083: The prefix \"p\" for element \"p:a\" is not bound."},
    {"an attribute given twice is an error", "<a b='1' b='2'/>", nullptr,
     "TypeError: Error #1104: Attribute \"b\" was already specified for element \"a\"."},
    {"two root elements are an error", "<a/><b/>", nullptr,
     "TypeError: Error #1088: The markup in the document following the root element must be "
     "well-formed."},
};

class Avm2Xml : public ::testing::TestWithParam<Row> {};

// A document nested deeper than the machine's call depth ends in its stack overflow error
// instead of running the process out of stack.
TEST(Avm2Xml, DeepNestingEndsInTheStackOverflowError) {
    Machine vm;
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "<a>";
    }
    Value a[1] = {vm.str(text)};
    std::string got;
    try {
        vm.construct(vm.getDefinitionByName("XML"), Args(a, 1));
    } catch (const ScriptException& e) {
        got = vm.toString(e.value);
    }
    EXPECT_EQ(got, "Error: Error #1023: Stack overflow occurred.");
}

TEST_P(Avm2Xml, PrintsWhatItRead) {
    Machine vm;
    const Row& row = GetParam();
    std::string got;
    try {
        Value text[1] = {vm.str(row.text)};
        Value node = vm.construct(vm.getDefinitionByName("XML"), Args(text, 1));
        if (row.child != nullptr) {
            Name any;
            any.name = row.child;
            any.anyNs = true;
            node = vm.getProperty(node, any);
        }
        got = vm.toString(vm.callProperty(node, vm.publicName("toXMLString"), {}));
    } catch (const ScriptException& e) {
        got = vm.toString(e.value);
    }
    EXPECT_EQ(got, row.expected);
}

std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    std::string name;
    for (const char* c = row.param.name; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) != 0 ? *c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Avm2Xml, ::testing::ValuesIn(kRows), rowName);

// Assignments through names: an element of a list given text takes it as its content, an index
// past the list's end adds an element of its name after its last item, an attribute is added,
// a child that is not there is appended.
TEST(Avm2Xml, AssignmentsChangeTheTree) {
    Machine vm;
    Value text[1] = {vm.str("<r><a>1</a><a>2</a></r>")};
    const Value root = vm.construct(vm.getDefinitionByName("XML"), Args(text, 1));
    const Value list = vm.get(root, "a");
    vm.set(root, "b", Value::integer(3));
    vm.set(list, "1", vm.str("z"));
    vm.set(list, "2", vm.str("w"));
    vm.set(root, "@id", vm.str("v"));
    EXPECT_EQ(vm.toString(vm.callProperty(root, vm.publicName("toXMLString"), {})),
              "<r id=\"v\">\n  <a>1</a>\n  <a>z</a>\n  <a>w</a>\n  <b>3</b>\n</r>");
    EXPECT_EQ(vm.toString(vm.get(vm.get(root, "a"), "1")), "z");
}

// insertChildAfter and insertChildBefore place beside a child given as a list of one (null: at
// the start and at the end), replace puts a node in place of the children of a name, and +
// joins XML into a list.
TEST(Avm2Xml, MethodsPlaceChildren) {
    Machine vm;
    const Value xmlClass = vm.getDefinitionByName("XML");
    const auto parse = [&vm, &xmlClass](const char* text) {
        Value a[1] = {vm.str(text)};
        return vm.construct(xmlClass, Args(a, 1));
    };
    const Value root = parse("<r><a/><b/></r>");
    const auto call = [&vm, &root](const char* method, Value first, Value second) {
        Value a[2] = {first, second};
        vm.callProperty(root, vm.publicName(method), Args(a, 2));
    };
    call("insertChildAfter", vm.get(root, "a"), parse("<c/>"));
    call("insertChildBefore", Value::null(), vm.str("t"));
    call("insertChildAfter", Value::null(), parse("<s/>"));
    call("replace", vm.str("b"), parse("<x/>"));
    EXPECT_EQ(vm.toString(vm.callProperty(root, vm.publicName("toXMLString"), {})),
              "<r>\n  <s/>\n  <a/>\n  <c/>\n  <x/>\n  t\n</r>");
    const Value both = vm.add(vm.get(root, "a"), vm.get(root, "x"));
    EXPECT_EQ(vm.typeOf(both), "xml");
    EXPECT_EQ(vm.toString(vm.callProperty(both, vm.publicName("length"), {})), "2");
}

// What a filter's scope finds on an XML object: its children, attributes and methods.
TEST(Avm2Xml, HasItsChildrenAttributesAndMethods) {
    Machine vm;
    Value text[1] = {vm.str("<r id='1'><b/></r>")};
    const Value root = vm.construct(vm.getDefinitionByName("XML"), Args(text, 1));
    const struct {
        const char* name;
        bool has;
    } cases[] = {{"b", true}, {"@id", true}, {"attribute", true}, {"c", false}, {"@x", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(vm.hasProperty(root, vm.publicName(c.name)), c.has) << c.name;
    }
}

} // namespace
} // namespace kinovex::flash::avm2
