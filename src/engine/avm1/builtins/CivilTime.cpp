#include "engine/avm1/builtins/CivilTime.h"

#include <cmath>

namespace kinovex::flash::avm1 {

double daysFromCivil(double y, double m, double d) {
    y += std::floor(m / 12);
    m = std::fmod(m, 12);
    if (m < 0) {
        m += 12;
    }
    const double yy = m < 2 ? y - 1 : y;
    const double era = std::floor(yy / 400);
    const double yoe = yy - era * 400;
    const double mp = std::fmod(m + 10, 12); // March is 0
    const double doy = std::floor((153 * mp + 2) / 5) + d - 1;
    const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468;
}

CivilTime civilFromMs(double t) {
    const double days = std::floor(t / 86400000.0);
    double msInDay = t - days * 86400000.0;
    const double z = days + 719468;
    const double era = std::floor(z / 146097);
    const double doe = z - era * 146097;
    const double yoe = std::floor(
        (doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    const double mp = std::floor((5 * doy + 2) / 153);
    const double d = doy - std::floor((153 * mp + 2) / 5) + 1;
    const double m = mp < 10 ? mp + 2 : mp - 10;
    const double y = yoe + era * 400 + (m < 2 ? 1 : 0);
    CivilTime c{};
    c.year = y;
    c.month = m;
    c.day = d;
    c.hours = std::floor(msInDay / 3600000);
    msInDay -= c.hours * 3600000;
    c.minutes = std::floor(msInDay / 60000);
    msInDay -= c.minutes * 60000;
    c.seconds = std::floor(msInDay / 1000);
    c.ms = msInDay - c.seconds * 1000;
    c.weekday = std::fmod(std::fmod(days + 4, 7) + 7, 7);
    return c;
}

} // namespace kinovex::flash::avm1
