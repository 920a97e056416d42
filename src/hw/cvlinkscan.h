#pragma once
// Registration of the buses on which chips are found: the ISA bus, the PCI
// bus, every SMBus host controller that a scan of PCI configuration space
// finds in the chipset, and the I2C buses of NVIDIA graphics cards. The main
// window fills one scan context with what the scan needs of it; the deferred
// start-up calls DetectLinks.

#include <cstdint>
#include <functional>
#include <string>

class TNvidiaCardServices;

// The chipset display of the main window; the last handler that runs wins.
struct TChipsetDisplay {
    std::string EDChipSet;
    std::string EDSMBBase;
    std::string EDSMBRev;
    bool CBSMBIOEnabledVisible = false;
    bool CBSMBIOEnabledChecked = false;
};

// A sensor the discovery registers itself, with the fields it gives the new
// sensor when the newest one has the chip code asked for (-1: none given).
struct TDiscoveredSensor {
    int LinkIndex = 0;
    int Address = 0;
    std::uint8_t ChipCode = 0;
    int Address2 = -1;
    int Aux2 = -1;
};

struct TLinkScanContext {
    // Log sinks: info to both boxes, the debug box (or both), the trace is
    // the global debug trace.
    std::function<void(const std::string& msg)> LogMessage;
    std::function<void(const std::string& msg, bool toBoth)> LogMessageEx;
    bool DebugMode = false;
    bool NoPCIScan = false;
    bool NVidiaI2C = false;
    bool NVidiaTemp = false;
    bool StartupHide = false;
    bool NoMoreTip0004 = false;
    bool IsWin9x = false;
    // The SMBIOS identity (empty when unknown).
    std::string BoardMaker;
    std::string BoardProduct;
    std::string SystemProduct;
    // Shows the hint dialog; answers whether "never again" was ticked.
    std::function<bool(const std::string& title, const std::string& text)> ShowHintDialog;
    // Sets "NoMoreTip0004=" and saves the options file.
    std::function<void()> NeverShowNVidiaHint;
    // The sensor factory; empty while it is not built.
    std::function<void(const TDiscoveredSensor& sensor)> AddSensor;
    // The GPU sources' card services; none: no NVIDIA device is linked.
    TNvidiaCardServices* NVidiaCards = nullptr;
    // Written by the handlers.
    TChipsetDisplay* Display = nullptr;
    // The main window's current chipset code (SetSMBusHostChipset).
    std::uint8_t* SMBusChipset = nullptr;
};

void DetectLinks(TLinkScanContext& ctx);
void SCANPCI(TLinkScanContext& ctx);
void LinkNVidiaGraphicsI2C(TLinkScanContext& ctx);

// Whether a SiS host bridge of the known list is present; logs each one.
bool FindSiSHostBridge(const std::function<void(const std::string& msg, bool toBoth)>& logMessageEx);
