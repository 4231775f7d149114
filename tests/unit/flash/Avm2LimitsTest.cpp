// The ActionScript 3 machine driven as a script would drive it: most rows would exhaust the
// process and must end in the player's error, not in a crash or an allocation the process
// cannot make; the rest check what the core classes give at their edges.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"

#include <gtest/gtest.h>

namespace kinovex::flash::avm2 {
namespace {

constexpr std::size_t kHeap = std::size_t{64} << 20;

struct Row {
    const char* name;
    Value (*run)(Machine&);
    const char* expected; // what the row gives, or the error it throws
};

Value fromGlobal(Machine& vm, const char* name) {
    return vm.getDefinitionByName(name);
}

// [[[...]]] `depth` deep.
Value nested(Machine& vm, int depth) {
    Object* inner = vm.newArray();
    for (int i = 0; i < depth; ++i) {
        inner = vm.newArray({Value::obj(inner)});
    }
    return Value::obj(inner);
}

// An empty Vector of `type`, made by its constructor.
Value emptyVector(Machine& vm, const char* type) {
    return Value::obj(vm.constructClass(vectorOf(vm, vm.builtin(type)), {}));
}

// The first element of a Vector of `type` after its length is set to 2.
Value lengthenedVector(Machine& vm, const char* type) {
    const Value v = emptyVector(vm, type);
    vm.set(v, "length", Value::integer(2));
    return vm.get(v, "0");
}

const Row kRows[] = {
    {"a lengthened Vector of Number holds zeros",
     [](Machine& vm) { return lengthenedVector(vm, "Number"); }, "0"},
    {"a lengthened Vector of Boolean holds nulls",
     [](Machine& vm) { return lengthenedVector(vm, "Boolean"); }, "null"},
    {"shift on an empty Vector of String gives undefined",
     [](Machine& vm) {
         return vm.callProperty(emptyVector(vm, "String"), vm.publicName("shift"), {});
     },
     "undefined"},
    {"apply passes an array's hole as the prototypes' element of its index",
     [](Machine& vm) {
         // Array.prototype[1] = "hole"; a = []; a[2] = "x"; Array.prototype.concat.apply([], a)
         const Value proto = vm.get(fromGlobal(vm, "Array"), "prototype");
         vm.set(proto, "1", vm.str("hole"));
         Object* a = vm.newArray();
         vm.set(Value::obj(a), "2", vm.str("x"));
         Value args[2] = {Value::obj(vm.newArray()), Value::obj(a)};
         return vm.callProperty(vm.get(proto, "concat"), vm.publicName("apply"), Args(args, 2));
     },
     ",hole,x"},
    {"sort takes an array's hole as the prototypes' element of its index",
     [](Machine& vm) {
         // Array.prototype[1] = "b"; a = []; a[0] = "c"; a[2] = "a"; a.sort()
         vm.set(vm.get(fromGlobal(vm, "Array"), "prototype"), "1", vm.str("b"));
         Object* a = vm.newArray();
         vm.set(Value::obj(a), "0", vm.str("c"));
         vm.set(Value::obj(a), "2", vm.str("a"));
         return vm.callProperty(Value::obj(a), vm.publicName("sort"), {});
     },
     "a,b,c"},
    {"pop on an empty Vector of Number gives NaN",
     [](Machine& vm) {
         return vm.callProperty(emptyVector(vm, "Number"), vm.publicName("pop"), {});
     },
     "NaN"},
    {"an array holding itself overflows the stack when printed",
     [](Machine& vm) {
         Object* a = vm.newArray();
         a->elems.push_back(Value::obj(a));
         return vm.str(vm.toString(Value::obj(a)));
     },
     "Error: Error #1023: Stack overflow occurred."},
    {"JSON of arrays nested deeper than the calls may go overflows the stack",
     [](Machine& vm) {
         Value a[1] = {nested(vm, 20000)};
         return vm.callProperty(fromGlobal(vm, "JSON"), vm.publicName("stringify"), Args(a, 1));
     },
     "Error: Error #1023: Stack overflow occurred."},
    {"JSON text nested deeper than the calls may go overflows the stack",
     [](Machine& vm) {
         Value a[1] = {vm.str(std::string(20000, '['))};
         return vm.callProperty(fromGlobal(vm, "JSON"), vm.publicName("parse"), Args(a, 1));
     },
     "Error: Error #1023: Stack overflow occurred."},
    {"a string doubled without end runs out of memory",
     [](Machine& vm) {
         Value s = vm.str("x");
         for (int i = 0; i < 64; ++i) {
             s = vm.add(s, s);
         }
         return s;
     },
     "Error: Error #1000: The system is out of memory."},
    {"arrays made long and kept run out of memory",
     [](Machine& vm) {
         Object* kept = vm.newArray();
         for (int i = 0; i < 64; ++i) {
             Value n[1] = {Value::integer(1000000)};
             kept->elems.push_back(vm.construct(fromGlobal(vm, "Array"), Args(n, 1)));
         }
         return Value::obj(kept);
     },
     "Error: Error #1000: The system is out of memory."},
    {"an array lengthened and kept runs out of memory",
     [](Machine& vm) {
         Object* a = vm.newArray();
         for (int i = 1; i < 64; ++i) {
             vm.set(Value::obj(a), "length", Value::integer(i * 1000000));
         }
         return Value::obj(a);
     },
     "Error: Error #1000: The system is out of memory."},
    {"an element written far past an array's end runs out of memory",
     [](Machine& vm) {
         Object* a = vm.newArray();
         vm.set(Value::obj(a), "9000000", Value::integer(1));
         return Value::obj(a);
     },
     "Error: Error #1000: The system is out of memory."},
    {"joining a long array to a long text runs out of memory",
     [](Machine& vm) {
         Object* a = vm.newArray(std::vector<Value>(100000, vm.str(std::string(1000, 'x'))));
         return vm.callProperty(Value::obj(a), vm.publicName("join"), {});
     },
     "Error: Error #1000: The system is out of memory."},
};

class Avm2Limits : public ::testing::TestWithParam<Row> {};

TEST_P(Avm2Limits, EndInThePlayersError) {
    Machine vm;
    vm.setHeapLimit(kHeap);
    std::string got;
    try {
        got = vm.toString(GetParam().run(vm));
    } catch (const ScriptException& e) {
        got = vm.toString(e.value);
    }
    EXPECT_EQ(got, GetParam().expected);
}

std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    std::string n;
    for (const char* c = row.param.name; *c != 0; ++c) {
        n += std::isalnum(static_cast<unsigned char>(*c)) != 0 ? *c : '_';
    }
    return n;
}

INSTANTIATE_TEST_SUITE_P(Rows, Avm2Limits, ::testing::ValuesIn(kRows), rowName);

// Interfaces a block declares may extend each other a million deep or weave a lattice whose
// paths double at each level: asking whether a class is one of them must still end.
TEST(Avm2Limits, InterfaceGraphsAreWalkedWithinBounds) {
    const struct {
        const char* shape;
        std::size_t count;
        std::size_t parents; // each extends this many of the ones before it
    } shapes[] = {{"a chain", 1000000, 1}, {"a lattice", 200, 2}};
    for (const auto& shape : shapes) {
        std::vector<std::unique_ptr<ClassInfo>> interfaces;
        for (std::size_t i = 0; i < shape.count; ++i) {
            auto c = std::make_unique<ClassInfo>();
            for (std::size_t p = 1; p <= shape.parents && p <= i; ++p) {
                c->interfaces.push_back(interfaces[i - p].get());
            }
            interfaces.push_back(std::move(c));
        }
        const ClassInfo unrelated;
        EXPECT_FALSE(interfaces.back()->isSubclassOf(&unrelated)) << shape.shape;
        EXPECT_TRUE(interfaces.back()->isSubclassOf(interfaces[shape.count - 2].get()))
            << shape.shape;
    }
}

} // namespace
} // namespace kinovex::flash::avm2
