#include "jvm/jvm_library.h"

#include "platform/platform.h"

#include <vector>

namespace {

LaunchFailure runtimeFailure(const std::string& message) {
    return {ExitStatus::javaRuntimeUnusable, message};
}

}  // namespace

StageResult loadJvmLibrary(const std::string& applicationDir, CreateJavaVmFunction& createJavaVm) {
    const std::vector<std::string> candidates = platform::jvmLibraryCandidates(applicationDir);

    // The first layout that is present is the runtime's; a present library
    // that fails to load is reported as it is, not skipped for another.
    std::string libraryPath;
    for (const std::string& candidate : candidates) {
        if (platform::fileExists(candidate)) {
            libraryPath = candidate;
            break;
        }
    }
    if (libraryPath.empty()) {
        std::string looked = candidates.front();
        for (std::size_t i = 1; i < candidates.size(); ++i) {
            looked += " nor " + candidates[i];
        }
        looked = candidates.size() == 1 ? looked + " does not exist" : "neither " + looked + " exists";
        return runtimeFailure("no Java runtime found: " + looked + "; put the application's Java runtime in " +
                              applicationDir + platform::pathSeparator + "jre");
    }

    std::string loadError;
    void* library = platform::loadLibrary(libraryPath, loadError);
    if (library == nullptr) {
        return runtimeFailure("cannot load the JVM library " + libraryPath + ": " + loadError);
    }
    void* entry = platform::findSymbol(library, "JNI_CreateJavaVM");
    if (entry == nullptr) {
        return runtimeFailure("the library " + libraryPath +
                              " has no JNI_CreateJavaVM entry point; jre must hold a complete Java runtime");
    }
    createJavaVm = reinterpret_cast<CreateJavaVmFunction>(entry);
    return std::nullopt;
}
