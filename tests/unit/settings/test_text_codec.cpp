// Decimal reader, fixed-decimal writer, leading integers and Base64.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/settings/text_codec.h"

namespace tarvo {
namespace {

TEST(ParseDecimal, ReadsAsTheProgramAlwaysHas) {
  struct Case {
    const char* text;
    int decimals;
    double value;
  };
  const Case cases[] = {
      {"10.0", 2, 10.0},
      {"52.123456", 5, 52.12346},  // rounded at the sixth digit
      {"52.1234549", 5, 52.12345},  // the scan ends at the digit after the last used
      {"1,5", 2, 15.0},             // a comma is skipped, not a decimal point
      {"7.34", 2, 7.34},
      {"7.345", 2, 7.35},
      {"-4.5", 5, -4.5},
      {"4.5-", 5, -4.5},            // a "-" anywhere
      {"1.2.3", 5, 1.2},            // a second "." ends the scan
      {"0.999", 2, 1.0},            // the rounding carries
      {"99.995", 2, 100.0},
      {"2.5", 0, 3.0},
      {" 12 m", 2, 12.0},
      {".5", 2, 0.5},
      {"", 5, 0.0},
      {"abc", 5, 0.0},
      {"0.00001", 5, 0.00001},
      {"4.50000", 5, 4.5},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.text, c.decimals), c.value) << c.text;
  EXPECT_FALSE(std::signbit(ParseDecimal("-0.000", 2)));  // never "-0.0" when written back
}

TEST(FormatFixed, WritesLikePrintfInTheCLocale) {
  EXPECT_EQ(FormatFixed(52.1234567, 5), "52.12346");
  EXPECT_EQ(FormatFixed(4.5, 5), "4.50000");
  EXPECT_EQ(FormatFixed(7.34, 1), "7.3");
  EXPECT_EQ(FormatFixed(-33.8567844, 5), "-33.85678");
  EXPECT_EQ(FormatFixed(10.0, 1), "10.0");
  EXPECT_EQ(FormatFixed(0.25, 1), "0.2");  // exact binary tie: to even, as printf
  EXPECT_EQ(FormatFixed(NAN, 1), "0.0");
  for (double v : {0.0, 1.05, -179.99999, 89.123455, 1e9 / 7}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.5f", v);
    EXPECT_EQ(FormatFixed(v, 5), expected);
  }
}

TEST(ParseLeadingInt, ReadsTheLeadingNumberLikeAtoi) {
  EXPECT_EQ(ParseLeadingInt("0"), 0);
  EXPECT_EQ(ParseLeadingInt("-12"), -12);
  EXPECT_EQ(ParseLeadingInt("  +45m"), 45);
  EXPECT_EQ(ParseLeadingInt("12.7"), 12);
  EXPECT_EQ(ParseLeadingInt("abc"), 0);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("99999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingInt("-99999999999"), -2147483647 - 1);
}

TEST(ParseLeadingDecimal, ReadsTheLeadingNumberAndRefusesNonNumbers) {
  const std::pair<const char*, double> numbers[] = {
      {"12", 12.0},     {" -5", -5.0}, {"+40 m", 40.0}, {"12.9", 12.9}, {".5", 0.5},
      {"1e99", 1e99},   {"1E3x", 1000.0}, {"3,5", 3.0},  {"0x10", 0.0},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(ParseLeadingDecimal(text), value) << text;
  for (const char* none : {"", "  ", "metres", "-", "+-1", "inf", "-nan", "1e999", "e5"}) {
    EXPECT_FALSE(ParseLeadingDecimal(none).has_value()) << none;
  }
}

TEST(Base64, MatchesTheStandardVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},     {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, code] : vectors) {
    EXPECT_EQ(Base64Encode(plain), code);
    EXPECT_EQ(Base64Decode(code), std::optional<std::string>(plain));
  }
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  for (std::size_t n = 0; n <= every.size(); n += 37) {
    EXPECT_EQ(Base64Decode(Base64Encode(every.substr(0, n))), every.substr(0, n));
  }
}

TEST(Base64, RejectsWhatItWouldNotWrite) {
  for (const char* bad : {"Zg=", "Zg", "Z===", "Zm9v\n", "Zm 9v", "Zm=v", "Zg==Zg==", "Zh==", "Zm9=",
                          "Zm8-", "====", "Zm9vYmFy=", "Zm_v"}) {
    EXPECT_FALSE(Base64Decode(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace tarvo
