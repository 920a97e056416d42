// ACPI control-method evaluation: the input blocks, the driver call with
// its output sizing, and the decoding of the output block.

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvvars.h"
#include "firmware/cvacpi.h"
#include "platform/acpictl.h"
#include "platform/platform.h"

namespace acpi = platform::acpi;
using cvformat::Format;

namespace {

using Bytes = std::vector<std::uint8_t>;

void putLE(Bytes& b, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t getLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void putElement(Bytes& b, std::uint16_t type, const Bytes& data) {
    putLE(b, type, 2);
    putLE(b, data.size(), 2);
    b.insert(b.end(), data.begin(), data.end());
    b.resize(b.size() + acpi::elementSize(data.size()) - acpi::ElementHeader - data.size(), 0);
}

// The header of every block: the signature, then the name, or the path with
// its zero in the path field.
Bytes blockHeader(std::uint32_t signature, const std::string& name, bool ex) {
    Bytes b(ex ? acpi::ExHeader : acpi::ShortHeader, 0);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(signature >> (8 * i));
    std::copy_n(name.data(), std::min(name.size(), b.size() - acpi::NameOffset), b.begin() + acpi::NameOffset);
    return b;
}

Bytes complexArgument(const TAcpiVariant& arg, std::size_t index) {
    Bytes b;
    switch (arg.Kind) {
        case TAcpiVariant::TKind::Integer: {
            Bytes value;
            putLE(value, static_cast<std::uint64_t>(arg.Integer), 4);
            putElement(b, acpi::TypeInteger, value);
            break;
        }
        case TAcpiVariant::TKind::Text: {
            Bytes text(arg.Text.begin(), arg.Text.end());
            // The driver expects the terminating zero inside DataLength.
            if (text.empty() || text.back() != 0) text.push_back(0);
            putElement(b, acpi::TypeString, text);
            break;
        }
        case TAcpiVariant::TKind::Bytes: putElement(b, acpi::TypeBuffer, arg.Bytes); break;
        default:
            throw EAcpiError(Format("Can't handle InParams[%d] of type %d",
                                    {static_cast<int>(index), static_cast<int>(arg.VarType())}));
    }
    return b;
}

Bytes buildInputBlock(const std::string& name, const TAcpiVariantArray& args, bool ex) {
    if (args.empty()) return blockHeader(ex ? acpi::sig::NoArgumentEx : acpi::sig::NoArgument, name, ex);
    if (!HasComplexAcpiArgs(args)) {
        const TAcpiVariant& arg = args[0];
        if (arg.Kind == TAcpiVariant::TKind::Integer) {
            Bytes b = blockHeader(ex ? acpi::sig::IntegerEx : acpi::sig::Integer, name, ex);
            putLE(b, static_cast<std::uint64_t>(arg.Integer), ex ? 8 : 4);
            return b;
        }
        if (arg.Kind == TAcpiVariant::TKind::Text) {
            Bytes b = blockHeader(ex ? acpi::sig::TextEx : acpi::sig::Text, name, ex);
            putLE(b, arg.Text.size(), 4);
            b.insert(b.end(), arg.Text.begin(), arg.Text.end());
            return b;
        }
        throw EAcpiError(Format("Can't handle InParams[0] of type %d", {static_cast<int>(arg.VarType())}));
    }
    Bytes arguments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Bytes one = complexArgument(args[i], i);
        arguments.insert(arguments.end(), one.begin(), one.end());
    }
    Bytes b = blockHeader(ex ? acpi::sig::ComplexEx : acpi::sig::Complex, name, ex);
    putLE(b, arguments.size(), 4);
    putLE(b, args.size(), 4);
    b.insert(b.end(), arguments.begin(), arguments.end());
    return b;
}

char printable(std::uint8_t c) { return c >= 0x20 && c <= 0x7F ? static_cast<char>(c) : '.'; }

std::string textRendering(const std::uint8_t* p, std::size_t n) {
    std::string s(n, '.');
    std::transform(p, p + n, s.begin(), printable);
    return s;
}

// " %.2x" per byte, without a Format per byte: a verbose dump may run to a
// megabyte.
std::string hexRendering(const std::uint8_t* p, std::size_t n) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string s(3 * n, ' ');
    for (std::size_t i = 0; i < n; ++i) {
        s[3 * i + 1] = Digits[p[i] >> 4];
        s[3 * i + 2] = Digits[p[i] & 0x0F];
    }
    return s;
}

