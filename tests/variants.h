// For tests that hold every build of one function this processor can run to the same
// cases: each build named, for the test's name and GoogleTest's messages.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

template <typename Function>
struct Variant {
    const char* name;
    Function* run;
};

template <typename Function>
void PrintTo(const Variant<Function>& variant, std::ostream* out) {
    *out << variant.name;
}

// Names each instance of INSTANTIATE_TEST_SUITE_P after its variant.
struct VariantName {
    template <typename Function>
    std::string operator()(const ::testing::TestParamInfo<Variant<Function>>& info) const {
        return info.param.name;
    }
};
