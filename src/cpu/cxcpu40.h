#pragma once
// The processor identification library: for any processor of the machine,
// its vendor, signature, name, features, caches, measured clock, usage,
// errata and serial number. Every fact is read again from CPUID (on the
// processor asked for) when its object is made or its operation runs;
// nothing is cached. The objects are plain values.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class TCpuBoolean {
public:
    explicit TCpuBoolean(bool value) : value_(value) {}
    bool Value() const { return value_; }
    std::string AsYesNo() const;
    std::string AsTrueFalse() const;
    std::string AsOnOff() const;

private:
    bool value_;
};

class TCpuWord {
public:
    explicit TCpuWord(std::uint16_t value) : value_(value) {}
    std::uint8_t HiByte() const { return static_cast<std::uint8_t>(value_ >> 8); }
    std::uint8_t LoByte() const { return static_cast<std::uint8_t>(value_); }
    std::uint16_t Value() const { return value_; }

private:
    std::uint16_t value_;
};

class TCpuNumber {
public:
    explicit TCpuNumber(std::uint32_t value) : value_(value) {}
    std::uint32_t Value() const { return value_; }
    std::string AsString() const;
    TCpuWord HiWord() const { return TCpuWord(static_cast<std::uint16_t>(value_ >> 16)); }
    TCpuWord LoWord() const { return TCpuWord(static_cast<std::uint16_t>(value_)); }
    std::uint8_t BitCount() const;
    TCpuBoolean Bits(unsigned Index) const { return TCpuBoolean((value_ >> (Index % 32) & 1) != 0); }
    // "%d bytes", "%1.1n Kb", "%1.1n Mb", "%1.1n Gb"; numbers in the invariant format.
    std::string AsSize() const;
    std::string AsHex() const;
    // "%d Mhz" below 1000, else "%1.1n Ghz".
    std::string AsMhz() const;
    // The four bytes as characters, lowest first.
    std::string AsChars() const;
    std::string AsVersion() const;

private:
    std::uint32_t value_;
};

// CPUID of one leaf on one processor, executed Repeats times when the leaf is
// supported; the registers are zero when it is not, when Repeats is 0 and
// when the machine has no such processor.
class TCpuid {
public:
    TCpuid(std::uint8_t Cpu, std::uint32_t Repeats, std::uint32_t Leaf);
    std::uint8_t Cpu() const { return cpu_; }
    std::uint32_t Leaf() const { return leaf_; }
    std::uint32_t Repeats() const { return repeats_; }
    // The four registers as 16 characters: EAX, EBX, ECX, EDX.
    std::string AsString() const;
    // Asked again on every call: the leaf is not above the highest leaf of
    // its range (80000000h-80000008h, 80860000h-80860007h, or the standard one).
    TCpuBoolean Supported() const;
    TCpuNumber Eax() const { return TCpuNumber(eax_); }
    TCpuNumber Ebx() const { return TCpuNumber(ebx_); }
    TCpuNumber Ecx() const { return TCpuNumber(ecx_); }
    TCpuNumber Edx() const { return TCpuNumber(edx_); }

private:
    std::uint8_t cpu_;
    std::uint32_t leaf_;
    std::uint32_t repeats_;
    std::uint32_t eax_ = 0, ebx_ = 0, ecx_ = 0, edx_ = 0;
};

// One CPUID range: 0 standard, 1 extended, 2 Transmeta.
class TCpuidInformation {
public:
    TCpuidInformation(std::uint8_t Cpu, std::uint8_t Range);
    TCpuBoolean Available() const;
    TCpuNumber MaxLeaf() const;

private:
    std::uint8_t cpu_;
    std::uint32_t base_;
};

class TProcessorCpuid {
public:
    explicit TProcessorCpuid(std::uint8_t Cpu) : cpu_(Cpu) {}
    TCpuidInformation Standard() const { return TCpuidInformation(cpu_, 0); }
    TCpuidInformation Extended() const { return TCpuidInformation(cpu_, 1); }
    TCpuidInformation Transmeta() const { return TCpuidInformation(cpu_, 2); }

private:
    std::uint8_t cpu_;
};

