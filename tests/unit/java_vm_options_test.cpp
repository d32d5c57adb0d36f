// The option records handed to JNI_CreateJavaVM and their trace lines.
#include "jvm/java_vm.h"
#include "jvm/jvm_hooks.h"
#include "jvm/modified_utf8.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The options built from `settings` with the vmArgs of this JSON array, and the trace they print.
JavaVmOptions buildWithVmArgs(LaunchSettings& settings, const std::string& vmArgsJson, std::string& trace) {
    std::istringstream vmArgs(vmArgsJson);
    picojson::value parsed;
    vmArgs >> parsed;
    settings.vmArgs = parsed.get<picojson::array>();
    testing::internal::CaptureStdout();
    JavaVmOptions options = buildJavaVmOptions(settings);
    trace = testing::internal::GetCapturedStdout();
    return options;
}

TEST(JavaVmOptions, ClassPathFirstThenVmArgsInOrder) {
    LaunchSettings settings;
    settings.classPathOption = "-Djava.class.path=C:\\Apps\\Demo/app.jar";
    std::string trace;
    const JavaVmOptions options =
        buildWithVmArgs(settings, R"(["-Xmx512m", "-Dsample.mode=test", 5, "-Djava.class.path=other.jar", ""])", trace);

    const std::vector<std::string> expected = {"-Djava.class.path=C:\\Apps\\Demo/app.jar", "-Xmx512m",
                                               "-Dsample.mode=test", "5", "-Djava.class.path=other.jar", ""};
    ASSERT_EQ(options.records.size(), expected.size() + 3);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::size_t record = i == 0 ? 0 : i + 3;
        EXPECT_EQ(std::string(options.records[record].optionString), expected[i]) << "option " << record;
        EXPECT_EQ(options.records[record].extraInfo, nullptr);
    }
    // The JVM's hooks come right after the class path, each with its function.
    const std::size_t hooks = 1;
    EXPECT_STREQ(options.records[hooks].optionString, "vfprintf");
    EXPECT_EQ(options.records[hooks].extraInfo, reinterpret_cast<void*>(&jvmPrintHook));
    EXPECT_STREQ(options.records[hooks + 1].optionString, "exit");
    EXPECT_EQ(options.records[hooks + 1].extraInfo, reinterpret_cast<void*>(&jvmExitHook));
    EXPECT_STREQ(options.records[hooks + 2].optionString, "abort");
    EXPECT_EQ(options.records[hooks + 2].extraInfo, reinterpret_cast<void*>(&jvmAbortHook));
    // The class-path record is the settings' own text, which outlives the VM's creation.
    EXPECT_EQ(options.records[0].optionString, settings.classPathOption.c_str());
    EXPECT_EQ(trace,
              "vmArg 0: -Xmx512m\n"
              "vmArg 1: -Dsample.mode=test\n"
              "vmArg 2: 5\n"
              "vmArg 3: -Djava.class.path=other.jar\n"
              "vmArg 4: \n");
}

TEST(JavaVmOptions, AppDirIsReplacedWhereverItOccurs) {
    LaunchSettings settings;
    settings.applicationDir = "/opt/My $APPDIR Product";  // a replacement is never expanded again
    std::string trace;
    const JavaVmOptions options = buildWithVmArgs(
        settings, R"(["-javaagent:$APPDIR/agent.jar", "$APPDIR:$APPDIR", "$APPDIRX", "$appdir", "$APP", 7])", trace);

    const std::string dir = settings.applicationDir;
    EXPECT_EQ(options.texts, (std::vector<std::string>{"-javaagent:" + dir + "/agent.jar", dir + ":" + dir, dir + "X",
                                                       "$appdir", "$APP", "7"}));
    EXPECT_EQ(trace.substr(0, trace.find('\n')), "vmArg 0: -javaagent:" + dir + "/agent.jar");
}

TEST(ModifiedUtf8, EveryUtf16UnitOnItsOwn) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"plain ASCII", "plain ASCII"},
        {std::u16string(u"a\0b", 3), "a\xC0\x80" "b"},       // NUL as two bytes, never a terminator
        {u"\u00e9\u07ff", "\xC3\xA9\xDF\xBF"},             // two-byte range and its end
        {u"\u0800\u4e16\uffff", "\xE0\xA0\x80\xE4\xB8\x96\xEF\xBF\xBF"},
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},       // a surrogate pair: two 3-byte sequences
        {std::u16string(1, char16_t(0xDC00)), "\xED\xB0\x80"},  // a lone surrogate survives
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(modifiedUtf8(text), expected);
    }
}

TEST(ModifiedUtf8, FromUtf8ChangesOnlyNulAndFourByteSequences) {
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xC3\xA9 \xE4\xB8\x96", "caf\xC3\xA9 \xE4\xB8\x96"},
        {std::string("a\0b", 3), "a\xC0\x80" "b"},
        {"\xF0\x9F\x98\x80!", "\xED\xA0\xBD\xED\xB8\x80!"},
        {"\xF0\x9F\x98", "\xF0\x9F\x98"},          // cut short: left as it is
        {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},  // beyond U+10FFFF: left as it is
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(modifiedUtf8FromUtf8(text), expected);
        EXPECT_EQ(utf8FromModifiedUtf8(expected), text);
    }
}

TEST(JavaVmOptions, NoVmArgsGivesOnlyTheClassPath) {
    LaunchSettings settings;
    settings.classPathOption = "-Djava.class.path=/app/app.jar";

    testing::internal::CaptureStdout();
    const JavaVmOptions options = buildJavaVmOptions(settings);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(options.records.size(), 4u);
    EXPECT_STREQ(options.records[0].optionString, "-Djava.class.path=/app/app.jar");
    EXPECT_STREQ(options.records[1].optionString, "vfprintf");
}

TEST(JavaVmOptions, ManyLongOptionsKeepTheirText) {
    LaunchSettings settings;
    for (int i = 0; i < 2000; ++i) {
        settings.vmArgs.emplace_back("-Dkey" + std::to_string(i) + "=" + std::string(static_cast<std::size_t>(i), 'v'));
    }
    testing::internal::CaptureStdout();
    const JavaVmOptions options = buildJavaVmOptions(settings);
    testing::internal::GetCapturedStdout();

    ASSERT_EQ(options.records.size(), 2004u);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(std::string(options.records[static_cast<std::size_t>(i) + 4].optionString),
                  "-Dkey" + std::to_string(i) + "=" + std::string(static_cast<std::size_t>(i), 'v'));
    }
}

}  // namespace
