#include "core/convert/CommandLine.h"

namespace kinovex {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& command) {
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = command.size();

    while (i < n && IsBlank(command[i]))
        ++i;
    if (i == n)
        return words;

    // The program name: quotes group, nothing is escaped.
    {
        std::string program;
        bool quoted = false;
        for (; i < n; ++i) {
            const char c = command[i];
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && IsBlank(c))
                break;
            program += c;
        }
        words.push_back(std::move(program));
    }

    for (;;) {
        while (i < n && IsBlank(command[i]))
            ++i;
        if (i == n)
            break;

        std::string word;
        bool quoted = false;
        while (i < n) {
            const char c = command[i];
            if (c == '\\') {
                std::size_t slashes = 0;
                while (i < n && command[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && command[i] == '"') {
                    word.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        word += '"';
                        ++i;
                    }
                    // An even run leaves the quote to the code below.
                } else {
                    word.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && command[i + 1] == '"') {
                    word += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && IsBlank(c))
                break;
            word += c;
            ++i;
        }
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace kinovex