// Vendor kinds, the rows of the vendor table.
enum : std::uint8_t {
    VendorUnknown = 1, VendorIntel, VendorAmd, VendorCyrix, VendorCentaur, VendorNexGen, VendorUmc, VendorRise,
    VendorTransmeta
};

class TProcessorVendor {
public:
    explicit TProcessorVendor(std::uint8_t Cpu);
    std::string Signature() const;
    std::string Name() const;
    std::uint8_t FeatureStyle() const;
    std::uint8_t CacheStyle() const;
    std::uint8_t Kind() const { return kind_; }
    std::string ShortName() const;

private:
    std::uint8_t kind_;
};

class TCpuSignatureInformation {
public:
    TCpuSignatureInformation(std::uint32_t Value, bool Extended) : value_(Value), extended_(Extended) {}
    TCpuNumber Value() const { return TCpuNumber(value_); }
    TCpuBoolean Extended() const { return TCpuBoolean(extended_); }

private:
    std::uint32_t value_;
    bool extended_;
};

class TProcessorSignature {
public:
    explicit TProcessorSignature(std::uint8_t Cpu);
    TCpuSignatureInformation CpuType() const;
    TCpuSignatureInformation Family() const;
    // Family 6 or 15: extended model x 16 + model.
    TCpuSignatureInformation Model() const;
    TCpuSignatureInformation Stepping() const;
    TCpuSignatureInformation Brand() const;
    // "x86 Family %d Model %d Stepping %d"
    std::string AsText() const;
    TCpuNumber Signature() const { return TCpuNumber(leaf1_.Eax().Value()); }

private:
    std::uint8_t cpu_;
    TCpuid leaf1_;
};

class TProcessorCount {
public:
    TCpuNumber Count() const;
    // Per processor, the logical processors of its package when it has
    // Hyper-Threading, else 1; summed.
    TCpuNumber LogicalCount() const;
};

// ---- features ---------------------------------------------------------------

// A feature of a set, or TUnknownFeature: bit 255, "RES", never available.
class TCpuFeature {
public:
    TCpuFeature(std::uint8_t Cpu, std::uint8_t Row, std::uint8_t Set) : cpu_(Cpu), row_(Row), set_(Set) {}
    std::uint8_t Bit() const;
    std::string Mnemonic() const;
    std::string Description() const;
    TCpuBoolean Available() const;

protected:
    TCpuFeature() = default;

private:
    std::uint8_t cpu_ = 0;
    std::optional<std::uint8_t> row_;
    std::uint8_t set_ = 0;
};

class TUnknownFeature : public TCpuFeature {
public:
    TUnknownFeature() = default;
};

// The 32 bit slots of a feature set for the processor's vendor.
class TFeatureSetDefinition {
public:
    static constexpr std::uint8_t Empty = 255;
    TFeatureSetDefinition(std::uint8_t Cpu, std::uint8_t Set);
    // The bit of a mnemonic (any case), 255 when none.
    std::uint8_t FindBit(const std::string& Name) const;
    TCpuNumber Count() const { return TCpuNumber(count_); }
    std::uint8_t RowOfBit(std::uint8_t Bit) const { return Bit < 32 ? slots_[Bit] : Empty; }

private:
    std::uint8_t cpu_;
    std::uint8_t featureStyle_;
    std::array<std::uint8_t, 32> slots_{};
    std::uint32_t count_ = 0;
};

class TCpuFeatureSet {
public:
    TCpuFeatureSet(std::uint8_t Cpu, std::uint8_t Set) : cpu_(Cpu), set_(Set), definition_(Cpu, Set) {}
    TCpuBoolean Available() const;
    TCpuNumber Count() const;
    TCpuFeature FeatureByBit(std::uint8_t Bit) const;
    TCpuFeature FeatureByName(const std::string& Name) const;

private:
    std::uint8_t cpu_;
    std::uint8_t set_;
    TFeatureSetDefinition definition_;
};

