#pragma once
// Numbers as the player's script machines print them. Both machines share these rules; they
// differ only in how many digits a fraction keeps.

#include <string>

namespace kinovex::flash {

enum class NumberDigits {
    // ActionScript 1/2: 15 significant digits, exponent form from 1e15 up and below 1e-5.
    Fifteen,
    // ActionScript 3: the fewest digits that read back as the same number (up to 17), exponent
    // form from 1e21 up and below 1e-6, as ECMAScript prints numbers.
    Shortest,
};

std::string numberToString(double n, NumberDigits digits = NumberDigits::Fifteen);
// Other bases print the integer part, as the player does; base 10 and bad bases print as above.
std::string numberToString(double n, int radix, NumberDigits digits = NumberDigits::Fifteen);

} // namespace kinovex::flash
