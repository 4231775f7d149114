#include "core/record/RunState.h"

#include <cstddef>

namespace kinovex {
namespace {

constexpr std::size_t kCommandCount = 5;
constexpr bool y = true;
constexpr bool n = false;

// One row per state, in the order of RunState; the columns in the order of RunCommand.
//                                        Browse Play Record PlayAndRecord Options
constexpr bool kAllowed[][kCommandCount] = {/* Idle      */ {y, y, n, y, y},
                                            /* Playing   */ {n, y, y, n, n},
                                            /* Recording */ {n, n, y, n, n},
                                            /* Stopping  */ {n, y, n, n, n}};

} // namespace

bool RunAllows(RunState state, RunCommand command) {
    return kAllowed[static_cast<std::size_t>(state)][static_cast<std::size_t>(command)];
}

} // namespace kinovex
