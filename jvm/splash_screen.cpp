#include "jvm/splash_screen.h"

#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstring>
#include <vector>

namespace {

// The splash library's exported functions, as the JDK's own launcher calls them.
using SplashInitFunction = void (*)();
using SplashLoadFileFunction = int (*)(const char* fileName);
using SplashSetFileJarNameFunction = void (*)(const char* fileName, const char* jarName);
using SplashSetScaleFactorFunction = void (*)(float scaleFactor);
using SplashGetScaledImgNameMaxPstfixLenFunction = int (*)(const char* fileName);
using SplashGetScaledImageNameFunction = unsigned char (*)(const char* jarName, const char* fileName,
                                                           float* scaleFactor, char* scaledImageName,
                                                           std::size_t scaledImageNameLength);

template <typename Function>
Function exported(void* library, const char* name) {
    return reinterpret_cast<Function>(platform::findSymbol(library, name));
}

// As java decides it: the last -Djava.awt.headless= option counts, and only "true" means headless.
bool runsHeadless(const picojson::array& vmArgs) {
    const std::string option = "-Djava.awt.headless=";
    bool headless = false;
    for (const picojson::value& vmArg : vmArgs) {
        const std::string text = vmArg.to_str();
        if (text.rfind(option, 0) == 0) headless = text == option + "true";
    }
    return headless;
}

// Shows the image, or says why it cannot.
std::string show(const LaunchSettings& settings) {
    const std::string& image = settings.splashImage;
    if (runsHeadless(settings.vmArgs)) {
        // The program could neither use nor close it: java shows none either.
        return "-Djava.awt.headless=true in \"vmArgs\"";
    }
    if (!platform::fileExists(image)) {
        return "the image " + image + " does not exist";
    }
    if (!platform::hasDisplay()) {
        return "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    }
    const std::string libraryPath = platform::splashLibraryPath(settings.applicationDir);
    if (!platform::fileExists(libraryPath)) {
        return "the runtime has no splash library " + libraryPath + " (a runtime linked without java.desktop)";
    }
    std::string loadError;
    void* library = platform::loadLibrary(libraryPath, loadError);
    if (library == nullptr) {
        return "cannot load the splash library " + libraryPath + ": " + loadError;
    }
    const auto init = exported<SplashInitFunction>(library, "SplashInit");
    const auto loadFile = exported<SplashLoadFileFunction>(library, "SplashLoadFile");
    const auto setFileJarName = exported<SplashSetFileJarNameFunction>(library, "SplashSetFileJarName");
    const auto setScaleFactor = exported<SplashSetScaleFactorFunction>(library, "SplashSetScaleFactor");
    const auto maxPostfixLength =
        exported<SplashGetScaledImgNameMaxPstfixLenFunction>(library, "SplashGetScaledImgNameMaxPstfixLen");
    const auto scaledImageName = exported<SplashGetScaledImageNameFunction>(library, "SplashGetScaledImageName");
    if (init == nullptr || loadFile == nullptr || setFileJarName == nullptr) {
        return "the splash library " + libraryPath + " lacks SplashInit, SplashLoadFile or SplashSetFileJarName";
    }

    // The high-DPI variant (name@2x.png, name@150pct.png) where the library finds one for the screen.
    float scaleFactor = 1;
    std::vector<char> scaledName;
    bool isScaled = false;
    if (maxPostfixLength != nullptr && scaledImageName != nullptr && setScaleFactor != nullptr) {
        const int length = maxPostfixLength(image.c_str());
        scaledName.assign(image.size() + static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
        isScaled = scaledImageName(nullptr, image.c_str(), &scaleFactor, scaledName.data(), scaledName.size()) != 0;
    }
    init();
    if (isScaled) {
        setScaleFactor(scaleFactor);
    }
    const bool loaded = loadFile(isScaled ? scaledName.data() : image.c_str()) != 0;
    setFileJarName(image.c_str(), nullptr);
    return loaded ? "" : "the splash library could not show " + image + ": not a PNG, GIF or JPEG image it can read, or a display it cannot open";
}

}  // namespace

void showSplashScreen(const LaunchSettings& settings) {
    if (settings.splashImage.empty()) {
        return;
    }
    const std::string notShown = show(settings);
    if (notShown.empty()) {
        traceLine("splash: %s\n", settings.splashImage.c_str());
    } else {
        traceLine("splash: not shown, %s\n", notShown.c_str());
    }
}
