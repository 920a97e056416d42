#pragma once
// The options file "caldavorparams.cfg": every general option as one
// "key=value" line. Read twice at start-up (pass 0 while the window is
// built, pass 1 at the end of the deferred start-up) and rewritten whole.

#include <cstdint>
#include <optional>
#include <string>

#include "core/cvconfigvalue.h"
#include "core/cvservices.h"
#include "core/cvswitches.h"

extern const char* const OptionsFileName;  // "caldavorparams.cfg"

// The options the main window holds (the log options, the proxy and the mail
// profiles are globals of their own).
struct TOptions {
    int TrayFontSize = 0;
    bool NoMoreTip0001 = false;
    bool NoMoreTip0002 = false;
    bool NoMoreTip0003 = false;
    bool NoMoreTip0004 = false;
    bool NoMoreTip0005 = false;
    bool FullOnExit = false;
    bool MinimizeOnClose = false;
    int FanDelta = 10;
    bool UseCelsius = true;
    bool DebugMode = true;
    bool DellFans = false;
    bool UseISA = true;
    bool UseSMB = true;
    bool StartupHide = false;
    bool ShowStaticIcon = false;
    std::string LastDetect;
    std::uint32_t CLIconBack = 0x1FFFFFFF;  // no colour: transparent
    std::uint32_t CLIconText = 0xFF0000;
    std::string Language = "English";
    bool AutoFanSpeed = true;
    bool AdvFanSpeed = false;
    // The xAP values last read from the file, written back while no xAP
    // sender exists yet so an early save does not lose them.
    std::optional<TXapSettings> StoredXap;

    bool operator==(const TOptions&) const = default;
};

// Everything the options file reads and writes besides the globals; the
// pointers are null until their subsystem exists.
struct TOptionsContext {
    TOptions& Options;
    TScanFlags& ScanFlags;
    TClockControls* Clock = nullptr;
    TXapSender* Xap = nullptr;
    TLanguageDispatcher* Language = nullptr;
    TDialogs* Dialogs = nullptr;
};

// False when the file cannot be opened; everything then keeps its value.
bool LoadParams(const std::string& fileName, bool secondPass, const TOptionsContext& context);

// Writes the whole file through a temporary file and a rename, owner-only.
// WithClock takes the clock lines from the clock page, else keeps the file's.
// On failure warns "Unable to save to <path>", leaves the old file and
// answers False.
bool SaveParams(const std::string& fileName, bool withClock, const TOptionsContext& context);
