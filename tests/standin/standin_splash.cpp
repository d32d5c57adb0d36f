// Stands for a Java runtime's splash-screen library (splashscreen.dll,
// libsplashscreen.so) where the real one cannot run (under Wine): it exports
// the functions the launcher calls before it creates the JVM and records each
// call, one line each, to the file named by STANDIN_RECORD with ".splash"
// after it, which the stand-in JVM library puts at the head of its record. SplashLoadFile fails when
// STANDIN_SPLASH_LOAD is "fail", as for an image the library cannot read.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

void record(const std::string& line) {
    const char* path = std::getenv("STANDIN_RECORD");
    std::FILE* file = path != nullptr && *path != '\0' ? std::fopen((std::string(path) + ".splash").c_str(), "a") : nullptr;
    if (file != nullptr) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

std::string text(const char* value) {
    return value != nullptr ? value : "null";
}

}  // namespace

STANDIN_EXPORT int SplashGetScaledImgNameMaxPstfixLen(const char* fileName) {
    record("SplashGetScaledImgNameMaxPstfixLen " + text(fileName));
    return static_cast<int>(std::strlen(fileName != nullptr ? fileName : "")) + 8;
}

STANDIN_EXPORT unsigned char SplashGetScaledImageName(const char* jarName, const char* fileName, float* scaleFactor,
                                                      char* scaledImageName, std::size_t scaledImageNameLength) {
    record("SplashGetScaledImageName " + text(jarName) + " " + text(fileName) + " room " +
           std::to_string(scaledImageNameLength));
    (void)scaleFactor;
    (void)scaledImageName;
    return 0;  // no variant for this screen
}

STANDIN_EXPORT void SplashInit() {
    record("SplashInit");
}

STANDIN_EXPORT void SplashSetScaleFactor(float scaleFactor) {
    record("SplashSetScaleFactor " + std::to_string(scaleFactor));
}

STANDIN_EXPORT int SplashLoadFile(const char* fileName) {
    record("SplashLoadFile " + text(fileName));
    const char* load = std::getenv("STANDIN_SPLASH_LOAD");
    return load != nullptr && std::string(load) == "fail" ? 0 : 1;
}

STANDIN_EXPORT void SplashSetFileJarName(const char* fileName, const char* jarName) {
    record("SplashSetFileJarName " + text(fileName) + " " + text(jarName));
}
