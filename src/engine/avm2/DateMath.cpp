#include "engine/avm2/DateMath.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <strings.h>
#include <vector>

namespace kinovex::flash::avm2::datemath {

namespace {

constexpr double kMsPerDay = 86400000.0;
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

double dayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
           std::floor((y - 1601) / 400);
}

bool leap(double y) {
    return std::fmod(y, 4) == 0 && (std::fmod(y, 100) != 0 || std::fmod(y, 400) == 0);
}

double monthStart(double month, bool isLeap) {
    static const int kStart[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    const int m = static_cast<int>(month);
    return kStart[m] + (isLeap && m >= 2 ? 1 : 0);
}

double yearFromDay(double day) {
    double y = std::floor(day / 365.2425) + 1970;
    while (dayFromYear(y) > day) {
        --y;
    }
    while (dayFromYear(y + 1) <= day) {
        ++y;
    }
    return y;
}

} // namespace

Fields split(double t) {
    Fields f{};
    if (std::isnan(t)) {
        f.fill(NAN);
        return f;
    }
    const double day = std::floor(t / kMsPerDay);
    double ms = t - day * kMsPerDay;
    f[0] = yearFromDay(day);
    const double inYear = day - dayFromYear(f[0]);
    int m = 0;
    while (m < 11 && monthStart(m + 1, leap(f[0])) <= inYear) {
        ++m;
    }
    f[1] = m;
    f[2] = inYear - monthStart(m, leap(f[0])) + 1;
    f[3] = std::floor(ms / 3600000);
    ms -= f[3] * 3600000;
    f[4] = std::floor(ms / 60000);
    ms -= f[4] * 60000;
    f[5] = std::floor(ms / 1000);
    f[6] = ms - f[5] * 1000;
    return f;
}

double join(const Fields& f) {
    for (const double v : f) {
        if (!std::isfinite(v)) {
            return NAN;
        }
    }
    const double y = std::trunc(f[0]) + std::floor(std::trunc(f[1]) / 12);
    const double m =
        std::fmod(std::trunc(f[1]), 12) + (std::fmod(std::trunc(f[1]), 12) < 0 ? 12 : 0);
    const double day = dayFromYear(y) + monthStart(m, leap(y)) + std::trunc(f[2]) - 1;
    const double time = std::trunc(f[3]) * 3600000 + std::trunc(f[4]) * 60000 +
                        std::trunc(f[5]) * 1000 + std::trunc(f[6]);
    return day * kMsPerDay + time;
}

double weekDay(double t) {
    if (std::isnan(t)) {
        return NAN;
    }
    const double d = std::fmod(std::floor(t / kMsPerDay) + 4, 7);
    return d < 0 ? d + 7 : d;
}

double timeClip(double t) {
    return !std::isfinite(t) || std::fabs(t) > 8.64e15 ? NAN : std::trunc(t) + 0.0;
}

namespace {

int nameIndex(const std::string& word, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        if (word.size() >= 3 && strncasecmp(word.c_str(), names[i], 3) == 0) {
            return i;
        }
    }
    return -1;
}

struct ParsedDate {
    double year = NAN, month = NAN, day = NAN, time = 0, offset = 0;
    bool haveOffset = false;
};

bool readNumberWord(ParsedDate& d, const std::string& w) {
    if (w.find(':') != std::string::npos) {
        int h = 0, mi = 0, s = 0;
        if (std::sscanf(w.c_str(), "%d:%d:%d", &h, &mi, &s) < 2) {
            return false;
        }
        d.time = h * 3600000.0 + mi * 60000.0 + s * 1000.0;
        return true;
    }
    const double n = std::stod(w);
    if (std::isnan(d.day) && !std::isnan(d.month) && n <= 31 && w.size() <= 2 &&
        std::isnan(d.year)) {
        d.day = n;
    } else if (std::isnan(d.day) && !std::isnan(d.year) && n <= 31) {
        d.day = n;
    } else if (std::isnan(d.year) && (n > 31 || !std::isnan(d.day))) {
        d.year = n < 100 ? 1900 + n : n;
    } else {
        return false;
    }
    return true;
}

bool readWord(ParsedDate& d, const std::string& w) {
    if (w.compare(0, 3, "GMT") == 0 || w.compare(0, 3, "UTC") == 0) {
        if (d.haveOffset) {
            return false;
        }
        d.haveOffset = true;
        if (w.size() >= 8) {
            const int hhmm = std::atoi(w.c_str() + 4);
            d.offset = (w[3] == '-' ? -1 : 1) * ((hhmm / 100) * 60 + hhmm % 100) * 60000.0;
        }
        return true;
    }
    if (std::isdigit(static_cast<unsigned char>(w[0])) != 0) {
        return readNumberWord(d, w);
    }
    if (const int m = nameIndex(w, kMonths, 12); m >= 0) {
        d.month = m;
        return true;
    }
    return nameIndex(w, kDays, 7) >= 0;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (const char c : text + " ") {
        if (c == ' ' || c == ',') {
            if (!cur.empty()) {
                out.push_back(cur);
            }
            cur.clear();
        } else {
            cur += c;
        }
    }
    return out;
}

// "Apr/03/1988" or "4/3/1988": month, day and year at once.
bool readSlashed(ParsedDate& d, const std::string& w) {
    const auto a = w.find('/');
    const auto b = w.find('/', a + 1);
    if (b == std::string::npos || !std::isnan(d.year) || !std::isnan(d.day)) {
        return false;
    }
    const std::string month = w.substr(0, a);
    const int named = nameIndex(month, kMonths, 12);
    d.month = named >= 0 ? named : std::atof(month.c_str()) - 1;
    d.day = std::atof(w.substr(a + 1, b - a - 1).c_str());
    d.year = std::atof(w.substr(b + 1).c_str());
    return true;
}

} // namespace

double parse(const std::string& text) {
    ParsedDate d;
    for (const std::string& w : words(text)) {
        const bool ok = w.find('/') != std::string::npos ? readSlashed(d, w) : readWord(d, w);
        if (!ok) {
            return NAN;
        }
    }
    if (std::isnan(d.year) || std::isnan(d.month) || std::isnan(d.day)) {
        return NAN;
    }
    return timeClip(join({d.year, d.month, d.day, 0, 0, 0, 0}) + d.time - d.offset);
}

std::string format(double t, char part) {
    if (std::isnan(t)) {
        return "Invalid Date";
    }
    const Fields f = split(t);
    char date[64];
    char time[64];
    std::snprintf(date, sizeof date, "%s %s %d", kDays[static_cast<int>(weekDay(t))],
                  kMonths[static_cast<int>(f[1])], static_cast<int>(f[2]));
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", static_cast<int>(f[3]),
                  static_cast<int>(f[4]), static_cast<int>(f[5]));
    const std::string year = std::to_string(static_cast<long long>(f[0]));
    switch (part) {
    case 'd':
        return std::string(date) + " " + year;
    case 't':
        return std::string(time) + " GMT+0000";
    case 'u':
        return std::string(date) + " " + time + " " + year + " UTC";
    default:
        return std::string(date) + " " + time + " GMT+0000 " + year;
    }
}

} // namespace kinovex::flash::avm2::datemath
