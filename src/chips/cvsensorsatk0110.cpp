// The ATK0110 device: its item listings, the two access methods and the reads.

#include <algorithm>
#include <cctype>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvsensorsacpi.h"
#include "core/cvvars.h"
#include "hw/hwstrings.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

struct TItemKind {
    std::uint8_t Kind;
    int Decimals;
    double Divisor;
};
constexpr TItemKind Temperature{2, 1, 10};
constexpr TItemKind Fan{3, 0, 1};
constexpr TItemKind Voltage{4, 3, 1000};

// Method 3: the item type in bits 16-23 of the id.
struct TMethod3Type {
    int Type;
    TItemKind Kind;
};
constexpr TMethod3Type Method3Types[] = {{2, Voltage}, {3, Temperature}, {4, Fan}};

// Method 1: one group per kind, with its listing and value methods.
struct TMethod1Group {
    const char* Name;
    const char* ValueMethod;
    TItemKind Kind;
};
constexpr TMethod1Group Method1Groups[] = {
    {"temperature", "RTMP", Temperature},
    {"voltage", "RVLT", Voltage},
    {"fan", "RFAN", Fan},
};

void SetKind(TATK0110Reading& item, const TItemKind& kind) {
    item.Kind = kind.Kind;
    item.Decimals = kind.Decimals;
    item.Divisor = kind.Divisor;
}

const TAcpiVariant& Element(const TAcpiVariantArray& results, std::size_t index) {
    if (index >= results.size())
        throw EAcpiError(Format("Element %d missing of %d", {static_cast<int>(index), static_cast<int>(results.size())}));
    return results[index];
}

// Item names from a listing, from element `first` on.
std::vector<std::string> ItemNames(const TAcpiVariantArray& listing, std::size_t first) {
    std::vector<std::string> names;
    for (std::size_t i = first; i < listing.size(); ++i) names.push_back(listing[i].AsText());
    return names;
}

bool EndsWithText(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && hw::LowerCase(text.substr(text.size() - suffix.size())) == suffix;
}

std::uint32_t LE32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

const char* TruthText(bool value) { return value ? "True" : "False"; }

}  // namespace

TATK0110Sensor::TATK0110Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TACPIBaseSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                      std::move(systemProduct)) {
    FChipName = "ATK0110";
    DevicePath = FindAcpiDevice("ATK0110", "acpi\\atk0110");
    ChooseMethod();
    BuildReadingNames();
    for (const auto& item : TempItems) AddReading(FTemps, item.Name, 8, 125.0);
    for (const auto& item : FanItems) AddReading(FFans, item.Name, 10, 8500.0);
    for (const auto& item : VoltItems) AddReading(FVolts, item.Name, 8, 0);
}

void TATK0110Sensor::ChooseMethod() {
    auto device = OpenAcpiDevice(DevicePath, "TATK0110Sensor.FoundMethod3 : Unable to open %s (error $%.8x)");
    if (!device) return;
    LogDebug("TATK0110Sensor: Opened ACPI Device");
    if (TestMethod3(*device)) {
        LogDebug("TATK0110Sensor : Using method 3");
        Method = 3;
    } else if (TestMethod1(*device)) {
        LogDebug("TATK0110Sensor : Using method 1");
        Method = 1;
    } else {
        TestMethod2();
        Log("TATK0110Sensor : ERROR creating - Unable to find working interface!", 1);
    }
}

void TATK0110Sensor::ClearItems() {
    TempItems.clear();
    FanItems.clear();
    VoltItems.clear();
}

void TATK0110Sensor::Accept(const TATK0110Reading& item, double value) {
    LogDebug(Format("  %-24s=%.*f  min=%.*f  max=%.*f  flags=$%.8x  enable=$%.8x",
                    {item.Name, item.Decimals, value, item.Decimals, item.Min, item.Decimals, item.Max,
                     static_cast<std::uint32_t>(item.Id), static_cast<std::uint32_t>(item.Enable)},
                    InvariantFormat));
    TATK0110Items& list = item.Kind == Temperature.Kind ? TempItems : item.Kind == Fan.Kind ? FanItems : VoltItems;
    list.push_back(item);
}

TAcpiVariantArray TATK0110Sensor::DescribeItem(platform::Device& handle, const std::string& name, int index,
                                               TATK0110Reading& item) {
    TAcpiVariantArray r;
    EvalMethod(&handle, name, r, false, {});
    item.Id = Element(r, 0).AsInteger();
    item.Name = hw::Trim(Element(r, 1).AsText());
    item.Index = index;
    return r;
}

