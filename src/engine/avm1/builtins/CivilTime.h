#pragma once
// Calendar arithmetic for Date: times in milliseconds since 1970 (UTC) to calendar fields and
// back, in the proleptic Gregorian calendar.

namespace kinovex::flash::avm1 {

// Days from 1970-01-01 to year/month/day; months past 11 or below 0 carry into the year.
double daysFromCivil(double y, double m, double d);

struct CivilTime {
    double year, month, day, hours, minutes, seconds, ms, weekday;
};

CivilTime civilFromMs(double t);

} // namespace kinovex::flash::avm1
