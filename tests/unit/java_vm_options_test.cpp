// The option records handed to JNI_CreateJavaVM and their trace lines.
#include "jvm/java_vm.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(JavaVmOptions, ClassPathFirstThenVmArgsInOrder) {
    LaunchSettings settings;
    settings.classPathOption = "-Djava.class.path=C:\\Apps\\Demo/app.jar";
    std::istringstream vmArgs(R"(["-Xmx512m", "-Dsample.mode=test", 5, "-Djava.class.path=other.jar", ""])");
    picojson::value parsed;
    vmArgs >> parsed;
    settings.vmArgs = parsed.get<picojson::array>();

    testing::internal::CaptureStdout();
    const JavaVmOptions options = buildJavaVmOptions(settings);
    const std::string trace = testing::internal::GetCapturedStdout();

    const std::vector<std::string> expected = {"-Djava.class.path=C:\\Apps\\Demo/app.jar", "-Xmx512m",
                                               "-Dsample.mode=test", "5", "-Djava.class.path=other.jar", ""};
    ASSERT_EQ(options.records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::string(options.records[i].optionString), expected[i]) << "option " << i;
        EXPECT_EQ(options.records[i].extraInfo, nullptr);
    }
    // The class-path record is the settings' own text, which outlives the VM's creation.
    EXPECT_EQ(options.records[0].optionString, settings.classPathOption.c_str());
    EXPECT_EQ(trace,
              "vmArg 0: -Xmx512m\n"
              "vmArg 1: -Dsample.mode=test\n"
              "vmArg 2: 5\n"
              "vmArg 3: -Djava.class.path=other.jar\n"
              "vmArg 4: \n");
}

TEST(JavaVmOptions, NoVmArgsGivesOnlyTheClassPath) {
    LaunchSettings settings;
    settings.classPathOption = "-Djava.class.path=/app/app.jar";

    testing::internal::CaptureStdout();
    const JavaVmOptions options = buildJavaVmOptions(settings);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(options.records.size(), 1u);
    EXPECT_STREQ(options.records[0].optionString, "-Djava.class.path=/app/app.jar");
}

TEST(JavaVmOptions, ManyLongOptionsKeepTheirText) {
    LaunchSettings settings;
    for (int i = 0; i < 2000; ++i) {
        settings.vmArgs.emplace_back("-Dkey" + std::to_string(i) + "=" + std::string(static_cast<std::size_t>(i), 'v'));
    }
    testing::internal::CaptureStdout();
    const JavaVmOptions options = buildJavaVmOptions(settings);
    testing::internal::GetCapturedStdout();

    ASSERT_EQ(options.records.size(), 2001u);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(std::string(options.records[static_cast<std::size_t>(i) + 1].optionString),
                  "-Dkey" + std::to_string(i) + "=" + std::string(static_cast<std::size_t>(i), 'v'));
    }
}

}  // namespace