bool TATK0110Sensor::TestMethod3(platform::Device& handle) {
    ClearItems();
    bool result = true;
    int total = 0, ok = 0;
    LogDebug("Testing method 3");
    LogDebug("Reading GGRP(6)");
    std::vector<std::string> names;
    try {
        TAcpiVariantArray listing;
        EvalMethod(&handle, "GGRP", listing, false, {TAcpiVariant::OfInt(6)});
        names = ItemNames(listing, 0);
    } catch (const std::exception& e) {
        LogDebug(Format("Error executing ACPI method GGRP(6) (%s)", {e.what()}));
        result = false;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        LogDebug(Format("Reading %s", {names[i]}));
        TATK0110Reading item;
        try {
            const TAcpiVariantArray r = DescribeItem(handle, names[i], static_cast<int>(i), item);
            item.Info = Element(r, 2).AsInteger();
            const std::int64_t value = Element(r, 3).AsInteger();
            const std::int64_t low = Element(r, 4).AsInteger();
            const std::int64_t high = Element(r, 5).AsInteger();
            item.Enable = Element(r, 6).AsInteger();
            const int type = static_cast<int>((item.Id >> 16) & 0xFF);
            const auto found = std::find_if(std::begin(Method3Types), std::end(Method3Types),
                                            [&](const TMethod3Type& t) { return t.Type == type; });
            if (found == std::end(Method3Types)) throw EAcpiError(Format("Unknown item type %d", {type}));
            SetKind(item, found->Kind);
            // A voltage's sixth element is a range above its minimum, summed before scaling.
            const std::int64_t max = item.Kind == Voltage.Kind ? low + high : high;
            item.Value = static_cast<double>(value) / item.Divisor;
            item.Min = static_cast<double>(low) / item.Divisor;
            item.Max = static_cast<double>(max) / item.Divisor;
        } catch (const std::exception& e) {
            LogDebug(Format("Error executing ACPI method %s (%s)", {names[i], e.what()}));
            result = false;
            continue;
        }
        double value = 0;
        if (!ReadItemMethod3(handle, item, value)) {
            result = false;
            continue;
        }
        Accept(item, value);
        if (item.Kind == Voltage.Kind) {
            ++total;
            if (item.Min <= value && value <= item.Max) ++ok;
        }
    }
    LogDebug(Format("Voltages test result: %d bad - %d tot - %d ok", {total - ok, total, ok}));
    if (total != ok) {
        LogDebug("Method 3 failed because of odd voltage readings");
        result = false;
    }
    LogDebug(Format("End of method 3 testing (%s)", {TruthText(result)}));
    return result;
}

bool TATK0110Sensor::TestMethod1(platform::Device& handle) {
    ClearItems();
    bool result = true;
    LogDebug("Testing method 1");
    try {
        for (const TMethod1Group& group : Method1Groups) {
            if (!ReadValues(handle, group.Name)) {
                result = false;
                break;
            }
        }
    } catch (const std::exception& e) {
        LogDebug(Format("TATK0110Sensor: Error in ReadValues (%s)", {e.what()}));
        result = false;
    }
    LogDebug(Format("End of method 1 testing (%s)", {TruthText(result)}));
    return result;
}

bool TATK0110Sensor::TestMethod2() {
    ClearItems();
    return false;
}

bool TATK0110Sensor::ReadValues(platform::Device& handle, const std::string& groupName) {
    const auto group = std::find_if(std::begin(Method1Groups), std::end(Method1Groups),
                                    [&](const TMethod1Group& g) { return groupName == g.Name; });
    const std::string letter(1, static_cast<char>(std::toupper(static_cast<unsigned char>(groupName[0]))));
    bool result = true;
    std::vector<std::string> names;
    try {
        TAcpiVariantArray listing;
        EvalMethod(&handle, letter + "BUF", listing, false, {});
        names = ItemNames(listing, 1);
    } catch (const std::exception& e) {
        LogDebug(Format("Error executing ACPI method %sBUF (%s)", {letter, e.what()}));
        result = false;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        TATK0110Reading item;
        try {
            const TAcpiVariantArray r = DescribeItem(handle, names[i], static_cast<int>(i), item);
            SetKind(item, group->Kind);
            item.Min = static_cast<double>(Element(r, 2).AsInteger()) / item.Divisor;
            item.Max = static_cast<double>(Element(r, 3).AsInteger()) / item.Divisor;
            item.Enable = Element(r, 4).AsInteger();
        } catch (const std::exception& e) {
            LogDebug(Format("Error executing ACPI method %s (%s)", {names[i], e.what()}));
            result = false;
            continue;
        }
        double value = 0;
        if (ReadItemMethod1(handle, item, value))
            Accept(item, value);
        else
            result = false;
    }
    return result;
}

