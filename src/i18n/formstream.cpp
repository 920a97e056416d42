#include "i18n/formstream.h"

#include <climits>
#include <cstdint>
#include <stdexcept>

#include "core/cvtext.h"
#include "i18n/sicomp.h"

namespace {

const char* const Signature = "TPF0";

TStreamProperties ReadProperties(TByteReader& r);

// Fixed-size numbers a translation component never stores are skipped.
std::size_t FixedSize(TValueType type) {
    switch (type) {
        case vaExtended: return 10;
        case vaSingle: return 4;
        case vaCurrency: case vaDate: case vaDouble: return 8;
        default: return 0;
    }
}

TStreamValue ReadValue(TByteReader& r) {
    TStreamValue v;
    v.Type = static_cast<TValueType>(r.Byte());
    switch (v.Type) {
        case vaNull: case vaNil: case vaFalse: case vaTrue: break;
        case vaInt8: v.Integer = static_cast<std::int8_t>(r.Unsigned(1)); break;
        case vaInt16: v.Integer = static_cast<std::int16_t>(r.Unsigned(2)); break;
        case vaInt32: v.Integer = static_cast<std::int32_t>(r.Unsigned(4)); break;
        case vaInt64: v.Integer = static_cast<std::int64_t>(r.Unsigned(8)); break;
        case vaString: case vaIdent: v.Text = r.ShortString(); break;
        case vaLString: case vaBinary: v.Text = std::string(r.Bytes(r.Unsigned(4))); break;
        case vaUTF8String: v.Text = Utf8ToAnsiByCharset(r.Bytes(r.Unsigned(4)), DEFAULT_CHARSET); break;
        case vaWString: {
            const std::uint64_t count = r.Unsigned(4);
            v.Text = WideToAnsiByCharset(Utf16LEToWide(r.Bytes(count * 2)), DEFAULT_CHARSET);
            break;
        }
        case vaList:
            while (r.Peek() != vaNull) v.List.push_back(ReadValue(r));
            r.Byte();
            break;
        case vaSet:
            while (!r.ShortString().empty()) {}
            break;
        case vaCollection:
            while (r.Peek() != vaNull) {
                if (r.Peek() == vaInt8 || r.Peek() == vaInt16 || r.Peek() == vaInt32) ReadValue(r);  // item order
                if (r.Byte() != vaList) throw std::runtime_error(StreamReadError);
                v.Collection.push_back(ReadProperties(r));
            }
            r.Byte();
            break;
        default:
            if (FixedSize(v.Type) == 0) throw std::runtime_error(StreamReadError);
            r.Bytes(FixedSize(v.Type));
    }
    return v;
}

// Name-value pairs up to the empty name that closes the list.
TStreamProperties ReadProperties(TByteReader& r) {
    TStreamProperties props;
    for (std::string name = r.ShortString(); !name.empty(); name = r.ShortString()) props.emplace_back(name, ReadValue(r));
    return props;
}

void WriteUnsigned(std::string& out, std::uint64_t v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i, v >>= 8) out += static_cast<char>(v & 0xFF);
}

void WriteShortString(std::string& out, std::string_view text) {
    if (text.size() > UCHAR_MAX) throw std::length_error("a name longer than 255 characters");
    out += static_cast<char>(text.size());
    out += text;
}

void WriteProperties(std::string& out, const TStreamProperties& props);

void WriteValue(std::string& out, const TStreamValue& v) {
    out += static_cast<char>(v.Type);
    switch (v.Type) {
        case vaInt8: WriteUnsigned(out, static_cast<std::uint64_t>(v.Integer), 1); break;
        case vaInt16: WriteUnsigned(out, static_cast<std::uint64_t>(v.Integer), 2); break;
        case vaInt32: WriteUnsigned(out, static_cast<std::uint64_t>(v.Integer), 4); break;
        case vaInt64: WriteUnsigned(out, static_cast<std::uint64_t>(v.Integer), 8); break;
        case vaString: case vaIdent: WriteShortString(out, v.Text); break;
        case vaLString: case vaBinary:
            WriteUnsigned(out, v.Text.size(), 4);
            out += v.Text;
            break;
        case vaList:
            for (const TStreamValue& item : v.List) WriteValue(out, item);
            out += static_cast<char>(vaNull);
            break;
        case vaCollection:
            for (const TStreamProperties& item : v.Collection) {
                out += static_cast<char>(vaList);
                WriteProperties(out, item);
            }
            out += static_cast<char>(vaNull);
            break;
        case vaNull: case vaNil: case vaFalse: case vaTrue: break;
        default: throw std::invalid_argument("a value type the writer does not store");
    }
}

void WriteProperties(std::string& out, const TStreamProperties& props) {
    for (const auto& [name, value] : props) {
        WriteShortString(out, name);
        WriteValue(out, value);
    }
    out += '\0';
}

}  // namespace

TStreamValue TStreamValue::String(std::string text) {
    TStreamValue v;
    v.Type = text.size() <= UCHAR_MAX ? vaString : vaLString;
    v.Text = std::move(text);
    return v;
}

TStreamValue TStreamValue::Ident(std::string name) {
    TStreamValue v;
    v.Type = vaIdent;
    v.Text = std::move(name);
    return v;
}

TStreamValue TStreamValue::Binary(std::string bytes) {
    TStreamValue v;
    v.Type = vaBinary;
    v.Text = std::move(bytes);
    return v;
}

TStreamValue TStreamValue::Items(std::vector<TStreamProperties> items) {
    TStreamValue v;
    v.Type = vaCollection;
    v.Collection = std::move(items);
    return v;
}

TStreamComponent ReadComponentStream(std::string_view data, std::size_t offset) {
    TByteReader r(data, offset);
    if (r.Bytes(4) != Signature) throw std::runtime_error("Invalid stream format");
    if ((r.Peek() & 0xF0) == 0xF0 && (r.Byte() & 0x02)) ReadValue(r);  // filer flags, child position
    TStreamComponent component;
    component.ClassName = r.ShortString();
    component.Name = r.ShortString();
    component.Properties = ReadProperties(r);
    if (r.Byte() != vaNull) throw std::runtime_error(StreamReadError);  // no children
    return component;
}

std::string WriteComponentStream(const TStreamComponent& component) {
    std::string out = Signature;
    WriteShortString(out, component.ClassName);
    WriteShortString(out, component.Name);
    WriteProperties(out, component.Properties);
    out += static_cast<char>(vaNull);
    return out;
}
