#pragma once

#include "e2e/app_folder.h"

#include <gtest/gtest.h>

namespace e2e {

// Checks that the run ended by itself (no crash, no hang) with `status` and
// exactly one "error:" line on standard error holding every part of `messageParts`.
inline void expectFailure(const RunResult& result, int status, const Lines& messageParts) {
    EXPECT_FALSE(result.timedOut) << "the launcher hung";
    EXPECT_EQ(result.signal, 0) << "the launcher crashed";
    EXPECT_EQ(result.exitStatus, status) << result.out.substr(0, 2000) << result.err.substr(0, 2000);
    const Lines errLines = result.errLines();
    ASSERT_EQ(errLines.size(), 1u) << result.err.substr(0, 2000);
    EXPECT_EQ(errLines[0].rfind("error: ", 0), 0u) << errLines[0];
    for (const std::string& part : messageParts) {
        EXPECT_NE(errLines[0].find(part), std::string::npos) << "missing \"" << part << "\" in: " << errLines[0];
    }
}

}  // namespace e2e
