#include "base/cvformat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>

#include "support/testmachine.h"

using cvformat::Format;
using cvformat::FormatSettings;

namespace {

const FormatSettings Inv = cvformat::Invariant();
const FormatSettings Comma{',', '.'};

struct Case {
    std::string got;
    std::string want;
};

void expectAll(const std::vector<Case>& cases) {
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(CvFormat, Integers) {
    expectAll({
        {Format("%d", {42}, Inv), "42"},
        {Format("%d", {-7}, Inv), "-7"},
        {Format("%D", {12}, Inv), "12"},
        {Format("%.3d", {7}, Inv), "007"},
        {Format("%.3d", {-5}, Inv), "-005"},
        {Format("%.2d", {123}, Inv), "123"},
        {Format("%3d|", {5}, Inv), "  5|"},
        {Format("%-3d|", {5}, Inv), "5  |"},
        {Format("%d", {std::uint64_t{18446744073709551615u}}, Inv), "18446744073709551615"},
        {Format("%d", {std::int64_t{-9223372036854775807 - 1}}, Inv), "-9223372036854775808"},
        {Format("%u", {4294967295u}, Inv), "4294967295"},
        {Format("%u", {-1}, Inv), "4294967295"},
        {Format("%d.%d.%2.2d", {5, 1, 3}, Inv), "5.1.03"},
    });
}

TEST(CvFormat, Hex) {
    expectAll({
        {Format("%x", {255}, Inv), "FF"},
        {Format("%X", {10}, Inv), "A"},
        {Format("%.2x", {5}, Inv), "05"},
        {Format("%.2X", {0xAB}, Inv), "AB"},
        {Format("%.4x", {0xAB}, Inv), "00AB"},
        {Format("%.8x", {0x200C}, Inv), "0000200C"},
        {Format("$%.x", {0x2D}, Inv), "$2D"},
        {Format("$%1.8x", {0x1F}, Inv), "$0000001F"},
        // A width pads with blanks, also when written with a leading zero.
        {Format("%02x", {5}, Inv), " 5"},
        {Format("%8x", {0x1234}, Inv), "    1234"},
        {Format("%-4x|", {0x1F}, Inv), "1F  |"},
        // Negative Integers are their 32-bit two's complement.
        {Format("%x", {-1}, Inv), "FFFFFFFF"},
        {Format("%.2x", {-2}, Inv), "FFFFFFFE"},
        {Format("%x", {std::int64_t{-0x100000000LL}}, Inv), "FFFFFFFF00000000"},
        {Format("%.16x", {std::uint64_t{0x0123456789ABCDEFull}}, Inv), "0123456789ABCDEF"},
        {Format("%%%.2x", {0x2F}, Inv), "%2F"},
    });
}

TEST(CvFormat, Strings) {
    expectAll({
        {Format("%s", {"abc"}, Inv), "abc"},
        {Format("%S=%s", {std::string("a"), std::string_view("b")}, Inv), "a=b"},
        {Format("%5s|", {"ab"}, Inv), "   ab|"},
        {Format("%-5s|", {"ab"}, Inv), "ab   |"},
        {Format("%.3s", {"abcdef"}, Inv), "abc"},
        {Format("%2s", {"abcdef"}, Inv), "abcdef"},
        {Format("100%% of %s", {"x"}, Inv), "100% of x"},
        {Format("no conversions", {}, Inv), "no conversions"},
    });
}

TEST(CvFormat, Fixed) {
    expectAll({
        {Format("%.2f", {3.14159}, Inv), "3.14"},
        {Format("%.1f", {3.14159}, Comma), "3,1"},
        {Format("%f", {1.5}, Inv), "1.50"},
        {Format("%.f", {1.5}, Inv), "1.50"},
        {Format("%.4f", {-0.00005}, Inv), "-0.0001"},
        {Format("%7.5f", {3.14159265}, Inv), "3.14159"},
        {Format("%4.1f|", {2.26}, Inv), " 2.3|"},
        {Format("%.*f", {3, 2.5}, Inv), "2.500"},
        {Format("%.*f %s", {0, 1023.7, "K"}, Inv), "1024 K"},
        // Halves of the shown digit round away from zero, taken at 15
        // significant digits as the program's Delphi pictures always were.
        {Format("%.0f", {2.5}, Inv), "3"},
        {Format("%.0f", {3.5}, Inv), "4"},
        {Format("%.0f", {40.5}, Inv), "41"},
        {Format("%.0f", {-2.5}, Inv), "-3"},
        {Format("%.2f", {0.125}, Inv), "0.13"},
        {Format("%.2f", {2.675}, Inv), "2.68"},
        {Format("%.2f", {9.995}, Inv), "10.00"},
        {Format("%.1f", {0.05}, Inv), "0.1"},
        {Format("%.3f", {1e-7}, Inv), "0.000"},
        {Format("%.0f", {0.0}, Inv), "0"},
        {Format("%.1f", {25}, Inv), "25.0"},
        {Format("%.1f", {std::numeric_limits<double>::quiet_NaN()}, Inv), "NAN"},
    });
}

TEST(CvFormat, Thousands) {
    expectAll({
        {Format("%n", {1234567.891}, Inv), "1,234,567.89"},
        {Format("%.0n", {-1234567.0}, Inv), "-1,234,567"},
        {Format("%.1n", {1234.5}, Comma), "1.234,5"},
        {Format("%n", {999.0}, Inv), "999.00"},
        {Format("%1.1n Kb", {1536.0 / 1024}, Inv), "1.5 Kb"},
        {Format("%.0n", {100000.0}, Inv), "100,000"},
    });
}

TEST(CvFormat, ScientificAndGeneral) {
    expectAll({
        {Format("%e", {1234.5}, Inv), "1.23450000000000E+003"},
        {Format("%.3e", {-0.000123456}, Inv), "-1.23E-004"},
        {Format("%.2e", {1.5}, Comma), "1,5E+000"},
        {Format("%g", {1234.5}, Inv), "1234.5"},
        {Format("%g", {100.0}, Inv), "100"},
        {Format("%g", {0.00001}, Inv), "0.00001"},
        {Format("%g", {0.0}, Inv), "0"},
        {Format("%g", {-0.25}, Comma), "-0,25"},
        {Format("%.3g", {2.0 / 3}, Inv), "0.667"},
    });
}

TEST(CvFormat, BadPicturesAndArgumentsThrow) {
    const std::vector<std::function<void()>> calls = {
        [] { Format("%d", {1.5}, Inv); },
        [] { Format("%x", {"a"}, Inv); },
        [] { Format("%s", {5}, Inv); },
        [] { Format("%f", {"a"}, Inv); },
        [] { Format("%d %d", {1}, Inv); },
        [] { Format("%q", {1}, Inv); },
        [] { Format("50%", {}, Inv); },
        [] { Format("%.*f", {1.0, 2.0}, Inv); },
    };
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_THROW(calls[i](), std::invalid_argument) << "call " << i;
}

TEST(CvFormat, UserFormatFollowsThePlatformLocale) {
    testsupport::TestMachine m;
    platform::LocaleInfo locale;
    locale.decimalSeparator = ',';
    locale.thousandSeparator = ' ';
    m->setLocale(locale);
    EXPECT_EQ(Format("%.1f", {2.5}), "2,5");
    EXPECT_EQ(Format("%.0n", {12345.0}), "12 345");
    EXPECT_EQ(Format("%.1f", {2.5}, cvformat::Invariant()), "2.5");
}

}  // namespace
