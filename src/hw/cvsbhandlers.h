#pragma once
// South-bridge handlers of the PCI scan: one per chipset family, each turns
// the function the scan found into an SMBus link, names the chipset, fills
// the chipset display and switches a present but disabled controller on.

#include <cstdint>
#include <string>
#include <vector>

#include "hw/cvlinkscan.h"

class TLink;

// The function being handled and what the handler builds from it.
class TSBScan {
public:
    explicit TSBScan(TLinkScanContext& ctx) : ctx_(ctx) {}

    int Bus = 0, Device = 0, Function = 0;
    std::uint32_t Id = 0;
    // The function was handled already, before the scan started again.
    bool SecondPass = false;

    // ---- configuration space of the current function
    std::uint8_t Byte(int reg) const;
    std::uint16_t Word(int reg) const;
    std::uint32_t DWord(int reg) const;
    // Configuration writes, skipped with one trace line when a kernel driver
    // holds the function.
    void WriteByte(int reg, std::uint8_t value) const { WriteByteAt(Bus, Device, Function, reg, value); }
    void WriteWord(int reg, std::uint16_t value) const { WriteWordAt(Bus, Device, Function, reg, value); }
    void WriteByteAt(int bus, int device, int function, int reg, std::uint8_t value) const;
    void WriteWordAt(int bus, int device, int function, int reg, std::uint16_t value) const;
    void WriteDWordAt(int bus, int device, int function, int reg, std::uint32_t value) const;
    bool KernelHolds(int bus, int device, int function) const;
    // An unhide write is made only when the function can then be reached:
    // without a route, one line says why and the chipset is left as it was.
    bool MayUnhide() const;
    // After an unhide write: makes the function reachable, naming the route.
    void Unhidden() const;

    // ---- log sinks
    void Log(const std::string& msg) const;      // debug box
    void Info(const std::string& msg) const;     // both boxes
    void Verbose(const std::string& msg) const;  // both boxes with "DebugMode="
    void Trace(const std::string& msg) const;

    // ---- the link being built
    void SetSMBusHostChipset(const std::string& name, std::uint8_t code);
    const std::string& Name() const { return name_; }
    std::uint8_t ChipsetCode() const { return ctx_.SMBusChipset ? *ctx_.SMBusChipset : code_; }
    // Registers the link at the current function (or at the location given);
    // base 0 is logged as disabled, and a controller already linked (the
    // second pass) gets no second link. Answers whether a link was added.
    bool AddSMBusLink(std::uint8_t hostKind, std::uint32_t base, std::uint8_t flag);
    bool AddSMBusLinkAt(std::uint8_t hostKind, std::uint32_t base, std::uint8_t flag, int bus, int device,
                        int function);
    // Frees the newest link (the one just added).
    void RemoveNewestLink() const;

    // ---- chipset display
    void ShowName(const std::string& name) const;
    void ShowBase(std::uint32_t base) const;
    void ShowRev(const std::string& text) const;
    void ShowEnabled(bool checked, bool visible = true) const;

    // ---- smbus host status, under the SMBus lock
    void LogHostControl(std::uint32_t base) const;

    TLinkScanContext& Context() const { return ctx_; }

private:
    TLinkScanContext& ctx_;
    std::string name_;
    std::uint8_t code_ = 0;
};

using TSBHandler = void (*)(TSBScan& scan, int argument, const char* text);

// One row of the dispatch table: a vendor and device id, its handler and the
// argument the handler takes (a chipset code, a family, a model text).
struct TSBDispatchRow {
    std::uint16_t Vendor;
    std::uint16_t Device;
    TSBHandler Handler;
    int Argument;
    const char* Text;
};
const std::vector<TSBDispatchRow>& SBDispatchTable();

// Index of the PCI link in the global list, -1 when there is none.
int PciLinkIndex();

// ---- handlers of the Intel, VIA, AMD, nVidia and ATI south bridges
void HANDLEPIIX4(TSBScan& scan, int, const char*);
void HandleIntelICH(TSBScan& scan, int code, const char*);
void UnhideICHSMBus(TSBScan& scan, int, const char*);
void UnhideICHSMBusRCBA(TSBScan& scan, int, const char*);
void HandleIntelThermal(TSBScan& scan, int, const char*);
void HandleVIA686(TSBScan& scan, int, const char*);
void HandleVIA823x(TSBScan& scan, int, const char* model);
void HandleVIA596(TSBScan& scan, int, const char* suffix);
void HandleVIA586B(TSBScan& scan, int, const char*);
void HandleAMD756(TSBScan& scan, int code, const char* name);
void HandleAMD766(TSBScan& scan, int, const char*);
void HandleAMD768(TSBScan& scan, int, const char*);
void HandleAMDCS5536(TSBScan& scan, int, const char*);
void HandleNForce(TSBScan& scan, int family, const char*);
void HandleNForce1(TSBScan& scan, int, const char*);
void HandleATISMBus(TSBScan& scan, int, const char* model);
std::uint16_t ReadSB8x0SMBusBase(const TSBScan& scan);
std::string YesNoText(bool value);
// Two lower-case hex digits, as the handlers' trace lines show bytes.
std::string Hex2(std::uint32_t v);

// ---- ALi and SiS
void HandleALiM1563(TSBScan& scan, int, const char*);
void HandleALiM1573(TSBScan& scan, int code, const char*);
void HandleALiM7101(TSBScan& scan, int, const char*);
void HandleSiSBridge(TSBScan& scan, int, const char*);
void HandleSiS96x(TSBScan& scan, int model, const char*);
std::uint8_t GetSiSChipsetCode();
std::string SiSChipsetName(int code);