// The next capacity after an answer of "more data": the Length the driver
// wrote into the header when it is larger, else double; 0 past the cap.
std::uint32_t grownCapacity(const Bytes& output, std::uint32_t capacity) {
    const std::uint32_t needed = getLE32(output.data() + 4);
    if (needed > capacity) return needed <= AcpiMaxOutputSize ? needed : 0;
    if (capacity >= AcpiMaxOutputSize) return 0;
    return std::min<std::uint64_t>(std::uint64_t(capacity) * 2, AcpiMaxOutputSize);
}

class Evaluation {
public:
    Evaluation(const std::string& name, const TAcpiLogMethod& log, bool verbose)
        : name_(name), log_(log), verbose_(verbose) {}

    void trace(const std::string& line) const {
        if (verbose_) AcpiLog(line, log_);
    }

    // The output block and the bytes the driver returned.
    std::pair<Bytes, std::uint32_t> call(platform::Device& device, std::uint32_t code, const Bytes& input) const {
        std::uint32_t capacity = AcpiInitialOutputSize;
        for (;;) {
            Bytes output(capacity, 0);
            std::uint32_t returned = 0;
            if (device.control(code, input, output, returned)) return {std::move(output), returned};
            const std::uint32_t error = device.lastError();
            const std::uint32_t next = error == acpi::ErrorMoreData ? grownCapacity(output, capacity) : 0;
            if (next == 0) {
                trace(Format("Releasing output buffer for ACPI method %s", {name_}));
                throw EAcpiError(Format("Error evaluating ACPI method %s ($%.8x)", {name_, error}));
            }
            capacity = next;
            trace(Format("Increased output buffer size for ACPI method %s to %d elements",
                         {name_, (capacity + 19) / 20}));
        }
    }

    void decode(const Bytes& output, std::uint32_t returned, TAcpiVariantArray& results) const {
        const std::uint8_t* p = output.data();
        const std::size_t limit = std::min<std::size_t>(returned, output.size());
        const std::uint32_t length = getLE32(p + 4);
        const std::uint32_t count = getLE32(p + 8);
        if (verbose_) {
            trace(Format("%s returned %d bytes", {name_, returned}));
            trace(Format("  Signature=<%s>", {textRendering(p, 4)}));
            trace(Format("  Length=%d", {length}));
            trace(Format("  Count=%d", {count}));
            dump(p, std::min<std::size_t>(length, output.size()));
        }
        std::size_t at = acpi::OutputHeader;
        for (std::uint32_t i = 0; i < count && at + acpi::ElementHeader <= limit; ++i) {
            const std::uint16_t type = std::uint16_t(p[at] | p[at + 1] << 8);
            const std::size_t dataLength = std::size_t(p[at + 2] | p[at + 3] << 8);
            // An element cut off by the end of the answer is not decoded.
            if (at + acpi::elementSize(dataLength) > limit) break;
            const std::uint8_t* data = p + at + acpi::ElementHeader;
            results.push_back(element(static_cast<int>(i), type, data, dataLength));
            at += acpi::elementSize(dataLength);
        }
        trace(Format("Releasing output buffer for ACPI method %s", {name_}));
    }

private:
    void dump(const std::uint8_t* p, std::size_t n) const {
        for (std::size_t at = 0; at < n; at += 16) {
            const std::size_t line = std::min<std::size_t>(16, n - at);
            std::string hex = hexRendering(p + at, line);
            hex.resize(48, ' ');  // "%-48s"
            trace("  " + hex + " " + textRendering(p + at, line));
        }
    }

    TAcpiVariant element(int index, std::uint16_t type, const std::uint8_t* data, std::size_t n) const {
        const std::string text = textRendering(data, n);
        // Only the trace shows the bytes in hexadecimal.
        std::string hex = verbose_ ? hexRendering(data, n) : std::string();
        if (!hex.empty()) hex.erase(0, 1);
        switch (type) {
            case acpi::TypeInteger: {
                const auto value = static_cast<std::int32_t>(getLE32(data));
                trace(Format("  Argument[%d].dataI=%d", {index, value}));
                return TAcpiVariant::OfInt(value);
            }
            case acpi::TypeString: {
                const std::string s = text.empty() ? text : text.substr(0, text.size() - 1);
                trace(Format("  Argument[%d].dataS=%s", {index, s}));
                return TAcpiVariant::OfText(s);
            }
            case acpi::TypeBuffer: trace(Format("  Argument[%d].dataB=%s - %s", {index, hex, text})); break;
            case acpi::TypePackage:
                trace(Format("  Argument[%d].dataP=(%d bytes) %s - %s", {index, static_cast<int>(n), hex, text}));
                break;
            default: trace(Format("  Argument[%d].dataU=%s - %s", {index, hex, text})); break;
        }
        return TAcpiVariant::OfBytes(Bytes(data, data + n));
    }

