#include "firmware/cvwmi.h"

#include <charconv>
#include <cstdio>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "firmware/cvsmbios.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr const char* NotRegistered = "WMI interface not registered on this system.";

// At most 15 significant digits, no trailing zeros, "1E20" and "1E-5".
std::string realText(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", v);
    std::string text = buffer;
    const auto e = text.find('E');
    if (e == std::string::npos) return text;
    std::string exponent = text.substr(e + 1);
    const bool negative = exponent[0] == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return text.substr(0, e + 1) + (negative ? "-" : "") + exponent;
}

std::string scalarText(const platform::WmiValue& v, std::uint16_t type) {
    using namespace platform;
    switch (type) {
    case CimSint8: return std::to_string(static_cast<std::int8_t>(v.integer));
    case CimSint16: return std::to_string(static_cast<std::int16_t>(v.integer));
    case CimSint32: return std::to_string(static_cast<std::int32_t>(v.integer));
    case CimSint64: return std::to_string(v.integer);
    case CimUint8: return std::to_string(static_cast<std::uint8_t>(v.integer));
    case CimUint16: return std::to_string(static_cast<std::uint16_t>(v.integer));
    case CimUint32: return std::to_string(static_cast<std::uint32_t>(v.integer));
    case CimUint64:
        return v.kind == WmiValue::Kind::Integer ? std::to_string(static_cast<std::uint64_t>(v.integer)) : v.text;
    case CimReal32: return realText(static_cast<float>(v.real));
    case CimReal64: return realText(v.real);
    case CimString:
    case CimDateTime:
    case CimReference: return v.text;
    case CimBoolean: return v.boolean ? "True" : "False";
    case CimObject: return "<CIM Object>";
    case CimChar16: return "<16-bit character>";
    default: return "<Unknown type>";
    }
}

// "(v - 2732) / 10" for a whole number of tenths of a kelvin, else 0.
double kelvinTenthsToCelsius(const std::string& text) {
    long long v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return 0;
    return static_cast<double>(v - 2732) / 10;
}

bool inShownSet(std::uint8_t type) {
    return type == 14 || (type >= 25 && type <= 30) || (type >= 34 && type <= 36) || type == 38 || (type >= 40 && type != 127);
}

}  // namespace

std::string WmiPropertyToText(const platform::WmiProperty& property) {
    const std::uint16_t type = property.type();
    if (property.value.kind != platform::WmiValue::Kind::Array) return scalarText(property.value, type);
    std::string text;
    for (const auto& item : property.value.items) text += " " + scalarText(item, type);
    return text;
}

TWmiInspector::TWmiInspector() {
    Locator = platform::current().wmi();
    Available = Locator != nullptr;
    if (!Available) LastError = NotRegistered;
}

std::string TWmiInspector::QueryValue(const std::string& nameSpace, const std::string& query,
                                      const std::string& property) {
    if (!Locator) throw platform::EWmiError(LastError);
    std::string result;
    for (const auto& object : Locator->query(nameSpace, query)) {
        for (const auto& p : object) {
            if (p.value.kind == platform::WmiValue::Kind::Null) continue;
            const std::string text = WmiPropertyToText(p);
            if (SameText(p.name, property)) result = text;
        }
    }
    return result;
}

void TWmiInspector::ExploreClass(const std::string& nameSpace, const std::string& className, bool withHeader) {
    if (withHeader) Lines.push_back(Format("EXPLORING : %s\\%s", {nameSpace, className}));
    if (!Locator) throw platform::EWmiError(LastError);
    const bool raw = SameText(nameSpace, "root\\WMI") && SameText(className, "MSSmBios_RawSMBiosTables");
    for (const auto& object : Locator->query(nameSpace, "select * from " + className)) {
        Lines.push_back("  -> Object Start");
        for (const auto& p : object) {
            const bool null = p.value.kind == platform::WmiValue::Kind::Null;
            const std::string text = null ? "<empty>" : WmiPropertyToText(p);
            if (!null && !raw) Lines.push_back(Format("  %s = %s", {p.name, text}));
            Capture(nameSpace, className, p, text);
            if (raw && SameText(p.name, "SMBiosData") && !null) AddRawSMBIOS(p.value);
        }
        for (const auto& m : Locator->methods(nameSpace, className)) {
            std::string parameters;
            if (m.hasInParameters) {
                for (const auto& name : m.inParameters) parameters += (parameters.empty() ? "" : ",") + name;
                parameters = "(" + parameters + ")";
            }
            Lines.push_back(Format("  Method -> %s%s", {m.name, parameters}));
        }
    }
}

