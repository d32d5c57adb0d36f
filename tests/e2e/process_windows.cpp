#include "e2e/app_folder.h"

#include <windows.h>

namespace e2e {

namespace {

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // the tests pass ASCII arguments only
}

std::wstring quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

HANDLE createInheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

fs::path temporaryRoot() {
    return fs::path(TEST_TEMP_ROOT);
}

std::string pathAsLauncherSeesIt(const fs::path& path) {
    return fs::path(path).make_preferred().string();
}

void setEnvironment(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

RunResult runProcess(const fs::path& executable, const Lines& arguments, const fs::path& cwd, int timeoutSeconds,
                     Output output) {
    std::wstring commandLine = quoted(executable.wstring());
    for (const std::string& argument : arguments) commandLine += L" " + quoted(widen(argument));
    return runCommandLine(executable, commandLine, cwd, timeoutSeconds, output);
}

RunResult runCommandLine(const fs::path& executable, std::wstring commandLine, const fs::path& cwd,
                         int timeoutSeconds, Output output) {
    TempDir outputDir;
    const fs::path outPath = outputDir.path() / "out";
    const fs::path errPath = outputDir.path() / "err";

    RunResult result;
    {
        HANDLE out = createInheritableFile(outPath);
        HANDLE err = output == Output::combined ? out : createInheritableFile(errPath);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = err;

        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            cwd.c_str(), &startup, &process);
        CloseHandle(out);
        if (err != out) CloseHandle(err);
        if (!started) {
            result.err = "CreateProcessW failed with error " + std::to_string(GetLastError());
            return result;
        }
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, INFINITE);
            result.timedOut = true;
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        result.exitStatus = static_cast<int>(exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

RunResult AppFolder::runCommandLine(const std::wstring& commandLine) const {
    return e2e::runCommandLine(launcher(), commandLine, otherCwd_.path());
}

}  // namespace e2e
