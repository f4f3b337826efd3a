// Number and text codings of the settings: the program's decimal reader, the
// fixed-decimal writer, and Base64 for the stored password.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// The decimal reader of the fractional settings. One scan from the left:
// digits before the first "." build the integer part, digits after it the
// fraction; a second "." ends the scan; a "-" anywhere makes the result
// negative; every other character is skipped ("1,5" reads as 15). At most
// `decimals` fractional digits are used: the last one is rounded up when the
// digit after it is 5 to 9, and the scan ends there. The result is the double
// nearest to the decimal so read (52.123456 with 5 decimals is exactly the
// double of 52.12346). Never fails; an empty text is 0.
double ParseDecimal(std::string_view text, int decimals);

// `value` with `decimals` fractional digits, like "%.*f" in the C locale
// (never a decimal comma, whatever the program's locale).
std::string FormatFixed(double value, int decimals);

// Leading-integer reading of a text, like atoi: optional blanks, an optional
// sign, then digits up to the first other character; 0 when there are none.
// Saturates at the int32 range.
int32_t ParseLeadingInt(std::string_view text);

// The leading decimal number of a text, as strtod reads it in the C locale
// but never hexadecimal, infinite or NaN: optional blanks, an optional sign,
// digits with an optional fraction and exponent; what follows is ignored
// ("40 m" is 40, "1e99" is 1e99). nullopt when there is no number or it does
// not fit a double.
std::optional<double> ParseLeadingDecimal(std::string_view text);

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
std::string Base64Encode(std::string_view bytes);
// Strict decoding: nullopt unless `code` is canonical Base64 as Base64Encode
// writes it (length a multiple of 4, padding only at the end, unused bits 0).
std::optional<std::string> Base64Decode(std::string_view code);

}  // namespace tarvo
