#pragma once
// The one place where a detected chip becomes a sensor: the chip-code table
// (code -> class), the user's link-kind switches, the start-up of chips that
// power up idle, and the ISA/SMBus twin rules that keep one chip from being
// read twice.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/cvsensors.h"

class TMonitor;

// Makes one sensor with the common constructor arguments; may raise.
using TSensorCreator = std::function<std::unique_ptr<TSensor>(
    TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog, const std::string& boardVendor,
    const std::string& boardProduct, const std::string& systemProduct)>;

// The class name the table gives a chip code ("TSensor" for the plain codes).
std::string_view ChipClassName(std::uint8_t chipCode);
// The creator of a class, when that class is built.
const TSensorCreator* FindChipCreator(std::string_view className);
// Codes that the non-bus discovery steps place on link 0: "UseISA=" never
// drops them.
bool IsLinkZeroSource(std::uint8_t chipCode);

class TSensorFactory {
public:
    explicit TSensorFactory(TMonitor& monitor) : monitor_(monitor) {}

    // Replaces or adds the creator of one class (for classes built elsewhere,
    // and for tests).
    void SetCreator(std::string_view className, TSensorCreator creator);

    // Adds the sensor of ChipCode at Address on link LinkIndex, or nothing
    // (refused, mirrored, duplicated, class not built yet, bad link index).
    // The address is registered on the link in every case but the last. A
    // step that raises (pre-start, constructor, duplicate test) leaves the
    // lists as they were and passes on.
    void AddSensor(int linkIndex, std::uint32_t address, std::uint8_t chipCode);
    // AddSensor, answering the sensor it appended when that has ChipCode, else
    // nullptr: a step that fills extra fields then never fills an older sensor.
    TSensor* AddSensorOfCode(int linkIndex, std::uint32_t address, std::uint8_t chipCode);
    // A named placeholder (code 2) for an address that answers but carries no
    // supported chip.
    void AddUnusedChip(int linkIndex, std::uint32_t address, const std::string& name, bool needsSupport);

private:
    const TSensorCreator* CreatorOf(std::uint8_t chipCode) const;
    bool FindISAMirrorName(const TLink& link, std::uint8_t chipCode, std::uint32_t address, std::string& name);
    bool PassesLinkFilter(const TLink& link, std::uint8_t chipCode);
    void PreStart(TLink& link, std::uint32_t address, std::uint8_t chipCode);
    bool RemoveDuplicateSensors();
    void LogFound(TSensor& sensor);

    TMonitor& monitor_;
    std::map<std::string, TSensorCreator, std::less<>> overrides_;
};

// True when no ISA link (kind 2) of the global list has Base as its base.
bool IsISABaseFree(int base);