bool TATK0110Sensor::ReadItemMethod1(platform::Device& handle, const TATK0110Reading& item, double& value) {
    const auto group = std::find_if(std::begin(Method1Groups), std::end(Method1Groups),
                                    [&](const TMethod1Group& g) { return g.Kind.Kind == item.Kind; });
    const char* method = group->ValueMethod;
    try {
        TAcpiVariantArray r;
        EvalMethod(&handle, method, r, false, {TAcpiVariant::OfUInt(static_cast<std::uint32_t>(item.Id))});
        if (r.size() != 1) return false;
        value = static_cast<double>(r[0].AsInteger()) / item.Divisor;
        return true;
    } catch (const std::exception& e) {
        LogDebug(Format("Error executing ACPI method %s(%d) (%s)", {method, item.Index, e.what()}));
        return false;
    }
}

bool TATK0110Sensor::ReadItemMethod3(platform::Device& handle, const TATK0110Reading& item, double& value) {
    std::vector<std::uint8_t> request(12, 0);
    for (int i = 0; i < 4; ++i) request[i] = static_cast<std::uint8_t>(item.Id >> (8 * i));
    try {
        TAcpiVariantArray r;
        EvalMethod(&handle, "GITM", r, false, {TAcpiVariant::OfBytes(request)});
        std::uint32_t status = 0, raw = 0;
        for (const TAcpiVariant& element : r) {
            if (element.Kind != TAcpiVariant::TKind::Bytes || element.Bytes.size() < 8) continue;
            status = LE32(element.Bytes, 0);
            raw = LE32(element.Bytes, 4);
        }
        // A failed status carries no value.
        if (status != 1) return false;
        value = raw / item.Divisor;
        return true;
    } catch (const std::exception& e) {
        LogDebug(Format("Error executing ACPI method GITM($%.8x) (%s)", {static_cast<std::uint32_t>(item.Id), e.what()}));
        return false;
    }
}

bool TATK0110Sensor::ReadItem(platform::Device& handle, const TATK0110Reading& item, double& value) {
    if (Method == 1) return ReadItemMethod1(handle, item, value);
    if (Method == 3) return ReadItemMethod3(handle, item, value);
    return false;
}

void TATK0110Sensor::BuildReadingNames() {
    const auto strip = [](TATK0110Items& items, const std::string& suffix) {
        for (auto& item : items)
            if (EndsWithText(item.Name, suffix)) item.Name.resize(item.Name.size() - suffix.size());
    };
    strip(TempItems, " temperature");
    strip(FanItems, " fan speed");
    for (auto& item : VoltItems) {
        if (!EndsWithText(item.Name, " voltage")) continue;
        item.Name.resize(item.Name.size() - 8);
        if (!item.Name.empty() && std::isdigit(static_cast<unsigned char>(item.Name.back())))
            item.Name = hw::Trim(item.Name) + "V";
    }
}

void TATK0110Sensor::ReadList(const TATK0110Items& items, std::span<double> values, const char* failurePicture) {
    TChipAccess access(FLink);
    auto device = OpenAcpiDevice(DevicePath, "TATK0110Sensor : Unable to open %s (error $%.8x)");
    if (!device) return;
    try {
        for (std::size_t i = 0; i < items.size() && i < values.size(); ++i) ReadItem(*device, items[i], values[i]);
    } catch (const std::exception& e) {
        LogDebug(Format(failurePicture, {e.what()}));
    }
}

void TATK0110Sensor::ReadTempsInternal(std::span<double> values) {
    ReadList(TempItems, values, "TATK0110Sensor : Error reading temperatures (%s)");
}

void TATK0110Sensor::ReadFansInternal(std::span<double> values) {
    ReadList(FanItems, values, "TATK0110Sensor : Error reading fans (%s)");
}

void TATK0110Sensor::ReadVoltsInternal(std::span<double> values) {
    ReadList(VoltItems, values, "TATK0110Sensor : Error reading voltages (%s)");
}
