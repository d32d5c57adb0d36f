// The message a later start hands the running copy: what it holds after the
// trip, and every malformed message a peer could send refused.
#include "launcher/later_start_message.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string encoded(const LaterStart& start) {
    std::string bytes;
    EXPECT_EQ(encodeLaterStart(start, bytes), LaterStartEncoding::encoded);
    return bytes;
}

const LaterStart typical{"/home/user/docs", {"a b", "", "\xE4\xB8\xAD\xE6\x96\x87", "\xF0\x9F\x98\x80"}};

TEST(LaterStartMessage, ArrivesAsItWasSent) {
    for (const LaterStart& start : {typical, LaterStart{"/", {}}, LaterStart{"C:\\Users", {std::string(70000, 'x')}}}) {
        LaterStart received{"left over", {"left over"}};
        ASSERT_TRUE(decodeLaterStart(encoded(start), received));
        EXPECT_EQ(received.directory, start.directory);
        EXPECT_EQ(received.arguments, start.arguments);
    }
}

struct UnsentCase {
    const char* name;
    LaterStart start;
    LaterStartEncoding why;
};

class UnsentLaterStartTest : public testing::TestWithParam<UnsentCase> {};

// Each cause on its own, so that the later start's message says what is wrong.
TEST_P(UnsentLaterStartTest, SaysWhy) {
    std::string bytes;
    EXPECT_EQ(encodeLaterStart(GetParam().start, bytes), GetParam().why);
}

INSTANTIATE_TEST_SUITE_P(
    LaterStartMessage, UnsentLaterStartTest,
    testing::Values(UnsentCase{"ArgumentNotUtf8", {"/tmp", {"caf\xE9"}}, LaterStartEncoding::notUtf8},
                    UnsentCase{"FolderNotUtf8", {"/tmp/\xC3", {}}, LaterStartEncoding::notUtf8},
                    UnsentCase{"TooLong", {"/tmp", {std::string(maxLaterStartBytes, 'x')}}, LaterStartEncoding::tooLong},
                    UnsentCase{"TooLongInManyArguments",
                               {"/tmp", std::vector<std::string>(9, std::string(120000, 'x'))},
                               LaterStartEncoding::tooLong},
                    UnsentCase{"NoFolder", {"", {"letter.txt"}}, LaterStartEncoding::noDirectory}),
    caseName<UnsentCase>);

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
    std::string bytes = encoded(LaterStart{"/", {}}).substr(0, 14);
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((body.size() >> shift) & 0xFF);
    return bytes + body;
}

INSTANTIATE_TEST_SUITE_P(
    LaterStartMessage, MalformedMessageTest,
    testing::Values(MalformedCase{"Empty", ""},
                    MalformedCase{"CutShort", encoded(typical).substr(0, encoded(typical).size() - 3)},
                    MalformedCase{"CutInTheHeader", encoded(typical).substr(0, 16)},
                    MalformedCase{"CutAfterAText", encoded(typical).substr(0, encoded(typical).size() - 5)},
                    MalformedCase{"LongerThanItsLength", encoded(typical) + "x"},
                    MalformedCase{"LongerByAText", encoded(typical) + std::string("more\0", 5)},
                    MalformedCase{"AnotherTag", "LATER-START-2" + encoded(typical).substr(13)},
                    MalformedCase{"NoBody", withBody("")},
                    MalformedCase{"EmptyFolder", withBody(std::string("\0letter.txt\0", 12))},
                    MalformedCase{"LastTextNotEnded", withBody(std::string("/tmp\0a", 6))},
                    MalformedCase{"Latin1", withBody(std::string("/tmp\0caf\xE9\0", 10))},
                    MalformedCase{"Overlong", withBody(std::string("\xC0\xAF\0", 3))},
                    MalformedCase{"Surrogate", withBody(std::string("\xED\xA0\x80\0", 4))},
                    MalformedCase{"BeyondUnicode", withBody(std::string("\xF4\x90\x80\x80\0", 5))},
                    MalformedCase{"LoneContinuation", withBody(std::string("\x80\0", 2))},
                    MalformedCase{"TooLong", withBody(std::string(maxLaterStartBytes, 'x') + '\0')}),
    caseName<MalformedCase>);

}  // namespace