class TProcessorFeatures {
public:
    explicit TProcessorFeatures(std::uint8_t Cpu) : cpu_(Cpu) {}
    TCpuFeatureSet Standard() const { return TCpuFeatureSet(cpu_, 1); }
    TCpuFeatureSet IntelExtended() const { return TCpuFeatureSet(cpu_, 2); }
    TCpuFeatureSet AmdExtended() const { return TCpuFeatureSet(cpu_, 3); }
    TCpuFeatureSet PowerManagement() const { return TCpuFeatureSet(cpu_, 4); }
    // In the lowest set of the first table row of that mnemonic.
    TCpuFeature FeatureByName(const std::string& Name) const;

private:
    std::uint8_t cpu_;
};

// ---- names ------------------------------------------------------------------

// The brand string of the processor (Transmeta's own leaves for Transmeta).
class TProcessorNameDetect {
public:
    explicit TProcessorNameDetect(std::uint8_t Cpu) : cpu_(Cpu) {}
    std::string Name() const;

private:
    std::uint8_t cpu_;
};

class TProcessorName {
public:
    explicit TProcessorName(std::uint8_t Cpu);
    // The looked-up name when the processor has no brand string, else the
    // brand string trimmed of blanks and control characters.
    std::string Name() const;
    TCpuBoolean LookedUp() const { return TCpuBoolean(lookedUp_); }

private:
    std::uint8_t cpu_;
    bool lookedUp_;
};

// The name by vendor, family, model, brand value and level-2 size; the
// vendor's short name and the signature text when none is known.
std::string LookUpProcessorName(std::uint8_t Cpu);

// ---- caches -----------------------------------------------------------------

// Kinds: 0 level-1 code, 1 level-1 data, 2 level-1 unified, 3 level 2,
// 4 level 3, 5 trace cache.
class TCpuCacheAssociativity {
public:
    // Ways: the cache's way count, shown when no index stands for it.
    explicit TCpuCacheAssociativity(std::uint8_t Index, std::uint32_t Ways = 0) : index_(Index), ways_(Ways) {}
    std::uint8_t Index() const { return index_; }
    TCpuNumber WaysCode() const;
    std::string AsText() const;

private:
    std::uint8_t index_;
    std::uint32_t ways_;
};

// The 16 descriptor bytes of leaf 2 (Intel), else of 80000005h/80000006h.
class TCpuCacheDescriptors {
public:
    TCpuCacheDescriptors(std::uint8_t Cpu, std::uint8_t Kind);
    // Index 1 to 16; 0 outside.
    std::uint32_t Descriptor(unsigned Index) const;
    TCpuBoolean Contains(std::uint8_t Descriptor) const;

private:
    std::array<std::uint32_t, 16> descriptors_{};
};

// A cache read from leaf-2 descriptors or, for vendors of cache style 1,
// from leaves 80000005h/80000006h.
class TCpuCache {
public:
    TCpuCache(std::uint8_t Cpu, std::uint8_t Kind, bool UseExtended);
    TCpuCacheAssociativity Associativity() const;
    TCpuBoolean Present() const { return TCpuBoolean(Size().Value() != 0); }
    TCpuNumber LineSize() const;
    TCpuNumber Size() const;

private:
    struct Facts {
        std::uint32_t size = 0, lineSize = 0;
        std::uint8_t associativity = 0;
        std::uint32_t ways = 0;
    };
    Facts Read() const;
    Facts ByDescriptor() const;
    Facts ByExtendedCpuid() const;

    std::uint8_t cpu_;
    std::uint8_t kind_;
    std::optional<TCpuCacheDescriptors> descriptors_;
    std::optional<TCpuid> leaf_;
};

class TCpuSegmentedCache {
public:
    TCpuSegmentedCache(std::uint8_t Cpu, bool UseExtended) : cpu_(Cpu), useExtended_(UseExtended) {}
    TCpuCache Code() const { return TCpuCache(cpu_, 0, useExtended_); }
    TCpuCache Data() const { return TCpuCache(cpu_, 1, useExtended_); }
    TCpuCache Unified() const { return TCpuCache(cpu_, 2, useExtended_); }

private:
    std::uint8_t cpu_;
    bool useExtended_;
};

