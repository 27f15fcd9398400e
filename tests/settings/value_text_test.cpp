#include "settings/value_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace axo {
namespace {

TEST(ValueText, ReadsAndWritesTheFormsExistingFilesHold) {
    EXPECT_EQ(TextToDouble("0,995"), 0.995);
    EXPECT_EQ(TextToDouble("0.995"), 0.995);
    EXPECT_EQ(TextToDouble(" 24 "), 24.0);
    EXPECT_EQ(TextToDouble("-1,5E+2"), -150.0);
    EXPECT_EQ(TextToDouble(",5"), 0.5);
    EXPECT_EQ(TextToDouble("5,"), 5.0);
    for (const char* bad : {"", " ", "abc", "1e400", "-1e400", "1,2,3", "1.2.3", "0x10", "inf", "nan", "1e", "+",
                            ",", "12abc", "1 2"}) {
        EXPECT_FALSE(TextToDouble(bad).has_value()) << bad;
    }
    // Integers round halves to even and refuse overflow.
    EXPECT_EQ(TextToInteger(" 3"), 3);
    EXPECT_EQ(TextToInteger("-3"), -3);
    EXPECT_EQ(TextToInteger("2,5"), 2);
    EXPECT_EQ(TextToInteger("3.5"), 4);
    EXPECT_EQ(TextToInteger("32767"), 32767);
    EXPECT_EQ(TextToInteger("-32768"), -32768);
    EXPECT_FALSE(TextToInteger("32768").has_value());
    EXPECT_FALSE(TextToInteger("99999").has_value());
    EXPECT_FALSE(TextToInteger("32767,5").has_value());  // rounds to 32768
    EXPECT_FALSE(TextToInteger("abc").has_value());
    EXPECT_EQ(TextToLong("2147483647"), 2147483647);
    EXPECT_FALSE(TextToLong("2147483648").has_value());
    EXPECT_EQ(TextToLong("-2147483648"), INT32_MIN);

    // Written in the forms existing files hold.
    const std::pair<std::string, std::string> forms[] = {
        {IntegerToText(0), " 0"},           {IntegerToText(3), " 3"},          {IntegerToText(-3), "-3"},
        {IntegerToText(-32768), "-32768"},  {LongToText(5512), "5512"},        {LongToText(-7), "-7"},
        {DoubleToText(0.995), "0,995"},     {DoubleToText(24.0), "24"},        {DoubleToText(-0.0), "0"},
        {DoubleToText(9.887695313), "9,887695313"}, {DoubleToText(0.659179687), "0,659179687"},
        {DoubleToText(1e-5), "1E-05"},      {DoubleToText(-2.5e20), "-2,5E+20"}};
    for (const auto& [written, expected] : forms) {
        EXPECT_EQ(written, expected);
    }
    // Texts the reader would cut (it keeps 15 characters) take the shortest exact form.
    struct Case { const char* read; const char* written; };
    for (const Case c : {Case{"1e-320", "1E-320"}, Case{"-1,234567891e-5", "-1,234567891E-5"},
                         Case{"-123456789012e3", "-123456789012E3"}, Case{"-1e14", "-1E14"},
                         Case{"4,9e-324", "5E-324"}}) {
        const double v = TextToDouble(c.read).value();
        EXPECT_EQ(DoubleToText(v), c.written) << c.read;
        EXPECT_EQ(TextToDouble(DoubleToText(v)), v) << c.read;
    }
    // Whatever is written reads back as the same value.
    for (double v : {0.1, 1.0 / 3.0, 123456.789, -65000.0, 1e-11, 6.02214076e23}) {
        const auto back = TextToDouble(DoubleToText(v));
        ASSERT_TRUE(back.has_value()) << v;
        EXPECT_NEAR(*back, v, std::abs(v) * 1e-14) << v;
    }
}

}  // namespace
}  // namespace axo
