#pragma once
// The 3ware controllers and drives, listed once through the maker's library
// when the object is made; the disk sensors read their pages through the
// global AMCCRaid.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "disks/cvlibrarycopy.h"
#include "disks/threewareapi.h"

struct TAMCCControllerData {
    TThreewareId Id{};
    TThreewareControllerInfo Info{};
    bool Valid = false;
};

struct TAMCCDriveData {
    std::int32_t ControllerIndex = 0;
    TThreewareId Id{};
    TThreewareDriveInfo Info{};
    bool Valid = false;
};

using TAMCCControllerDataList = std::vector<TAMCCControllerData>;
using TAMCCDriveDataList = std::vector<TAMCCDriveData>;

class TAMCCRaid {
public:
    TAMCCRaid();
    virtual ~TAMCCRaid() = default;

    // Zero the page; false for an index outside the list or an invalid drive.
    bool ReadSmartAttributes(int index, std::span<std::uint8_t, 512> page) const;
    bool ReadSmartThresholds(int index, std::span<std::uint8_t, 512> page) const;

    TAMCCControllerDataList Controllers;
    TAMCCDriveDataList Drives;

private:
    void LoadThreewareControllers();
    void LoadThreewareDrives();
    const TAMCCDriveData* validDrive(int index) const;
};

// Made by the discovery step, used by the sensors, never freed.
extern std::unique_ptr<TAMCCRaid> AMCCRaid;
// The library's copy in the temporary folder.
extern TLibraryCopy ThreewareCopy;

// The controller's lines in their order: the optional ones only when valid.
std::vector<std::string> ThreewareControllerLines(int index, const TAMCCControllerData& controller);
// Capacity in GB of 512-byte sectors on a base of 1024² or 1000².
double ThreewareSizeGB(std::uint64_t sectors, double base);
