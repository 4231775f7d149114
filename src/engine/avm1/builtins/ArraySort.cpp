#include "engine/avm1/builtins/ArraySort.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

// sort and sortOn share the comparison: a script function, or flags.
struct SortRule {
    Value compare;
    int flags = 0;
    std::vector<std::string> fields;
    std::vector<int> fieldFlags;
};

int compareBy(Vm& vm, const Value& x, const Value& y, int flags) {
    if (flags & kNumeric) {
        const double p = vm.toNumber(x);
        const double q = vm.toNumber(y);
        if (std::isnan(p) || std::isnan(q)) {
            return std::isnan(p) ? (std::isnan(q) ? 0 : 1) : -1;
        }
        return p < q ? -1 : p > q ? 1 : 0;
    }
    std::string p = vm.toString(x);
    std::string q = vm.toString(y);
    if (flags & kCaseInsensitive) {
        for (char& c : p) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (char& c : q) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return p < q ? -1 : p > q ? 1 : 0;
}

int compare(Vm& vm, const SortRule& rule, const Value& x, const Value& y) {
    if (rule.compare.isObject()) {
        const Value pair[2] = {x, y};
        const double r = vm.toNumber(vm.call(rule.compare, Value(), pair));
        return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    auto keyOf = [&](const Value& e, std::size_t field) -> Value {
        if (rule.fields.empty()) {
            return e;
        }
        return vm.getMember(e, rule.fields[field]);
    };
    const std::size_t n = std::max<std::size_t>(rule.fields.size(), 1);
    for (std::size_t k = 0; k < n; ++k) {
        const int flags = k < rule.fieldFlags.size() ? rule.fieldFlags[k] : rule.flags;
        int c = compareBy(vm, keyOf(x, k), keyOf(y, k), flags);
        if (flags & kDescending) {
            c = -c;
        }
        if (c != 0) {
            return c;
        }
    }
    return 0;
}

Value sortArray(Vm& vm, Object* a, const SortRule& rule) {
    std::vector<std::size_t> order(a->elements().size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const std::vector<Value> items = a->elements();
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
        return compare(vm, rule, items[i], items[j]) < 0;
    });
    if (rule.flags & kUniqueSort) {
        for (std::size_t i = 1; i < order.size(); ++i) {
            if (compare(vm, rule, items[order[i - 1]], items[order[i]]) == 0) {
                return Value(0.0);
            }
        }
    }
    if (rule.flags & kReturnIndexedArray) {
        std::vector<Value> idx;
        for (std::size_t i : order) {
            idx.emplace_back(static_cast<double>(i));
        }
        return Value(vm.newArray(std::move(idx)));
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        a->elements()[i] = items[order[i]];
    }
    return Value(a);
}

} // namespace

Value arraySort(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a) {
        return Value();
    }
    SortRule rule;
    std::size_t i = 0;
    if (arg(args, 0).isObject() && arg(args, 0).asObject()->function()) {
        rule.compare = args[0];
        i = 1;
    }
    rule.flags = static_cast<int>(toInt32(vm.toNumber(arg(args, i))));
    return sortArray(vm, a, rule);
}

Value arraySortOn(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a) {
        return Value();
    }
    SortRule rule;
    if (Object* names = arrayOf(arg(args, 0))) {
        for (const Value& n : names->elements()) {
            rule.fields.push_back(vm.toString(n));
        }
    } else {
        rule.fields.push_back(vm.toString(arg(args, 0)));
    }
    if (Object* fl = arrayOf(arg(args, 1))) {
        for (const Value& n : fl->elements()) {
            rule.fieldFlags.push_back(static_cast<int>(toInt32(vm.toNumber(n))));
        }
        rule.flags = rule.fieldFlags.empty() ? 0 : rule.fieldFlags[0];
    } else {
        rule.flags = static_cast<int>(toInt32(vm.toNumber(arg(args, 1))));
    }
    return sortArray(vm, a, rule);
}

} // namespace kinovex::flash::avm1
