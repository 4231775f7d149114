#include "tools/convert/StartButton.h"

#include <array>
#include <string_view>

namespace kinovex::cli {

namespace {

constexpr std::array<std::string_view, 8> kStartWords = {"play",  "start",    "begin", "go",
                                                         "enter", "continue", "skip",  "next"};

bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool isStartWord(std::string word) {
    for (char& c : word) {
        if (isUpper(c)) {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (std::string_view w : kStartWords) {
        if (word == w) {
            return true;
        }
    }
    return false;
}

// Words are runs of letters and digits; a capital after a small letter starts another
// ("btnPlay" is "btn" and "Play").
bool saysStart(std::string_view text) {
    std::string word;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        const bool newWord = isUpper(c) && !word.empty() && !isUpper(word.back());
        if (!isLetterOrDigit(c) || newWord) {
            if (isStartWord(word)) {
                return true;
            }
            word.clear();
        }
        if (isLetterOrDigit(c)) {
            word += c;
        }
    }
    return false;
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

std::optional<std::size_t> chooseStartButton(const std::vector<flash::StageButton>& buttons) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (saysStart(buttons[i].name) || saysStart(buttons[i].text)) {
            return i;
        }
    }
    if (buttons.size() == 1) {
        return 0;
    }
    return std::nullopt;
}

std::string buttonLabel(const flash::StageButton& button) {
    if (!button.name.empty()) {
        return button.name;
    }
    std::string text = trimmed(button.text);
    return text.empty() ? "a button" : text;
}

} // namespace kinovex::cli