    const std::string& name_;
    const TAcpiLogMethod& log_;
    bool verbose_;
};

void evaluate(platform::Device* handle, const std::string& name, const TAcpiVariantArray& args,
              TAcpiVariantArray& results, const TAcpiLogMethod& log, bool verbose, bool ex) {
    results.clear();
    const bool nameOk = ex ? !name.empty() && name.size() <= acpi::MaxPathLength : name.size() == acpi::NameLength;
    if (!nameOk) throw EAcpiError("Invalid method name (wrong length)");
    if (!handle) throw EAcpiError("Invalid handle");
    const Bytes input = buildInputBlock(name, args, ex);
    const Evaluation evaluation(name, log, verbose);
    evaluation.trace(Format(ex ? "Executing EVAL_EX of %s" : "Executing EVAL of %s", {name}));
    const auto [output, returned] = evaluation.call(*handle, ex ? acpi::EvalMethodEx : acpi::EvalMethod, input);
    evaluation.decode(output, returned, results);
}

}  // namespace

TAcpiVariant TAcpiVariant::OfInteger(std::int64_t value, std::uint8_t width, bool isSigned) {
    if (width != 8 && width != 16 && width != 32) throw EAcpiError(Format("Invalid integer width %d", {width}));
    const std::int64_t low = isSigned ? -(std::int64_t(1) << (width - 1)) : 0;
    const std::int64_t high = isSigned ? (std::int64_t(1) << (width - 1)) - 1 : (std::int64_t(1) << width) - 1;
    if (value < low || value > high) throw EAcpiError(Format("Integer %d does not fit %d bits", {value, width}));
    TAcpiVariant v;
    v.Kind = TKind::Integer;
    v.Integer = value;
    v.Width = width;
    v.Signed = isSigned;
    return v;
}

TAcpiVariant TAcpiVariant::OfText(std::string text) {
    TAcpiVariant v;
    v.Kind = TKind::Text;
    v.Text = std::move(text);
    return v;
}

TAcpiVariant TAcpiVariant::OfBytes(std::vector<std::uint8_t> bytes) {
    TAcpiVariant v;
    v.Kind = TKind::Bytes;
    v.Bytes = std::move(bytes);
    return v;
}

std::uint16_t TAcpiVariant::VarType() const {
    switch (Kind) {
        case TKind::Integer: {
            // shortint, byte, smallint, word, integer, longword
            static constexpr std::uint16_t codes[3][2] = {{0x11, 0x10}, {0x12, 0x02}, {0x13, 0x03}};
            const int row = Width == 8 ? 0 : Width == 16 ? 1 : 2;
            return codes[row][Signed ? 1 : 0];
        }
        case TKind::Text: return 0x0100;
        case TKind::Bytes: return 0x2011;
        default: return 0;
    }
}

std::string TAcpiVariant::AsText() const {
    switch (Kind) {
        case TKind::Integer: return std::to_string(Integer);
        case TKind::Text: return Text;
        case TKind::Bytes: {
            const auto end = std::find(Bytes.begin(), Bytes.end(), 0);
            return std::string(Bytes.begin(), end);
        }
        default: return {};
    }
}

std::int64_t TAcpiVariant::AsInteger() const {
    if (Kind == TKind::Integer) return Integer;
    if (Kind == TKind::Text) {
        std::int64_t value = 0;
        const char* end = Text.data() + Text.size();
        const auto [ptr, ec] = std::from_chars(Text.data(), end, value);
        if (ec == std::errc() && ptr == end && !Text.empty()) return value;
    }
    throw EAcpiError(Format("Could not convert variant of type (%s) into type (Integer)", {VariantTypeName(VarType())}));
}

void EVAL(platform::Device* handle, const std::string& name, const TAcpiVariantArray& args,
          TAcpiVariantArray& results, const TAcpiLogMethod& log, bool verbose) {
    evaluate(handle, name, args, results, log, verbose, false);
}

void EVAL_EX(platform::Device* handle, const std::string& path, const TAcpiVariantArray& args,
             TAcpiVariantArray& results, const TAcpiLogMethod& log, bool verbose) {
    evaluate(handle, path, args, results, log, verbose, true);
}

bool HasComplexAcpiArgs(const TAcpiVariantArray& args) {
    return args.size() > 1 || std::any_of(args.begin(), args.end(), [](const TAcpiVariant& v) {
               return v.Kind == TAcpiVariant::TKind::Bytes;
           });
}

bool TextContains(const std::string& text, const std::string& part) {
    if (part.empty()) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

void AcpiLog(const std::string& text, const TAcpiLogMethod& log) {
    if (log)
        log(text);
    else
        WriteDebugLog(text);
}
