#include "recording/TextToLong.h"

#include <gtest/gtest.h>

namespace kestiva {
namespace {

TEST(TextToLong, FollowsTheStandardConversion) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"0", 0},           {"  -12x", -12},          {"+7", 7},
        {"", 0},            {"abc", 0},               {"-", 0},
        {"1.5", 1},         {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
        {"99999999999999999999999", INT32_MAX}, {"\t\n 42", 42}, {"- 5", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(textToLong(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace kestiva
