// The text of each kind of JSON value as the launcher uses it, and the faults
// of the JSON library that reading config.json must survive.
#include "config/json_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct TextCase {
    const char* json;
    std::string text;
};

class ValueTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(ValueTextTest, TextOfValue) {
    std::istringstream stream(GetParam().json);
    picojson::value value;
    std::string readError;
    ASSERT_TRUE(readJsonValue(stream, value, readError));
    ASSERT_EQ(picojson::get_last_error(), "");
    EXPECT_EQ(value.to_str(), GetParam().text);
}


INSTANTIATE_TEST_SUITE_P(
    Json, ValueTextTest,
    testing::Values(TextCase{"null", "null"}, TextCase{"true", "true"}, TextCase{"false", "false"},
                    TextCase{"8", "8"}, TextCase{"-8", "-8"}, TextCase{"8.0", "8"}, TextCase{"1e3", "1000"},
                    TextCase{"0.1", "0.10000000000000001"}, TextCase{"2.5", "2.5"}, TextCase{"-0", "-0"},
                    TextCase{"9007199254740991", "9007199254740991"},
                    // From 2^53 on, integers are no longer below the integral limit.
                    TextCase{"9007199254740993", "9007199254740992"}, TextCase{"1e20", "1e+20"},
                    // What printf's "%.17g" makes of infinity, in glibc and in MinGW-w64's C99 printf.
                    TextCase{"1e999", "inf"}, TextCase{"-1e999", "-inf"},
                    TextCase{"1e-999", "0"}, TextCase{"\"a\\\"b\\\\c\\/d\\n\"", "a\"b\\c/d\n"},
                    TextCase{"\"\\u00e9\"", "\xC3\xA9"}, TextCase{"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80"},
                    TextCase{"\"\\u0000x\"", std::string("\0x", 2)}, TextCase{"[1, 2]", "array"},
                    TextCase{"{\"a\": 1}", "object"}));

TEST(ReadJsonValue, InfinityIsHeldNotThrown) {
    std::istringstream stream(R"({"vmArgs": [1e999, "after"]})");
    picojson::value value;
    std::string readError;
    ASSERT_TRUE(readJsonValue(stream, value, readError));
    EXPECT_EQ(picojson::get_last_error(), "");
    const picojson::array& vmArgs = value.get<picojson::object>().at("vmArgs").get<picojson::array>();
    ASSERT_EQ(vmArgs.size(), 2u);
    EXPECT_EQ(vmArgs[0].get<double>(), HUGE_VAL);
    EXPECT_EQ(vmArgs[1].to_str(), "after");
}

TEST(ReadJsonValue, SyntaxErrorFailsTheStreamAndClearsNextTime) {
    std::istringstream bad("{\"a\" 1}");
    picojson::value value;
    std::string readError;
    ASSERT_TRUE(readJsonValue(bad, value, readError));
    EXPECT_TRUE(bad.fail());
    EXPECT_EQ(picojson::get_last_error(), "syntax error at line 1 near: 1}");

    std::istringstream good("{}");
    ASSERT_TRUE(readJsonValue(good, value, readError));
    EXPECT_FALSE(good.fail());
    EXPECT_EQ(picojson::get_last_error(), "");
}

TEST(ReadJsonValue, ReadErrorIsReportedNotThrown) {
    // Opening a directory succeeds; reading from it fails, and the C++ runtime
    // throws from the stream buffer.
    const std::filesystem::path directory = testing::TempDir();
    std::ifstream stream(directory);
    if (!stream.is_open()) GTEST_SKIP() << "a directory cannot be opened as a file on this platform";
    picojson::value value;
    std::string readError;
    EXPECT_FALSE(readJsonValue(stream, value, readError));
    EXPECT_NE(readError.find("Is a directory"), std::string::npos) << readError;
    EXPECT_TRUE(stream.bad());
}

}  // namespace
