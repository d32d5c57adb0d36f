// The message a later start hands the running copy: what it holds after the
// trip, and every malformed message a peer could send refused.
#include "launcher/later_start_message.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string encoded(const LaterStart& start) {
    std::string bytes;
    EXPECT_TRUE(encodeLaterStart(start, bytes));
    return bytes;
}

const LaterStart typical{"/home/user/docs", {"a b", "", "\xE4\xB8\xAD\xE6\x96\x87", "\xF0\x9F\x98\x80"}};

TEST(LaterStartMessage, ArrivesAsItWasSent) {
    for (const LaterStart& start : {typical, LaterStart{"", {}}, LaterStart{"C:\\Users", {std::string(70000, 'x')}}}) {
        LaterStart received{"left over", {"left over"}};
        ASSERT_TRUE(decodeLaterStart(encoded(start), received));
        EXPECT_EQ(received.directory, start.directory);
        EXPECT_EQ(received.arguments, start.arguments);
    }
}

TEST(LaterStartMessage, TextsThatAreNotUtf8AreNotSent) {
    std::string bytes;
    EXPECT_FALSE(encodeLaterStart(LaterStart{"/tmp", {"caf\xE9"}}, bytes));
    EXPECT_FALSE(encodeLaterStart(LaterStart{"/tmp/\xC3", {}}, bytes));
    EXPECT_FALSE(encodeLaterStart(LaterStart{"/tmp", {std::string(maxLaterStartBytes, 'x')}}, bytes));
}

struct MalformedCase {
    const char* name;
    std::string bytes;
};

class MalformedMessageTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedMessageTest, IsRefused) {
    LaterStart received;
    EXPECT_FALSE(decodeLaterStart(GetParam().bytes, received));
}

// The typical message with its body replaced, and the length adjusted to it.
std::string withBody(const std::string& body) {
    std::string bytes = encoded(LaterStart{"", {}}).substr(0, 14);
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((body.size() >> shift) & 0xFF);
    return bytes + body;
}

INSTANTIATE_TEST_SUITE_P(
    LaterStartMessage, MalformedMessageTest,
    testing::Values(MalformedCase{"Empty", ""},
                    MalformedCase{"CutShort", encoded(typical).substr(0, encoded(typical).size() - 3)},
                    MalformedCase{"CutInTheHeader", encoded(typical).substr(0, 16)},
                    MalformedCase{"LongerThanItsLength", encoded(typical) + "x"},
                    MalformedCase{"AnotherTag", "LATER-START-2" + encoded(typical).substr(13)},
                    MalformedCase{"NoBody", withBody("")},
                    MalformedCase{"LastTextNotEnded", withBody(std::string("/tmp\0a", 6))},
                    MalformedCase{"Latin1", withBody(std::string("/tmp\0caf\xE9\0", 10))},
                    MalformedCase{"Overlong", withBody(std::string("\xC0\xAF\0", 3))},
                    MalformedCase{"Surrogate", withBody(std::string("\xED\xA0\x80\0", 4))},
                    MalformedCase{"BeyondUnicode", withBody(std::string("\xF4\x90\x80\x80\0", 5))},
                    MalformedCase{"LoneContinuation", withBody(std::string("\x80\0", 2))},
                    MalformedCase{"TooLong", withBody(std::string(maxLaterStartBytes, 'x') + '\0')}),
    caseName<MalformedCase>);

}  // namespace
