// Prototype chains: the __proto__ and constructor properties objects get, and how far lookups
// follow the chain.

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

// o.method(arg) on the stack.
void callMethod(Actions& a, const char* object, const char* method, const PushValue& arg) {
    a.push({arg, Int{1}}).getVar(object).push(method).op(op::CallMethod);
}

struct OwnCase {
    const char* rule;
    void (*make)(Actions& a); // pushes the object
    int version;
    const char* name;
    Lines expected; // o.hasOwnProperty(name), then delete o[name]
};

void literal(Actions& a) {
    a.push(Int{0}).op(op::InitObject);
}
void function(Actions& a) {
    a.defineFunction("", {}, Actions());
}
void newObject(Actions& a) {
    a.push({Int{0}, "Object"}).op(op::NewObject);
}

void objectPrototype(Actions& a) {
    a.getVar("Object").push("prototype").op(op::GetMember);
}

const OwnCase kOwnCases[] = {
    {"the built-in methods are permanent", objectPrototype, 7, "toString", {"true", "false"}},
    {"an object has its prototype as its own __proto__, permanent",
     literal,
     7,
     "__proto__",
     {"true", "false"}},
    {"an object literal names Object as its own constructor, permanent",
     literal,
     7,
     "constructor",
     {"true", "false"}},
    {"a function names Function as its own constructor",
     function,
     7,
     "constructor",
     {"true", "false"}},
    {"a function's prototype is its own and permanent",
     function,
     7,
     "prototype",
     {"true", "false"}},
    {"new names the constructor in __constructor__, which may be deleted",
     newObject,
     7,
     "__constructor__",
     {"true", "true"}},
    {"new names it in constructor as well before version 7",
     newObject,
     6,
     "constructor",
     {"true", "true"}},
    {"from version 7 new leaves constructor to the prototype",
     newObject,
     7,
     "constructor",
     {"false", "false"}},
};

TEST(Avm1PrototypeChain, ObjectsOwnTheirPrototypeAndConstructor) {
    for (const OwnCase& c : kOwnCases) {
        Actions a;
        a.push("o");
        c.make(a);
        a.op(op::SetVariable);
        callMethod(a, "o", "hasOwnProperty", c.name);
        a.op(op::Trace);
        a.getVar("o").push(c.name).op(op::Delete).op(op::Trace);
        EXPECT_EQ(run(a, c.version), c.expected) << c.rule;
    }
}

TEST(Avm1PrototypeChain, TheChainFollowsTheProtoProperty) {
    Actions a;
    a.push({"o", Int{0}}).op(op::InitObject).op(op::SetVariable);
    // Read-only, __proto__ keeps its value.
    a.push({4.0, "__proto__"}).getVar("o").push(Int{3}).push("ASSetPropFlags");
    a.op(op::CallFunction).op(op::Pop);
    a.getVar("o").push("__proto__").push(Null{}).op(op::SetMember);
    a.getVar("o").push("toString").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    // Made deletable, deleting it ends the chain (up to version 6; see DeletingProto... in
    // Avm1BuiltinsTest for version 7).
    a.push({2.0, 0.0, "__proto__"}).getVar("o").push(Int{4}).push("ASSetPropFlags");
    a.op(op::CallFunction).op(op::Pop);
    a.getVar("o").push("__proto__").op(op::Delete).op(op::Trace);
    a.getVar("o").push("toString").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(run(a, 6), (Lines{"function", "true", "undefined"}));
}

// o.__proto__ = {x: 1} with the version flag `flag` set on the link, read o.x.
struct LinkCase {
    int version;
    double flag;
    const char* expected;
};

const LinkCase kLinkCases[] = {
    {5, 128, "undefined"}, {5, 8192, "undefined"}, {5, 256, "1"},  {6, 1024, "undefined"},
    {6, 4096, "1"},        {6, 256, "1"},          {7, 4096, "1"}, {8, 8192, "1"},
};

