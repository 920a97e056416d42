#pragma once
// Which Windows the program runs on, reduced to one kind code and
// this-version-or-later flags, and a description of the machine.

#include <cstdint>
#include <memory>
#include <string>

#include "base/cvdatetime.h"

class TNosOperatingSystem {
public:
    // Reads the version at once; never raises. A failed version query leaves
    // every field zero (kind 0).
    TNosOperatingSystem();

    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    std::uint32_t Build = 0;
    std::uint32_t PlatformId = 0;
    std::string CSDVersion;
    std::uint16_t ServicePackMajor = 0;
    std::uint16_t ServicePackMinor = 0;
    std::uint16_t SuiteMask = 0;
    std::uint8_t ProductType = 0;
    std::uint8_t Kind = 0;
    std::string PlatformName;
    bool IsWorkstation = false;
    bool IsDomainController = false;
    bool IsServer = false;
    std::string KindName;
    bool IsNT = false;
    bool IsXPOrLater = false;
    bool IsVistaOrLater = false;
    bool Is7OrLater = false;
    bool Is8OrLater = false;
    bool Is81OrLater = false;
    bool Is10OrLater = false;

private:
    void classify(bool serverR2);
    void classifyNT5(bool serverR2);
    void classifyNT6();
    void setKind(std::uint8_t kind, const char* name);
    void setFlags();
};

// The system the program runs on, made by the unit start-up.
extern std::unique_ptr<TNosOperatingSystem> OperatingSystem;
// Unit start-up: makes OperatingSystem and traces what it found.
void InitializeCvosinfo();

class TNosMachine {
public:
    // Fills every field.
    void Refresh();

    std::string ComputerName;
    TDateTime BootTime = 0;
    std::string UserName;
    long double UptimeSeconds = 0;
    std::string BiosExtendedInfo;
    std::string BiosVersion;
    std::string BiosName;
    std::string BiosDate;
    bool ScrollLock = false;
    bool NumLock = false;
    bool CapsLock = false;
    std::string ComputerDescription;

private:
    void readBiosFromRegistry(bool xpOrLater);
    void readBiosFromMemory();
    void readComputerDescription(bool isNT);
};

// The Windows folder, ";", the system folder, ";".
std::string GetWindowsPaths();
