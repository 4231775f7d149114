#include "engine/avm1/builtins/ArraySort.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace kinovex::flash::avm1 {

namespace {

// sort and sortOn share the comparison: a script function, or flags.
struct SortRule {
    Value compare;
    int flags = 0;
    std::vector<std::string> fields;
    std::vector<int> fieldFlags;
};

// NUMERIC compares two numbers as numbers; anything else, even with NUMERIC, by its text.
int compareBy(Vm& vm, const Value& x, const Value& y, int flags) {
    if ((flags & kNumeric) && x.isNumber() && y.isNumber()) {
        const double p = x.asNumber();
        const double q = y.asNumber();
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

int compare(Vm& vm, const SortRule& rule, const Value& x, const Value& y, bool useFunction = true) {
    if (useFunction && rule.compare.isObject()) {
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
        // The whole order is reversed for a DESCENDING sort, so a field going the other way
        // compares reversed.
        if ((flags ^ rule.flags) & kDescending) {
            c = -c;
        }
        if (c != 0) {
            return c;
        }
    }
    return 0;
}

// The player's quicksort, whose order of comparisons scripts can see through a compare
// function: the first element of a range is the pivot and is always the first argument; the
// left scan stops at elements not below it, the right scan passes elements not above it, and
// neither scan moves after a swap, so both swapped elements are compared again. Ranges are
// done left before right; a stack instead of recursion keeps sorted input from going deep.
void quickSort(std::vector<std::size_t>& order,
               const std::function<int(std::size_t, std::size_t)>& compare) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    if (order.size() > 1) {
        ranges.emplace_back(0, order.size() - 1);
    }
    while (!ranges.empty()) {
        const auto [lo, hi] = ranges.back();
        ranges.pop_back();
        const std::size_t pivot = order[lo];
        std::size_t i = lo + 1;
        std::size_t j = hi;
        for (;;) {
            while (i < j && compare(pivot, order[i]) > 0) {
                ++i;
            }
            while (j > lo && compare(pivot, order[j]) <= 0) {
                --j;
            }
            if (i >= j) {
                break;
            }
            std::swap(order[i], order[j]);
        }
        std::swap(order[lo], order[j]);
        if (j + 1 < hi) {
            ranges.emplace_back(j + 1, hi);
        }
        if (j > lo + 1) {
            ranges.emplace_back(lo, j - 1);
        }
    }
}

// UNIQUESORT looks at neighbours once the elements are sorted, with the flags' own comparison
// even when there is a compare function: true when two of them are equal.
bool hasEqualNeighbours(Vm& vm, const SortRule& rule, const std::vector<Value>& items,
                        const std::vector<std::size_t>& order) {
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (compare(vm, rule, items[order[i - 1]], items[order[i]], false) == 0) {
            return true;
        }
    }
    return false;
}

// Sorts ascending by the rule's comparison; DESCENDING reverses the sorted order afterwards
// (the comparisons are the same as for an ascending sort). UNIQUESORT gives 0 and leaves the
// array alone when two elements are equal.
Value sortArray(Vm& vm, Object* a, const SortRule& rule) {
    std::vector<std::size_t> order(a->elements().size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const std::vector<Value> items = a->elements();
    quickSort(order,
              [&](std::size_t i, std::size_t j) { return compare(vm, rule, items[i], items[j]); });
    if ((rule.flags & kUniqueSort) && hasEqualNeighbours(vm, rule, items, order)) {
        return Value(0.0);
    }
    if (rule.flags & kDescending) {
        std::reverse(order.begin(), order.end());
    }
    if (rule.flags & kReturnIndexedArray) {
        std::vector<Value> idx;
        for (std::size_t i : order) {
            idx.emplace_back(static_cast<double>(i));
        }
        return Value(vm.newArray(std::move(idx)));
    }
    // A compare function may have changed the array's length meanwhile.
    if (a->elements().size() < order.size()) {
        a->elements().resize(order.size());
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
    if (args.empty()) {
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
    // Flags: a number for all fields, or an array with one number per field (any other
    // length, or any other object, means no flags). The first field's flags say whether the
    // sort is unique, returns indices or is descending.
    const Value flags = arg(args, 1);
    if (Object* fl = arrayOf(flags)) {
        if (fl->elements().size() == rule.fields.size()) {
            for (const Value& n : fl->elements()) {
                rule.fieldFlags.push_back(static_cast<int>(toInt32(vm.toNumber(n))));
            }
            rule.flags = rule.fieldFlags.empty() ? 0 : rule.fieldFlags[0];
        }
    } else if (!flags.isObject()) {
        rule.flags = static_cast<int>(toInt32(vm.toNumber(flags)));
    }
    return sortArray(vm, a, rule);
}

} // namespace kinovex::flash::avm1
