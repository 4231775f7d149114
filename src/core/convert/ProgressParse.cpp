#include "core/convert/ProgressParse.h"

#include <climits>

namespace kinovex {

long ReadNumberAt(std::string_view text, std::size_t position) {
    if (position >= text.size() || text[position] < '0' || text[position] > '9')
        return -1;
    long value = 0;
    for (std::size_t i = position; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (LONG_MAX - digit) / 10)
            return -1; // far beyond any real time: unreadable rather than wrapped
        value = value * 10 + digit;
    }
    return value > 0 ? value : -1;
}

long ParseProgressSeconds(std::string_view chunk) {
    const auto i = chunk.rfind('m');
    if (i == std::string_view::npos || i == 0)
        return 0;

    long value = 0;
    const char before = chunk[i - 1];
    if (before == 'i') {
        // The chunk ends with a status line: the m is the one of "time=".
        if (i + 7 < chunk.size())
            value = ReadNumberAt(chunk, i + 3);
    } else if (before == ' ' || before == 'a') {
        // A trailing text (the closing summary or a stream description) follows the last status
        // line: look at the m before it.
        const std::string_view shorter = chunk.substr(0, i - 1);
        const auto j = shorter.rfind('m');
        if (j != std::string_view::npos && j > 0 && shorter[j - 1] == 'i')
            value = ReadNumberAt(shorter, j + 3);
    }
    return value > 0 ? value : 0;
}

} // namespace kinovex