TEST(Avm1PrototypeChain, Movies5And6StopAtALinkFlaggedForTheirNextVersions) {
    for (const LinkCase& c : kLinkCases) {
        Actions a;
        a.push({"p", "x", 1.0, Int{1}}).op(op::InitObject).op(op::SetVariable);
        a.push({"o", Int{0}}).op(op::InitObject).op(op::SetVariable);
        a.getVar("o").push("__proto__").getVar("p").op(op::SetMember);
        a.push({0.0, c.flag, "__proto__"}).getVar("o").push(Int{4}).push("ASSetPropFlags");
        a.op(op::CallFunction).op(op::Pop);
        a.getVar("o").push("x").op(op::GetMember).op(op::Trace);
        EXPECT_EQ(run(a, c.version), Lines{c.expected}) << c.version << " " << c.flag;
    }
}

// What a movie of each version sees of a function's __proto__ (the player's or its own) and of
// the __constructor__ that new gives an object: both are there, hidden before version 6.
TEST(Avm1PrototypeChain, FunctionLinksAndConstructorNamesAreSeenFromVersion6) {
    for (int version : {5, 6, 8}) {
        Actions a;
        a.getVar("Math").push("abs").op(op::GetMember).push("__proto__").op(op::GetMember);
        a.op(op::TypeOf).op(op::Trace);
        a.defineFunction("mine", {}, Actions());
        a.getVar("mine").push("__proto__").op(op::GetMember).op(op::TypeOf).op(op::Trace);
        a.push({"o", Int{0}, "Object"}).op(op::NewObject).op(op::SetVariable);
        a.getVar("o").push("__constructor__").op(op::GetMember).getVar("Object");
        a.op(op::StrictEquals).op(op::Trace);
        a.push({128.0, 0.0, "__constructor__"}).getVar("o").push(Int{4}).push("ASSetPropFlags");
        a.op(op::CallFunction).op(op::Pop);
        a.getVar("o").push("__constructor__").op(op::GetMember).getVar("Object");
        a.op(op::StrictEquals).op(op::Trace);
        const char* seen = version >= 6 ? "true" : "false";
        const char* link = version >= 6 ? "object" : "undefined";
        EXPECT_EQ(run(a, version), (Lines{link, link, seen, "true"})) << version;
    }
}

TEST(Avm1PrototypeChain, AMovieClipIsHeldAsProtoButNeverFollowed) {
    Actions a;
    a.setVar("foo", 42.0); // on _root
    a.push({"o", Int{0}}).op(op::InitObject).op(op::SetVariable);
    a.getVar("o").push("__proto__").getVar("this").op(op::SetMember);
    a.getVar("o").push("foo").op(op::GetMember).op(op::Trace);
    a.getVar("o").push("__proto__").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"undefined", "movieclip"}));
}

// Objects with many properties find them through an index; each name must be found there as
// the object's case rule says, through prototypes, after removals and redefinitions.
TEST(Avm1PrototypeChain, ManyPropertiesAreFoundByTheObjectsCaseRule) {
    using avm1::Object;
    using avm1::ObjectClass;
    for (const bool caseSensitive : {false, true}) {
        Object proto(ObjectClass::Object, nullptr, caseSensitive);
        Object child(ObjectClass::Object, &proto, caseSensitive);
        constexpr int kCount = 300; // enough for the table to grow several times
        for (int i = 0; i < kCount; ++i) {
            proto.define("Name" + std::to_string(i), avm1::Value(i));
        }
        child.define("Own", avm1::Value(-1));
        for (int i = 0; i < kCount; i += 3) {
            EXPECT_TRUE(proto.removeOwn("Name" + std::to_string(i)));
        }
        proto.define("Name7", avm1::Value(77)); // redefined in place
        for (int i = 0; i < kCount; ++i) {
            const avm1::Property* p = child.find("Name" + std::to_string(i));
            const avm1::Property* folded = child.find("nAME" + std::to_string(i));
            const bool kept = i % 3 != 0;
            ASSERT_EQ(p != nullptr, kept) << i;
            EXPECT_EQ(folded != nullptr, kept && !caseSensitive) << i;
            if (kept) {
                EXPECT_EQ(p->value.asNumber(), i == 7 ? 77 : i);
            }
        }
        EXPECT_EQ(child.find("Own")->value.asNumber(), -1);
        EXPECT_EQ(child.find("Name"), nullptr);
        EXPECT_EQ(child.find("Name3000"), nullptr);
    }
}

} // namespace
} // namespace kinovex::flash::test
