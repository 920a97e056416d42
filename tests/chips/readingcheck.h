#pragma once
// Compares a list of readings with the expected values, naming the case and
// the reading that differs; and reads a sensor's lists once for a test.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cvsensors.h"

inline void ExpectReadings(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << what << " reading " << i + 1;
}

// One read of a list, then the newest sample of each of its readings.
inline std::vector<double> Sampled(TSensor& s, void (TSensor::*read)(), TReading (TSensor::*get)(int) const,
                                   int count) {
    (s.*read)();
    std::vector<double> out;
    for (int i = 1; i <= count; ++i) out.push_back((s.*get)(i).Stats->Last());
    return out;
}
inline std::vector<double> SampledTemps(TSensor& s) { return Sampled(s, &TSensor::ReadTemps, &TSensor::GetTemp, s.GetTempCount()); }
inline std::vector<double> SampledFans(TSensor& s) { return Sampled(s, &TSensor::ReadFans, &TSensor::GetFan, s.GetFanCount()); }
inline std::vector<double> SampledPwms(TSensor& s) { return Sampled(s, &TSensor::ReadPwms, &TSensor::GetPwm, s.GetPwmCount()); }
inline std::vector<double> SampledVolts(TSensor& s) { return Sampled(s, &TSensor::ReadVolts, &TSensor::GetVolt, s.GetVoltCount()); }
