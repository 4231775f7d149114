// XML and XMLNode as scripts see them: the tree behind the getters, the childNodes array kept in
// step with it, text written back with entities, namespaces, and nodes that outlive a garbage
// collection while only the tree holds them.

#include "Avm1TestHost.h"
#include "engine/avm1/LoadableObjects.h"
#include "engine/avm1/XmlClasses.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
using swf::PushValue;
namespace op = swf::op;

// Pushes the value of a dotted path: "x.firstChild.nodeName".
Actions& pushPath(Actions& a, const std::string& path) {
    std::size_t dot = path.find('.');
    a.getVar(path.substr(0, dot));
    while (dot != std::string::npos) {
        const std::size_t next = path.find('.', dot + 1);
        a.push(path.substr(dot + 1, next - dot - 1)).op(op::GetMember);
        dot = next;
    }
    return a;
}

Actions& tracePath(Actions& a, const std::string& path) {
    return pushPath(a, path).op(op::Trace);
}

// name = new cls(args...)
Actions& construct(Actions& a, const std::string& name, const std::string& cls,
                   std::initializer_list<PushValue> args) {
    a.push(name);
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
        a.push(*it);
    }
    return a.push(Int{static_cast<int>(args.size())})
        .push(cls)
        .op(op::NewObject)
        .op(op::SetVariable);
}

// path.method(args...) with the result dropped; the arguments are paths too.
Actions& callPath(Actions& a, const std::string& path, const std::string& method,
                  std::initializer_list<std::string> argPaths) {
    for (auto it = std::rbegin(argPaths); it != std::rend(argPaths); ++it) {
        pushPath(a, *it);
    }
    a.push(Int{static_cast<int>(argPaths.size())});
    pushPath(a, path);
    return a.push(method).op(op::CallMethod).op(op::Pop);
}

Lines runXml(const Actions& first, const Actions& afterCollecting = {}, int version = 7) {
    FakeHost host;
    avm1::Vm vm(host, version);
    avm1::installLoadNatives(vm, [](avm1::Object*, std::string) {});
    avm1::installXmlClasses(vm);
    vm.beginFrame();
    vm.runActions(1, first.bytes());
    vm.collectGarbage();
    vm.runActions(1, afterCollecting.bytes());
    return host.traces;
}

struct DomRule {
    const char* name;
    std::function<void(Actions&)> script;
    Lines expected;
};

std::ostream& operator<<(std::ostream& out, const DomRule& r) {
    return out << r.name;
}

class ScriptXml : public testing::TestWithParam<DomRule> {};

TEST_P(ScriptXml, FollowsThePlayer) {
    Actions a;
    GetParam().script(a);
    EXPECT_EQ(runXml(a), GetParam().expected);
}

std::string ruleName(const testing::TestParamInfo<DomRule>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Dom, ScriptXml,
    testing::Values(
        DomRule{"TextIsWrittenWithEntities",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<a v='&quot;1&apos;'>&lt;b&gt; &amp;</a>"});
                    tracePath(a, "x");
                    tracePath(a, "x.firstChild.firstChild.nodeValue");
                },
                {"<a v=\"&quot;1&apos;\">&lt;b&gt; &amp;</a>", "<b> &"}},
        DomRule{"DeclarationsComeFirstAndAParseReplacesThem",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<?xml v ?><!DOCTYPE d><r/>"});
                    tracePath(a, "x");
                    a.push("<s/>").push(Int{1});
                    pushPath(a, "x").push("parseXML").op(op::CallMethod).op(op::Pop);
                    tracePath(a, "x");
                    tracePath(a, "x.xmlDecl");
                },
                {"<?xml v ?><!DOCTYPE d><r />", "<s />", "undefined"}},
        DomRule{"AppendingMovesANodeFromItsParent",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<r><a/><b/></r>"});
                    callPath(a, "x", "appendChild", {"x.firstChild.firstChild"});
                    tracePath(a, "x");
                    tracePath(a, "x.firstChild.childNodes.length");
                    tracePath(a, "x.lastChild.previousSibling.nodeName");
                },
                {"<r><b /></r><a />", "1", "r"}},
        DomRule{
            "ChildNodesIsMadeAnewWhenTheTreeChanges",
            [](Actions& a) {
                construct(a, "x", "XML", {"<r><a/>t</r>"});
                a.push("fake").push(Int{1});
                pushPath(a, "x.firstChild.childNodes").push("push").op(op::CallMethod).op(op::Pop);
                tracePath(a, "x.firstChild.childNodes");
                tracePath(a, "x.firstChild.lastChild");
                callPath(a, "x.firstChild.firstChild", "removeNode", {});
                tracePath(a, "x.firstChild.childNodes");
            },
            {"<a />,t,fake", "t", "t"}},
        DomRule{"InsertBeforeNeedsAChildToGoBefore",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<r><a/><b/></r>"});
                    construct(a, "n", "XMLNode", {Int{1}, "n"});
                    callPath(a, "x.firstChild", "insertBefore", {"n"});
                    tracePath(a, "x");
                    callPath(a, "x.firstChild", "insertBefore", {"n", "x.firstChild.lastChild"});
                    tracePath(a, "x");
                },
                {"<r><a /><b /></r>", "<r><a /><n /><b /></r>"}},
        DomRule{"DeepClonesCopyChildrenShallowOnesDoNot",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<r k='v'><a/></r>"});
                    a.push("deep").push(true).push(Int{1});
                    pushPath(a, "x.firstChild")
                        .push("cloneNode")
                        .op(op::CallMethod)
                        .op(op::SetVariable);
                    a.push("flat").push(Int{0});
                    pushPath(a, "x.firstChild")
                        .push("cloneNode")
                        .op(op::CallMethod)
                        .op(op::SetVariable);
                    tracePath(a, "deep");
                    tracePath(a, "flat");
                    tracePath(a, "deep.parentNode");
                },
                {"<r k=\"v\"><a /></r>", "<r k=\"v\" />", "null"}},
        DomRule{"NamesSplitAtTheFirstColonWithSomethingAfterIt",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<r xmlns:p='urn:p' xmlns='urn:d'><p:a/><b/></r>"});
                    tracePath(a, "x.firstChild.firstChild.prefix");
                    tracePath(a, "x.firstChild.firstChild.localName");
                    tracePath(a, "x.firstChild.firstChild.namespaceURI");
                    tracePath(a, "x.firstChild.lastChild.namespaceURI");
                    construct(a, "n", "XMLNode", {Int{1}, "a:"});
                    tracePath(a, "n.prefix");
                    tracePath(a, "n.localName");
                },
                {"p", "a", "urn:p", "urn:d", "", "a:"}},
        DomRule{"StatusTellsWhereTheParseStopped",
                [](Actions& a) {
                    construct(a, "x", "XML", {"<a><b></a>"});
                    tracePath(a, "x.status");
                    tracePath(a, "x");
                    construct(a, "y", "XML", {"<a v=x/>"});
                    tracePath(a, "y.status");
                },
                {"-9", "<a><b /></a>", "-6"}},
        DomRule{"DocumentValuesKeepTheirKindsAndPassOverUndefined",
                [](Actions& a) {
                    construct(a, "x", "XML", {});
                    a.getVar("x").push("status").push(-2.7).op(op::SetMember);
                    a.getVar("x").push("loaded").push("yes").op(op::SetMember);
                    a.getVar("x").push("contentType").push(swf::Undefined{}).op(op::SetMember);
                    tracePath(a, "x.status");
                    tracePath(a, "x.loaded");
                    tracePath(a, "x.contentType");
                    a.push(Int{0});
                    pushPath(a, "x").push("createElement").op(op::CallMethod).op(op::Trace);
                },
                {"-2", "true", "application/x-www-form-urlencoded", "undefined"}},
        DomRule{"ANodeMadeWithoutTypeAndValueIsNoNode",
                [](Actions& a) {
                    construct(a, "n", "XMLNode", {Int{1}});
                    tracePath(a, "n.nodeType");
                    tracePath(a, "n");
                    construct(a, "t", "XMLNode", {Int{3}, "x<"});
                    tracePath(a, "t.nodeType");
                    tracePath(a, "t.nodeName");
                    tracePath(a, "t");
                },
                {"undefined", "[type Object]", "3", "null", "x&lt;"}}),
    ruleName);

