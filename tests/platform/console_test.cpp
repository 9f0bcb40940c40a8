// Console lines and formatted text are the same under every locale.

#include <gtest/gtest.h>

#include <langinfo.h>
#include <stdlib.h>

#include <clocale>
#include <string>

#include "platform/console.h"
#include "support/capture_console.h"
#include "support/comma_locale.h"

namespace kalvento::test {
namespace {

TEST(Console, NumbersKeepTheirDecimalPointUnderACommaLocale) {
    ::setenv("LOCPATH", commaLocalePath().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, kCommaLocale), nullptr);
    EXPECT_STREQ(::nl_langinfo(RADIXCHAR), ",") << "the locale writes decimal commas";
    CaptureConsole console;
    console.print("%lf %5.2f|", 1.0, 1.05);
    console.printErr("%g", 0.25);
    const std::string text = strf("%lf %.1f %e", 12.5, -0.5, 1500.0);
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    EXPECT_EQ(console.outText(), "1.000000  1.05|");
    EXPECT_EQ(console.errText(), "0.25");
    EXPECT_EQ(text, "12.500000 -0.5 1.500000e+03");
}

}  // namespace
}  // namespace kalvento::test
