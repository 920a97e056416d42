#pragma once
// A few heat sources cooled by fans, on the simulated clock: each source
// settles toward ambient + heating / (1 + the sum of its fans' cooling x
// duty) with its own time constant, so a higher duty settles lower. Fan speed
// follows duty. Evaluated lazily whenever asked.

#include <cstdint>
#include <map>
#include <string>

namespace platform::sim {

class SimClock;

class ThermalModel {
public:
    explicit ThermalModel(SimClock& clock) : clock_(clock) {}

    // Starts settled at the initial duties. Names are unique; a repeated
    // name throws std::invalid_argument.
    void addSource(const std::string& name, double ambient, double heating, double timeConstantS);
    // `cooling`: how strongly it cools each named source at full duty.
    void addFan(const std::string& name, double maxRpm, double duty, std::map<std::string, double> cooling);
    bool hasSource(const std::string& name) const { return sources_.count(name) != 0; }
    bool hasFan(const std::string& name) const { return fans_.count(name) != 0; }

    // Duty as a fraction, limited to 0..1. Unknown names throw std::out_of_range.
    void setDuty(const std::string& fan, double duty);
    double duty(const std::string& fan) const { return fans_.at(fan).duty; }
    double temperature(const std::string& source);
    double fanRpm(const std::string& fan) const;

private:
    struct Source {
        double ambient;
        double heating;
        double timeConstantS;
        double temperature;
    };
    struct Fan {
        double maxRpm;
        double duty;
        std::map<std::string, double> cooling;
    };

    double target(const std::string& source) const;
    void advance();

    SimClock& clock_;
    std::map<std::string, Source> sources_;
    std::map<std::string, Fan> fans_;
    std::uint64_t lastMs_ = 0;
    bool started_ = false;
};

// Register encodings of the model's values.
// A temperature as a signed byte, rounded to whole degrees and limited to -128..127.
std::uint16_t encodeSignedByte(double celsius);
// A temperature as the half-degree pair: signed integer byte high, 80h below
// for the half; the integer part is floored so the half is always added.
std::uint16_t encodeHalfDegree(double celsius);
// A fan speed as the count clock / (rpm x divisor), limited to fullScale
// (a stopped fan reads fullScale).
std::uint16_t encodeFanCount(double rpm, double clock, int divisor, std::uint16_t fullScale);
// A fan speed in RPM, limited to 16 bits.
std::uint16_t encodeRpm(double rpm);
// A fan speed as one count per 60 RPM, limited to a byte.
std::uint16_t encodeSixtyRpm(double rpm);

}  // namespace platform::sim
