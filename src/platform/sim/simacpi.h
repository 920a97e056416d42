#pragma once
// ACPI control methods of a simulated namespace device, answered as the
// system's ACPI driver answers the evaluation requests of acpictl.h: the
// input block is parsed here (a malformed one is refused with error 87), the
// results are encoded in the output block ("AeoB", a top-level package
// flattened into its members, a nested package as one type-3 element holding
// its members' elements), and an output too small gets the header with the
// Length needed and error 234.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::sim {

class BoardNode;

struct SimAcpiValue {
    enum class Kind : std::uint8_t { Integer, String, Buffer, Package, Failure };
    Kind kind = Kind::Integer;
    std::uint64_t integer = 0;  // or the failure's system code
    std::string text;
    std::vector<std::uint8_t> bytes;
    std::vector<SimAcpiValue> members;
};

// Oddities of a driver answer, for the evaluation's bounds.
enum class SimAcpiQuirk : std::uint8_t {
    None,
    AlwaysMoreData,  // every call fails with 234
    WrongCount,      // Count claims three elements more than follow
    CutOff,          // the answer ends two bytes into its last element
    WideIntegers,    // integers have DataLength 8
};

// One argument as the device decoded it.
struct SimAcpiArgument {
    enum class Kind : std::uint8_t { Integer, String, Buffer };
    Kind kind = Kind::Integer;
    std::uint64_t integer = 0;
    std::string text;  // without its terminating zero
    std::vector<std::uint8_t> bytes;
};

// An argument pattern: an integer matches an integer argument of that value
// or a buffer whose first four bytes hold it (as the ATK0110's item
// requests carry their id).
struct SimAcpiArgumentMatch {
    SimAcpiArgument value;
    bool matches(const SimAcpiArgument& argument) const;
};

struct SimAcpiCase {
    std::optional<std::vector<SimAcpiArgumentMatch>> args;  // none: any arguments
    std::vector<SimAcpiValue> script;                       // successive calls; the last repeats
    SimAcpiQuirk quirk = SimAcpiQuirk::None;
    std::size_t calls = 0;
};

class SimAcpiMethods {
public:
    // Keys are 4-character names or full paths; case does not matter.
    void add(const std::string& method, std::vector<SimAcpiCase> cases);
    // Puts the other's cases before this one's, so they answer first.
    void prependFrom(const SimAcpiMethods& other);
    // One evaluation request; false with `error` set when refused or failed.
    bool evaluate(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                  std::uint32_t& returned, std::uint32_t& error);

private:
    std::map<std::string, std::vector<SimAcpiCase>> methods_;
};

// {"GGRP": {"args": [6], "answer": {"package": ["VSN0", "TSN0"]}},
//  "TS1R": 45, "\\_SB.PCI0.EC0.TACH": {"fails": "0xC0000034"},
//  "GITM": [{"args": [{"buffer": "00 00 02 00"}], "script": [...]}, ...]}:
// a method is an answer, a case {"args", "answer" or "script", "quirk"}, or a
// list of cases (the first whose arguments match answers). An answer is an
// integer, a string, {"integer": n}, {"buffer": "01 02"}, {"package": [answers]}
// or {"fails": code}; "quirk" is "alwaysMoreData", "wrongCount", "cutOff" or
// "wideIntegers". An argument is an integer, a string or {"buffer": "..."}.
std::shared_ptr<SimAcpiMethods> loadAcpiMethods(const BoardNode& node);

}  // namespace platform::sim