class TProcessorCache {
public:
    explicit TProcessorCache(std::uint8_t Cpu);
    TCpuSegmentedCache Level1() const { return TCpuSegmentedCache(cpu_, useExtended_); }
    TCpuCache Level2() const { return TCpuCache(cpu_, 3, useExtended_); }
    TCpuCache Level3() const { return TCpuCache(cpu_, 4, useExtended_); }
    TCpuCache Trace() const { return TCpuCache(cpu_, 5, useExtended_); }

private:
    std::uint8_t cpu_;
    bool useExtended_;
};

// ---- clock, usage, errata, serial ---------------------------------------------

// The nearest clock whose MHz modulo 100 is a nominal remainder (a tie goes up).
std::uint32_t NormaliseMhz(std::uint32_t Mhz);

// The clock measured once, on the calling thread, when made: the time-stamp
// counter against the performance counter over 200 ms (and at least 5 ticks).
// RawMhz is 0 when the machine has no performance counter.
class TProcessorSpeedInformation {
public:
    explicit TProcessorSpeedInformation(std::uint8_t Cpu);
    TCpuNumber RawMhz() const { return TCpuNumber(rawMhz_); }
    TCpuNumber NormalMhz() const { return TCpuNumber(normalMhz_); }
    // The AMD model rating of the normalised clock for a 256-KB or 512-KB
    // level-2 cache; empty otherwise.
    std::string ModelRating() const;

private:
    std::uint8_t cpu_;
    std::uint32_t rawMhz_ = 0;
    std::uint32_t normalMhz_ = 0;
};

class TProcessorUsage {
public:
    explicit TProcessorUsage(std::uint8_t Cpu) : cpu_(Cpu) {}
    // Samples, then the usage since the sample before, in whole percent.
    TCpuNumber Percent() const;

private:
    std::uint8_t cpu_;
};

class TProcessorErrata {
public:
    explicit TProcessorErrata(std::uint8_t Cpu) : cpu_(Cpu) {}
    TCpuBoolean FdivBug() const;
    TCpuBoolean AmdModel3Stepping0() const;

private:
    std::uint8_t cpu_;
};

class TProcessorSerial {
public:
    explicit TProcessorSerial(std::uint8_t Cpu) : cpu_(Cpu), first_(Cpu, 1, 3), second_(Cpu, 1, 3) {}
    TCpuBoolean Available() const;
    // "XXXX-XXXX" groups: Transmeta one of EBX, else EAX, EDX and ECX.
    std::string AsText() const;
    std::string AsHex() const;

private:
    bool IsTransmeta() const { return TProcessorVendor(cpu_).Kind() == VendorTransmeta; }
    std::uint8_t cpu_;
    TCpuid first_, second_;
};

// ---- entry ------------------------------------------------------------------

class TProcessorInformation {
public:
    explicit TProcessorInformation(std::uint8_t Cpu) : cpu_(Cpu) {}
    TProcessorCache Cache() const { return TProcessorCache(cpu_); }
    TProcessorCpuid Cpuid() const { return TProcessorCpuid(cpu_); }
    TProcessorErrata Errata() const { return TProcessorErrata(cpu_); }
    TProcessorFeatures Features() const { return TProcessorFeatures(cpu_); }
    TProcessorName Name() const { return TProcessorName(cpu_); }
    TProcessorSerial Serial() const { return TProcessorSerial(cpu_); }
    TProcessorSignature Signature() const { return TProcessorSignature(cpu_); }
    TProcessorSpeedInformation Speed() const { return TProcessorSpeedInformation(cpu_); }
    TProcessorUsage Usage() const { return TProcessorUsage(cpu_); }
    TProcessorVendor Vendor() const { return TProcessorVendor(cpu_); }

private:
    std::uint8_t cpu_;
};

class TcxCpu {
public:
    TcxCpu();
    // Not checked: a processor the machine lacks reads zero registers.
    TProcessorInformation ProcessorInfo(std::uint8_t Cpu) const { return TProcessorInformation(Cpu); }
    TProcessorCount ProcessorCount() const { return {}; }

    bool MultiProcessor = false;
};