void TWmiInspector::Capture(const std::string& nameSpace, const std::string& className,
                            const platform::WmiProperty& property, const std::string& text) {
    if (SameText(nameSpace, "root\\CIMV2") && SameText(className, "Win32_BaseBoard")) {
        if (SameText(property.name, "Manufacturer")) BoardManufacturer = text;
        if (SameText(property.name, "Product")) BoardModel = text;
        if (SameText(property.name, "Version")) BoardVersion = text;
        return;
    }
    if (!SameText(nameSpace, "root\\WMI") || !SameText(className, "MSAcpi_ThermalZoneTemperature")) return;
    const std::pair<const char*, double*> targets[] = {{"CurrentTemperature", &AcpiTemperature},
                                                       {"ActiveTripPoint", &AcpiActiveTripPoint},
                                                       {"CriticalTripPoint", &AcpiCriticalTripPoint},
                                                       {"PassiveTripPoint", &AcpiPassiveTripPoint}};
    for (const auto& [name, target] : targets) {
        if (!SameText(property.name, name)) continue;
        *target = kelvinTenthsToCelsius(text);
        // Only the line this property added; a null one added none.
        if (property.value.kind != platform::WmiValue::Kind::Null)
            Lines.back() = Format("%s (%.1fC)", {Lines.back(), *target});
    }
}

void TWmiInspector::AddRawSMBIOS(const platform::WmiValue& data) {
    std::string table;
    for (const auto& item : data.items) table += static_cast<char>(item.integer & 0xFF);
    for (const auto& s : WalkSMBIOSTable(table)) {
        if (s.HeaderCut || !inShownSet(s.StructType)) continue;
        Lines.push_back(Format("Structure %3d - %.4x - fixed len is %d bytes -> %s",
                               {static_cast<int>(s.StructType), static_cast<int>(s.Handle),
                                static_cast<int>(s.LengthByte), s.TypeName}));
        if (s.LengthByte > 4) {
            std::string bytes;
            for (char c : s.Data) bytes += (bytes.empty() ? "" : " ") + Format("%.2x", {static_cast<std::uint8_t>(c)});
            Lines.push_back("  -> " + bytes);
        }
        for (const auto& text : s.Strings) Lines.push_back("  -> <" + text + ">");
    }
}

void TWmiInspector::ExploreAll() {
    if (!Locator) return;
    ExploreClass("root\\CIMV2", "Win32_BaseBoard", true);
    ExploreClass("root\\WMI", "msacpi_thermalzonetemperature", true);
    for (const char* name :
         {"CIM_AssociatedSensor", "CIM_CoolingDevice", "CIM_Fan", "CIM_HeatPipe", "CIM_ManagementController",
          "CIM_NumericSensor", "CIM_PackageAlarm", "CIM_PackageCooling", "CIM_Refrigeration", "CIM_Sensor",
          "CIM_Tachometer", "CIM_TemperatureSensor", "CIM_VoltageSensor", "Win32_CurrentProbe", "Win32_Fan",
          "Win32_HeatPipe", "Win32_Refrigeration", "Win32_TemperatureProbe", "Win32_VoltageProbe"})
        ExploreClass("root\\CIMV2", name, true);
    Lines.push_back("EXPLORING : SMBIOS");
    ExploreClass("root\\WMI", "MSSmBios_RawSMBiosTables", false);
}
