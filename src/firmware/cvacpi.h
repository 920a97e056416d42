#pragma once
// ACPI: control-method evaluation on an opened namespace device through the
// system's ACPI driver, and the tables parser, which finds the RSDP in
// E0000h-FFFFFh through the program's driver port and collects the raw bytes
// of the tables its RSDT lists (the DSDT through the FACP) for the report.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
class Device;
}

class TIOPort;

class EAcpiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One argument or result of an evaluation.
struct TAcpiVariant {
    enum class TKind : std::uint8_t { Empty, Integer, Text, Bytes };
    TKind Kind = TKind::Empty;
    std::int64_t Integer = 0;  // the value as its width and sign give it
    std::uint8_t Width = 32;   // 8, 16 or 32 bits
    bool Signed = true;
    std::string Text;
    std::vector<std::uint8_t> Bytes;

    static TAcpiVariant OfInt(std::int32_t value) { return OfInteger(value, 32, true); }
    static TAcpiVariant OfUInt(std::uint32_t value) { return OfInteger(value, 32, false); }
    // Throws EAcpiError for a width other than 8, 16 or 32 or a value it cannot hold.
    static TAcpiVariant OfInteger(std::int64_t value, std::uint8_t width, bool isSigned);
    static TAcpiVariant OfText(std::string text);
    static TAcpiVariant OfBytes(std::vector<std::uint8_t> bytes);

    // The Variant type code (VariantTypeName names it).
    std::uint16_t VarType() const;
    // A text as it is, an integer in decimal, bytes as characters up to the first zero.
    std::string AsText() const;
    // An integer, or a text holding a whole number; throws EAcpiError otherwise.
    std::int64_t AsInteger() const;
};
using TAcpiVariantArray = std::vector<TAcpiVariant>;

// A trace sink for evaluations; empty sends lines to the debug trace.
using TAcpiLogMethod = std::function<void(const std::string&)>;

// Run the method `name` (exactly 4 characters) of the opened device, or the
// method at `path` (1 to 255 characters). Results are emptied first, then
// hold one value per result element. Failures throw EAcpiError.
void EVAL(platform::Device* handle, const std::string& name, const TAcpiVariantArray& args,
          TAcpiVariantArray& results, const TAcpiLogMethod& log, bool verbose);
void EVAL_EX(platform::Device* handle, const std::string& path, const TAcpiVariantArray& args,
             TAcpiVariantArray& results, const TAcpiLogMethod& log, bool verbose);

// More than one argument, or any array of bytes.
bool HasComplexAcpiArgs(const TAcpiVariantArray& args);
// Whether `part` occurs in `text`, ASCII letters compared without regard to case.
bool TextContains(const std::string& text, const std::string& part);
void AcpiLog(const std::string& text, const TAcpiLogMethod& log);

// Output capacity of an evaluation: the first buffer, and the most it grows to.
inline constexpr std::uint32_t AcpiInitialOutputSize = 32 * 20;
inline constexpr std::uint32_t AcpiMaxOutputSize = 1u << 20;

struct TAcpiTableData {
    std::string Name;
    std::string Data;
};
using TAcpiTablesData = std::vector<TAcpiTableData>;

class TAcpiTablesParser {
public:
    // Nothing without the global port or its physical-memory access.
    void Parse();
    int GetTableCount() const { return static_cast<int>(Tables.size()); }
    // Throws std::out_of_range "Invalid index".
    TAcpiTableData GetTable(int index) const;

private:
    // False when no RSDP was found in the chunk.
    bool ProcessRSDP(TIOPort& port, std::uint32_t address);
    void ProcessRSDT(TIOPort& port, std::uint32_t address);
    void ProcessTable(TIOPort& port, std::uint32_t address);
    void CollectDSDT(TIOPort& port, std::uint32_t address);

    TAcpiTablesData Tables;
};
