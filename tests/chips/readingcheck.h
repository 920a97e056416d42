#pragma once
// Compares a list of readings with the expected values, naming the case and
// the reading that differs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline void ExpectReadings(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << what << " reading " << i + 1;
}
