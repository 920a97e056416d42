#pragma once
// Every code of each register-chip class, and a sensor of it whose driver
// slots a test can call directly: the raw values of one tick, before the
// spike filter and the user's corrections.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chips/cvadm1021sensor.h"
#include "chips/cvalisensor.h"
#include "chips/cvfintek.h"
#include "chips/cvfujitsusensor.h"
#include "chips/cvglsensor.h"
#include "chips/cvgmtsensor.h"
#include "chips/cvite.h"
#include "chips/cvjedecjc424sensor.h"
#include "chips/cvlm75sensor.h"
#include "chips/cvnational.h"
#include "chips/cvsmscsensor.h"
#include "chips/cvvia686sensor.h"
#include "chips/cvwinbond.h"

enum class TReadingList { Temps, Fans, Pwms, Volts };
inline constexpr TReadingList AllReadingLists[] = {TReadingList::Temps, TReadingList::Fans, TReadingList::Pwms,
                                                   TReadingList::Volts};

inline const char* ListName(TReadingList list) {
    switch (list) {
        case TReadingList::Temps: return "temperature";
        case TReadingList::Fans: return "fan";
        case TReadingList::Pwms: return "output";
        case TReadingList::Volts: return "voltage";
    }
    return "";
}

class TOpenChip {
public:
    virtual ~TOpenChip() = default;
    virtual TSensor& Sensor() = 0;
    // One tick of a list as the driver fills it; a throw keeps what was filled.
    virtual std::vector<double> Raw(TReadingList list) = 0;
};

template <class T>
class TOpened final : public T, public TOpenChip {
public:
    using T::T;
    TSensor& Sensor() override { return *this; }
    std::vector<double> Raw(TReadingList list) override {
        TSensor& s = *this;
        switch (list) {
            case TReadingList::Temps: return Fill(static_cast<std::size_t>(s.GetTempCount()), &TOpened::ReadTempsInternal);
            case TReadingList::Fans: return Fill(static_cast<std::size_t>(s.GetFanCount()), &TOpened::ReadFansInternal);
            case TReadingList::Pwms: return Fill(static_cast<std::size_t>(s.GetPwmCount()), &TOpened::ReadPwmsInternal);
            case TReadingList::Volts: return Fill(static_cast<std::size_t>(s.GetVoltCount()), &TOpened::ReadVoltsInternal);
        }
        return {};
    }

private:
    std::vector<double> Fill(std::size_t count, void (TOpened::*slot)(std::span<double>)) {
        std::vector<double> values(count, 0.0);
        try {
            (this->*slot)(values);
        } catch (...) {
        }
        return values;
    }
};

using TOpenChipMaker =
    std::function<std::unique_ptr<TOpenChip>(TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog)>;

// Where an ISA test places a block of registers laid out on ports (the SMSC
// runtime registers), and the address such a chip is given there.
inline constexpr std::uint16_t RuntimeBlockBase = 0x800;
inline constexpr int RuntimeBlockSize = 0x80;

struct TChipClass {
    std::string name;
    std::vector<std::uint8_t> codes;
    TOpenChipMaker make;
    std::optional<std::uint32_t> isaAddress;  // none: the link's base
};

template <class T>
TOpenChipMaker OpenChipMaker() {
    return [](TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog) -> std::unique_ptr<TOpenChip> {
        return CreateSensor<TOpened<T>>(link, address, code, std::move(onLog), "", "", "");
    };
}

inline std::vector<std::uint8_t> CodeRanges(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<std::uint8_t> codes;
    for (auto [first, last] : ranges)
        for (int code = first; code <= last; ++code) codes.push_back(static_cast<std::uint8_t>(code));
    return codes;
}

// The classes whose registers a link's byte and word operations reach.
inline const std::vector<TChipClass>& RegisterChipClasses() {
    static const std::vector<TChipClass> classes = {
        {"Winbond", CodeRanges({{25, 44}, {48, 52}, {229, 231}, {234, 234}}), OpenChipMaker<TWinbondSensor>(), std::nullopt},
        {"ADM1021",
         CodeRanges({{23, 24}, {59, 64}, {67, 67}, {71, 71}, {94, 103}, {105, 113}, {116, 116}, {121, 121}, {127, 131},
                     {133, 138}, {140, 140}}),
         OpenChipMaker<TADM1021Sensor>(), std::nullopt},
        {"Fintek",
         CodeRanges({{45, 45}, {183, 183}, {185, 189}, {192, 195}, {197, 197}, {223, 223}, {227, 228}, {233, 233},
                     {235, 235}}),
         OpenChipMaker<TFintekSensor>(), std::nullopt},
        {"LM75", CodeRanges({{47, 47}, {53, 58}, {65, 65}, {68, 70}, {114, 115}, {139, 139}, {141, 141}, {190, 191}}),
         OpenChipMaker<TLM75Sensor>(), std::nullopt},
        {"VIA686", CodeRanges({{72, 74}}), OpenChipMaker<TVIA686Sensor>(), std::nullopt},
        {"ITE", CodeRanges({{77, 79}, {81, 83}, {85, 87}, {89, 91}}), OpenChipMaker<TITSensor>(), std::nullopt},
        {"GL", CodeRanges({{92, 93}}), OpenChipMaker<TGLSensor>(), std::nullopt},
        {"JC42", CodeRanges({{104, 104}, {132, 132}, {206, 216}}), OpenChipMaker<TJedecJC424Sensor>(), std::nullopt},
        {"ALi", CodeRanges({{117, 117}}), OpenChipMaker<TAliSensor>(), std::nullopt},
        {"SMSC", CodeRanges({{119, 120}, {122, 126}, {150, 163}, {165, 173}, {177, 177}, {220, 221}}),
         OpenChipMaker<TSMSCSensor>(), RuntimeBlockBase},
        {"National", CodeRanges({{143, 147}}), OpenChipMaker<TNSSensor>(), std::nullopt},
        {"Fujitsu", CodeRanges({{178, 179}, {226, 226}}), OpenChipMaker<TFujitsuSensor>(), std::nullopt},
        {"GMT", CodeRanges({{181, 182}}), OpenChipMaker<TGMTSensor>(), std::nullopt},
    };
    return classes;
}
