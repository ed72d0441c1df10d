// Number formatting of the overlay.
#include <gtest/gtest.h>

#include "platform/crt.h"

namespace {

struct Case {
    double value;
    int digits;
    const char* text;
};

TEST(Gcvt, FormatsLikeTheWindowsRuntime) {
    const Case cases[] = {
        {0.0, 12, "0."},
        {60.0, 12, "60."},
        {1.0, 8, "1."},
        {25.5, 8, "25.5"},
        {-25.5, 8, "-25.5"},
        {5.0, 8, "5."},
        {-6.0, 8, "-6."},
        {123456789.0, 8, "1.2345679e+008"},
        {12345678.0, 8, "12345678."},
        {0.5, 8, "0.5"},
        {0.123, 8, "0.123"},
        {0.05, 8, "5.e-002"},
        {0.0123, 8, "1.23e-002"},
        {-0.0123, 8, "-1.23e-002"},
        {9.99999999, 8, "10."},
        {99999999.9, 8, "1.e+008"},
        {123456789012.0, 12, "123456789012."},
        {1234567890123.0, 12, "1.23456789012e+012"},
        {3600123.0, 12, "3600123."},
        {2.5e-10, 8, "2.5e-010"},
        {1e300, 8, "1.e+300"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        EXPECT_STREQ(_gcvt(c.value, c.digits, buffer), c.text) << c.value << " at " << c.digits;
    }
}

TEST(Gcvt, FloatCameraValuesShowTheirFloatDigits) {
    char buffer[32];
    // A float such as 0.1f carries more than 8 digits when widened; 8 digits hide it.
    EXPECT_STREQ(_gcvt(static_cast<double>(0.1f), 8, buffer), "0.1");
    EXPECT_STREQ(_gcvt(static_cast<double>(25.7f), 8, buffer), "25.700001");
}

}  // namespace
