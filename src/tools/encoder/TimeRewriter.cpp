#include "tools/encoder/TimeRewriter.h"

#include <cstdint>
#include <cstring>

namespace kinovex {

namespace {

constexpr std::string_view kKey = "time=";
// Wider hours than any real run; the cap keeps the sum in range and the held-back text short.
constexpr std::size_t kMaxHourDigits = 9;
constexpr std::size_t kMaxFractionDigits = 9;

enum class Match { Partial, Complete, None };

struct Field {
    bool negative = false;
    std::int64_t hours = 0;
    int minutes = 0;
    int seconds = 0;
    std::string_view fraction; // the point and its digits, as printed; may be empty
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads `text` as the start of "time=[-]H...:MM:SS[.F...]". Partial: all of it fits the field
// but the seconds are not complete yet; Complete: it is a whole field (that more fraction
// digits could still extend); None: it cannot be one.
Match Parse(std::string_view text, Field* field) {
    const std::size_t keyLength = std::min(text.size(), kKey.size());
    if (text.substr(0, keyLength) != kKey.substr(0, keyLength))
        return Match::None;
    if (text.size() <= kKey.size())
        return Match::Partial;

    Field result;
    std::size_t i = kKey.size();
    if (text[i] == '-') {
        result.negative = true;
        ++i;
    }
    const std::size_t hoursStart = i;
    while (i < text.size() && IsDigit(text[i])) {
        if (i - hoursStart == kMaxHourDigits)
            return Match::None;
        result.hours = result.hours * 10 + (text[i] - '0');
        ++i;
    }
    if (i == text.size())
        return Match::Partial;
    if (i == hoursStart || text[i] != ':')
        return Match::None;
    ++i;

    for (int* part : {&result.minutes, &result.seconds}) {
        for (int digit = 0; digit < 2; ++digit, ++i) {
            if (i == text.size())
                return Match::Partial;
            if (!IsDigit(text[i]))
                return Match::None;
            *part = *part * 10 + (text[i] - '0');
        }
        if (part == &result.minutes) {
            if (i == text.size())
                return Match::Partial;
            if (text[i] != ':')
                return Match::None;
            ++i;
        }
    }

    if (i < text.size()) {
        if (text[i] != '.')
            return Match::None;
        const std::size_t fractionStart = i++;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        if (i < text.size() || i - fractionStart - 1 > kMaxFractionDigits)
            return Match::None;
        result.fraction = text.substr(fractionStart);
    }
    if (field != nullptr)
        *field = result;
    return Match::Complete;
}

} // namespace

void TimeRewriter::feed(std::string_view input, std::string& out) {
    std::size_t pos = 0;
    while (pos < input.size()) {
        if (m_pending.empty()) {
            // Most of the stream is plain text: copy up to the next possible field at once.
            const void* found = std::memchr(input.data() + pos, 't', input.size() - pos);
            if (found == nullptr) {
                out.append(input.substr(pos));
                return;
            }
            const std::size_t t =
                static_cast<std::size_t>(static_cast<const char*>(found) - input.data());
            out.append(input.substr(pos, t - pos));
            m_pending.push_back('t');
            pos = t + 1;
            continue;
        }
        m_pending.push_back(input[pos]);
        if (Parse(m_pending, nullptr) != Match::None) {
            ++pos;
            continue;
        }
        // This byte ends the candidate. It is not part of it and is looked at again, since it
        // may start the next field itself.
        m_pending.pop_back();
        flush(out);
    }
}

void TimeRewriter::finish(std::string& out) {
    flush(out);
}

void TimeRewriter::flush(std::string& out) {
    Field field;
    if (Parse(m_pending, &field) == Match::Complete) {
        const std::int64_t total =
            field.hours * 3600 + static_cast<std::int64_t>(field.minutes) * 60 + field.seconds;
        out.append(kKey);
        if (field.negative)
            out.push_back('-');
        out.append(std::to_string(total));
        out.append(field.fraction);
    } else {
        out.append(m_pending);
    }
    m_pending.clear();
}

} // namespace kinovex
