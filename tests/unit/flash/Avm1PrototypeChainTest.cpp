// Lookups along prototype chains: how far the player follows them.

#include "Avm1TestHost.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using namespace swf;

// o = {x: 42}, then `links` times o = {__proto__: o}.
Actions chainOf(int links) {
    Actions a;
    a.push({"o", "x", 42.0, Int{1}}).op(op::InitObject).op(op::SetVariable);
    a.setVar("i", 0.0);
    a.label("loop").getVar("i").push(static_cast<double>(links)).op(op::Less2).op(op::Not);
    a.ifTrue("done");
    a.push({"p", Int{0}}).op(op::InitObject).op(op::SetVariable);
    a.getVar("p").push("__proto__").getVar("o").op(op::SetMember);
    a.push("o").getVar("p").op(op::SetVariable);
    a.push("i").getVar("i").op(op::Increment).op(op::SetVariable);
    a.jump("loop").label("done");
    return a;
}

struct ChainCase {
    const char* rule;
    int links;
    void (*use)(Actions& a); // on o
    Lines expected;
};

const ChainCase kChainCases[] = {
    {"a name 256 links up is found",
     256,
     [](Actions& a) { a.getVar("o").push("x").op(op::GetMember).op(op::Trace); },
     {"42", "after"}},
    {"a lookup needing a 257th link stops the script",
     257,
     [](Actions& a) { a.getVar("o").push("x").op(op::GetMember).op(op::Trace); },
     {}},
    {"a write looks along the chain for a setter, and stops the same way",
     257,
     [](Actions& a) {
         a.getVar("o").push({"y", 1.0}).op(op::SetMember);
     },
     {}},
    // 255 links to the first object, and one more to Object.prototype.
    {"a missing name is undefined when the chain ends within 256 links",
     255,
     [](Actions& a) { a.getVar("o").push("y").op(op::GetMember).op(op::Trace); },
     {"undefined", "after"}},
};

TEST(Avm1PrototypeChain, LookupsFollowAtMost256Links) {
    for (const ChainCase& c : kChainCases) {
        Actions a = chainOf(c.links);
        c.use(a);
        a.trace("after");
        EXPECT_EQ(run(a), c.expected) << c.rule;
    }
}

} // namespace
} // namespace kinovex::flash::test
