#include "tools/encoder/EncoderArguments.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kinovex {

namespace {

// ffmpeg's options that take no value, each between blanks; every other option takes the next
// argument as its value, whatever that looks like (a value may well start with a minus).
constexpr std::string_view kFlags =
    " -y -n -an -vn -sn -dn -hide_banner -stats -nostats -nostdin -stdin -shortest -benchmark"
    " -benchmark_all -copyts -start_at_zero -re -xerror -accurate_seek -noaccurate_seek"
    " -debug_ts -report -ignore_unknown -copy_unknown ";

bool TakesValue(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-' && argument.find(' ') == std::string::npos &&
           kFlags.find(" " + argument + " ") == std::string_view::npos;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

bool IsSoundInput(const std::string& option, const std::string& value) {
    return option == "-i" && EndsWithNoCase(value, ".wav");
}

bool IsSoundOption(const std::string& option) {
    return option == "-acodec" || option == "-ac" || option == "-ab" || option == "-ar";
}

// Calls visit(option, value-or-null) for each option and visit(positional, null) for each other
// argument, in order.
template <typename Visit> void ForEachOption(const EncoderArguments& arguments, Visit visit) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (TakesValue(arguments[i]) && i + 1 < arguments.size()) {
            visit(arguments[i], &arguments[i + 1]);
            ++i;
        } else {
            visit(arguments[i], nullptr);
        }
    }
}

// The legacy profile writes NTSC rates rounded; the encoder would take them literally.
std::string ExactFrameRate(const std::string& rate) {
    if (rate == "29.97")
        return "30000/1001";
    if (rate == "23.976")
        return "24000/1001";
    if (rate == "59.94")
        return "60000/1001";
    return rate;
}

} // namespace

bool RequestsXvid(const EncoderArguments& arguments) {
    bool found = false;
    ForEachOption(arguments, [&](const std::string& option, const std::string* value) {
        found = found || (option == "-vcodec" && value != nullptr && *value == "xvid");
    });
    return found;
}

EncoderArguments MapEncoderArguments(const EncoderArguments& arguments, bool hasLibxvid) {
    // The output file is the last argument that is neither an option nor a value.
    std::string output;
    ForEachOption(arguments, [&](const std::string& argument, const std::string* value) {
        if (value == nullptr && (argument.empty() || argument[0] != '-'))
            output = argument;
    });
    const bool tagFits = EndsWithNoCase(output, ".avi");

    EncoderArguments mapped;
    mapped.reserve(arguments.size() + 2);
    ForEachOption(arguments, [&](const std::string& option, const std::string* value) {
        if (value == nullptr) {
            mapped.push_back(option);
            return;
        }
        if (option == "-vcodec" && *value == "xvid") {
            mapped.insert(mapped.end(), {option, hasLibxvid ? "libxvid" : "mpeg4"});
            // The XVID tag only fits a container that stores FourCCs: MP4 refuses the whole file
            // with it.
            if (!hasLibxvid && tagFits)
                mapped.insert(mapped.end(), {"-vtag", "XVID"});
            return;
        }
        if (option == "-b")
            mapped.insert(mapped.end(), {"-b:v", *value});
        else if (option == "-r")
            mapped.insert(mapped.end(), {option, ExactFrameRate(*value)});
        else if (option == "-ab")
            mapped.insert(mapped.end(), {"-b:a", *value});
        else
            mapped.insert(mapped.end(), {option, *value});
    });
    return mapped;
}

EncoderArguments LimitEncoderOutput(const EncoderArguments& arguments) {
    bool levelChosen = false;
    ForEachOption(arguments, [&](const std::string& option, const std::string* value) {
        levelChosen =
            levelChosen || (value != nullptr && (option == "-loglevel" || option == "-v"));
    });
    if (levelChosen)
        return arguments;
    EncoderArguments limited = {"-loglevel", "warning", "-stats"};
    limited.insert(limited.end(), arguments.begin(), arguments.end());
    return limited;
}

EncoderArguments DropSilentSound(const EncoderArguments& arguments,
                                 const std::function<bool(const std::string&)>& holdsSamples) {
    bool dropped = false;
    bool soundLeft = false;
    EncoderArguments kept;
    kept.reserve(arguments.size());
    ForEachOption(arguments, [&](const std::string& option, const std::string* value) {
        if (value != nullptr && IsSoundInput(option, *value)) {
            if (!holdsSamples(*value)) {
                dropped = true;
                return;
            }
            soundLeft = true;
        }
        kept.push_back(option);
        if (value != nullptr)
            kept.push_back(*value);
    });
    if (!dropped || soundLeft)
        return kept;

    EncoderArguments result;
    result.reserve(kept.size());
    ForEachOption(kept, [&](const std::string& option, const std::string* value) {
        if (value != nullptr && IsSoundOption(option))
            return;
        result.push_back(option);
        if (value != nullptr)
            result.push_back(*value);
    });
    return result;
}

} // namespace kinovex
