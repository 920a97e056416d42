#pragma once
// The class library's binary component stream ("TPF0", the format of form
// data), as far as a translation component's stored properties need it.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline const char* const StreamReadError = "Stream read error";

// A bounded little-endian reader over the stream's bytes.
class TByteReader {
public:
    TByteReader(std::string_view data, std::size_t position) : Data_(data), Pos_(position) {
        if (position > data.size()) throw std::runtime_error(StreamReadError);
    }

    std::string_view Bytes(std::uint64_t n) {
        if (n > Data_.size() - Pos_) throw std::runtime_error(StreamReadError);
        const std::string_view out = Data_.substr(Pos_, n);
        Pos_ += n;
        return out;
    }
    std::uint64_t Unsigned(std::size_t n) {
        const std::string_view b = Bytes(n);
        std::uint64_t v = 0;
        for (std::size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[i]);
        return v;
    }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Unsigned(1)); }
    std::string ShortString() { return std::string(Bytes(Byte())); }
    std::uint8_t Peek() const {
        if (Pos_ >= Data_.size()) throw std::runtime_error(StreamReadError);
        return static_cast<std::uint8_t>(Data_[Pos_]);
    }

private:
    std::string_view Data_;
    std::size_t Pos_;
};

enum TValueType : std::uint8_t {
    vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary, vaSet,
    vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64, vaUTF8String, vaDouble
};

// A named property; a struct rather than std::pair, whose traits would need
// TStreamValue complete inside its own definition.
struct TStreamProperty;
using TStreamProperties = std::vector<TStreamProperty>;

// One property value. Strings and identifiers are 8-bit text (wide ones in
// the system code page), binary data raw.
struct TStreamValue {
    TValueType Type = vaNull;
    std::int64_t Integer = 0;
    std::string Text;
    std::vector<TStreamValue> List;
    std::vector<TStreamProperties> Collection;

    static TStreamValue String(std::string text);  // short or long, by length
    static TStreamValue Ident(std::string name);
    static TStreamValue Binary(std::string bytes);
    static TStreamValue Items(std::vector<TStreamProperties> items);
};

struct TStreamProperty {
    TStreamProperty(std::string name, TStreamValue value) : Name(std::move(name)), Value(std::move(value)) {}
    std::string Name;
    TStreamValue Value;
};

// A component without children.
struct TStreamComponent {
    std::string ClassName;
    std::string Name;
    TStreamProperties Properties;
};

// The component at `offset`. Every length is bounded by the data: a foreign
// signature throws "Invalid stream format", a truncated or malformed stream
// (or one whose component has children) "Stream read error".
TStreamComponent ReadComponentStream(std::string_view data, std::size_t offset = 0);
std::string WriteComponentStream(const TStreamComponent& component);
