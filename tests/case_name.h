#pragma once

#include <gtest/gtest.h>

#include <string>

// Names a table-driven test after the `name` field of its case.
template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& testCase) {
    return testCase.param.name;
}
