#pragma once
// The ACPI driver's method-evaluation interface on a namespace device: its
// control codes and the byte layouts of its input and output blocks. The
// evaluation code and every backend that answers it share this one header.
// Fields are little-endian; arguments and result elements follow each other
// without alignment.

#include <cstddef>
#include <cstdint>

namespace platform::acpi {

// Device type 32h, buffered, read and write access.
constexpr std::uint32_t controlCode(std::uint32_t function) { return (0x32u << 16) | (3u << 14) | (function << 2); }

enum Code : std::uint32_t {
    EvalMethod = controlCode(1),    // 0032C004h: a 4-character name on the opened device
    EvalMethodEx = controlCode(6),  // 0032C018h: a path of up to 255 characters
};

// Four signature bytes read as a little-endian dword.
constexpr std::uint32_t signature(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

namespace sig {
constexpr std::uint32_t NoArgument = signature("AeiB");
constexpr std::uint32_t Integer = signature("AeiI");
constexpr std::uint32_t Text = signature("AeiS");
constexpr std::uint32_t Complex = signature("AeiC");
constexpr std::uint32_t NoArgumentEx = signature("AeiA");
constexpr std::uint32_t IntegerEx = signature("AeiD");
constexpr std::uint32_t TextEx = signature("AeiE");
constexpr std::uint32_t ComplexEx = signature("AeiF");
constexpr std::uint32_t Output = signature("AeoB");
}  // namespace sig

// Offsets in the input blocks. A short block carries the 4-character name at
// 4; an extended one a zero-terminated path in a field of PathField bytes.
constexpr std::size_t NameOffset = 4;
constexpr std::size_t NameLength = 4;
constexpr std::size_t PathField = 256;
constexpr std::size_t MaxPathLength = PathField - 1;
constexpr std::size_t ShortHeader = NameOffset + NameLength;  // 8
constexpr std::size_t ExHeader = NameOffset + PathField;      // 260
// After the header: the integer (32 bits short, 64 bits extended); the text
// length and its bytes; or Size, ArgumentCount and the arguments.
constexpr std::size_t ComplexPrefix = 8;

// One argument or result element: Type, DataLength, then max(4, DataLength)
// bytes of data.
enum ElementType : std::uint16_t { TypeInteger = 0, TypeString = 1, TypeBuffer = 2, TypePackage = 3 };
constexpr std::size_t ElementHeader = 4;
constexpr std::size_t elementSize(std::size_t dataLength) { return ElementHeader + (dataLength < 4 ? 4 : dataLength); }

// The output block: signature, Length (all bytes, header included), Count,
// then Count elements.
constexpr std::size_t OutputHeader = 12;

// The system's code for an output too small for the answer.
constexpr std::uint32_t ErrorMoreData = 234;

}  // namespace platform::acpi
