#include "platform/sim/thermalmodel.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/sim/simclock.h"

namespace platform::sim {

void ThermalModel::addSource(const std::string& name, double ambient, double heating, double timeConstantS) {
    if (hasSource(name) || hasFan(name)) throw std::invalid_argument("a thermal part named \"" + name + "\" exists");
    advance();
    sources_[name] = {ambient, heating, std::max(timeConstantS, 0.001), 0};
    sources_[name].temperature = target(name);
}

void ThermalModel::addFan(const std::string& name, double maxRpm, double duty, std::map<std::string, double> cooling) {
    if (hasSource(name) || hasFan(name)) throw std::invalid_argument("a thermal part named \"" + name + "\" exists");
    advance();
    fans_[name] = {maxRpm, std::clamp(duty, 0.0, 1.0), std::move(cooling)};
    for (auto& [sourceName, source] : sources_) source.temperature = target(sourceName);
}

double ThermalModel::target(const std::string& source) const {
    const Source& s = sources_.at(source);
    double cooling = 0;
    for (const auto& [name, fan] : fans_) {
        if (const auto it = fan.cooling.find(source); it != fan.cooling.end()) cooling += it->second * fan.duty;
    }
    return s.ambient + s.heating / (1 + cooling);
}

void ThermalModel::advance() {
    const std::uint64_t now = clock_.monotonicMs();
    if (started_ && now > lastMs_) {
        const double seconds = static_cast<double>(now - lastMs_) / 1000.0;
        for (auto& [name, source] : sources_) {
            const double goal = target(name);
            source.temperature = goal + (source.temperature - goal) * std::exp(-seconds / source.timeConstantS);
        }
    }
    started_ = true;
    lastMs_ = now;
}

void ThermalModel::setDuty(const std::string& fan, double duty) {
    Fan& f = fans_.at(fan);
    advance();
    f.duty = std::isnan(duty) ? 0 : std::clamp(duty, 0.0, 1.0);
}

double ThermalModel::temperature(const std::string& source) {
    advance();
    return sources_.at(source).temperature;
}

double ThermalModel::fanRpm(const std::string& fan) const {
    const Fan& f = fans_.at(fan);
    return f.maxRpm * f.duty;
}

std::uint16_t encodeSignedByte(double celsius) {
    const auto whole = static_cast<int>(std::clamp(std::nearbyint(celsius), -128.0, 127.0));
    return static_cast<std::uint8_t>(whole);
}

std::uint16_t encodeHalfDegree(double celsius) {
    const double halves = std::clamp(std::floor(celsius * 2), -256.0, 255.0);
    const int whole = static_cast<int>(std::floor(halves / 2));
    const bool half = static_cast<int>(halves) - whole * 2 != 0;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(whole) << 8 | (half ? 0x80 : 0));
}

std::uint16_t encodeFanCount(double rpm, double clock, int divisor, std::uint16_t fullScale) {
    if (!(rpm > 0)) return fullScale;
    const double count = std::nearbyint(clock / (rpm * std::max(divisor, 1)));
    return static_cast<std::uint16_t>(std::clamp(count, 1.0, static_cast<double>(fullScale)));
}

std::uint16_t encodeRpm(double rpm) {
    return static_cast<std::uint16_t>(std::clamp(std::nearbyint(rpm), 0.0, 65535.0));
}

std::uint16_t encodeSixtyRpm(double rpm) {
    return static_cast<std::uint16_t>(std::clamp(std::nearbyint(rpm / 60), 0.0, 255.0));
}

}  // namespace platform::sim
