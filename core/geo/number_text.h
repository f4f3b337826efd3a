// Locale-free number texts. Every number the geodesy texts show goes through
// these: they print exactly what printf("%*.*f") and printf("%*d") print in
// the C locale (a point, never a comma, whatever LC_NUMERIC says), except
// that a value rounding to zero never prints a minus sign ("-0.0" -> "0.0").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// Longest text WriteFixed and WriteShortest write: a double has at most 309
// digits before the point, then the point, 17 decimals and the sign.
inline constexpr size_t kMaxNumberText = 400;

// Writes v as "%<width>.<precision>f" (precision 0..17, width 0..32, padded
// with blanks on the left; values outside are clamped) at out, which has room
// for kMaxNumberText bytes; returns the end. Non-finite values print as "nan",
// "inf", "-inf". For formatting millions of numbers straight into a buffer.
char* WriteFixed(char* out, double v, int precision, int width = 0);

// Appends what WriteFixed writes.
void AppendFixed(std::string& out, double v, int precision, int width = 0);

// Appends v as "%<width>d" (blanks on the left).
void AppendInt(std::string& out, long long v, int width = 0);

// The value that AppendFixed(v, precision) shows, read back as a double
// (e.g. 59.96 with precision 1 -> 60.0). Non-finite values come back as they are.
double RoundedAsPrinted(double v, int precision);

// The shortest fixed-point text that reads back as exactly v (no exponent:
// 500000 -> "500000", 0.1 -> "0.1"), locale-free.
std::string ShortestText(double v);
void AppendShortest(std::string& out, double v);
// The same written at out (room for kMaxNumberText bytes); returns the end.
char* WriteShortest(char* out, double v);

// One typed number: blanks around it allowed, an optional sign, digits with at
// most one decimal point (at least one digit), nothing else (no exponent, no
// comma, no "inf"/"nan"). An empty or blank text reads as 0. Empty when the
// text is not such a number or too large for a double.
std::optional<double> ParseDecimalField(std::string_view text);

// Like ParseDecimalField but digits only (no point), within +-2147483647.
// isNegative (if given) tells whether a minus sign was typed, so "-0" can be
// told from "0".
std::optional<int> ParseIntegerField(std::string_view text, bool* isNegative = nullptr);

}  // namespace tarvo