// The header list is made hidden from version 5 and read back by name: a version 5 movie gets an
// empty one.
TEST(ScriptXml, RequestHeadersGoIntoAListOnlyFromVersion6) {
    Actions a;
    construct(a, "x", "XML", {});
    a.push({"V", "K", Int{2}}).getVar("x").push("addRequestHeader").op(op::CallMethod);
    a.op(op::Pop);
    a.push({128.0, Int{0}, "_customHeaders"}).getVar("x").push(Int{4});
    a.push("ASSetPropFlags").op(op::CallFunction).op(op::Pop);
    tracePath(a, "x._customHeaders.length");
    EXPECT_EQ(runXml(a, {}, 5), (Lines{"0"}));
    EXPECT_EQ(runXml(a, {}, 6), (Lines{"2"}));
}

// Version 7 lets a script put a node below itself; version 8 refuses.
TEST(ScriptXml, LoopsInTheTreeAreRefusedFromVersion8) {
    Actions a;
    construct(a, "x", "XML", {"<r><a/></r>"});
    pushPath(a.push("r"), "x.firstChild").op(op::SetVariable);
    callPath(a, "r", "appendChild", {"r"});
    callPath(a, "r.firstChild", "appendChild", {"r"});
    tracePath(a, "r.parentNode.nodeName");
    tracePath(a, "x.childNodes.length");
    EXPECT_EQ(runXml(a, {}, 8), (Lines{"null", "1"}));
    EXPECT_EQ(runXml(a, {}, 7), (Lines{"a", "0"}));
}

// A loop a version 7 script made is copied and written only so deep, never forever.
TEST(ScriptXml, LoopsAreCopiedAndWrittenToALimit) {
    Actions a;
    construct(a, "x", "XML", {"<r><a/></r>"});
    pushPath(a.push("r"), "x.firstChild").op(op::SetVariable);
    callPath(a, "r.firstChild", "appendChild", {"x"});
    callPath(a, "x", "appendChild", {"r"});
    a.push(true).push(Int{1});
    pushPath(a, "r").push("cloneNode").op(op::CallMethod).push("nodeName").op(op::GetMember);
    a.op(op::Trace);
    tracePath(a, "x");
    const Lines lines = runXml(a, {}, 7);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "r");
    EXPECT_EQ(lines[1].rfind("<r><a><r><a>", 0), 0u);
    EXPECT_LT(lines[1].size(), 10000u);
}

TEST(ScriptXml, TheTreeKeepsItsNodesThroughGarbageCollection) {
    Actions build;
    construct(build, "x", "XML", {"<r><a k='v'>t</a></r>"});
    Actions read;
    tracePath(read, "x.firstChild.firstChild.attributes.k");
    tracePath(read, "x.firstChild.firstChild.firstChild.parentNode.nodeName");
    tracePath(read, "x");
    EXPECT_EQ(runXml(build, read), (Lines{"v", "a", "<r><a k=\"v\">t</a></r>"}));
}

} // namespace
} // namespace kinovex::flash::test
