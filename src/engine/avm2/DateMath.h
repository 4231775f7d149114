#pragma once
// Calendar arithmetic on time values (milliseconds since 1970 UTC) as ECMAScript defines it,
// and the text forms the player reads and writes. Local time is UTC.

#include <array>
#include <string>

namespace kinovex::flash::avm2::datemath {

// year, month (0-11), date (1-31), hours, minutes, seconds, milliseconds
using Fields = std::array<double, 7>;

Fields split(double t);
double join(const Fields& f); // NaN when a field is not finite
double weekDay(double t);
double timeClip(double t);
// The player's Date.parse: NaN when the text is not a date it reads.
double parse(const std::string& text);
// "Sat Jun 12 03:00:00 GMT+0000 1999"; parts: 'd' date only, 't' time only, 'u' UTC form.
std::string format(double t, char part);

} // namespace kinovex::flash::avm2::datemath
