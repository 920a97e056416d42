#pragma once
// The WMI inspector: one WQL query's property as text, and the exploration
// of the sensor and cooling classes that the diagnostic report lists, with
// the base board's identity and the ACPI thermal zone captured on the way.

#include <string>
#include <vector>

#include "platform/wmi.h"

// One property's value by its CIM type; an array lists every element, each
// after a blank.
std::string WmiPropertyToText(const platform::WmiProperty& property);

class TWmiInspector {
public:
    TWmiInspector();

    // The text of the last non-null property of that name (any case) over
    // all objects; empty when none. Throws platform::EWmiError on failure.
    std::string QueryValue(const std::string& nameSpace, const std::string& query, const std::string& property);
    void ExploreClass(const std::string& nameSpace, const std::string& className, bool withHeader);
    void ExploreAll();

    std::string LastError;
    std::string BoardManufacturer, BoardModel, BoardVersion;
    double AcpiTemperature = 0, AcpiActiveTripPoint = 0, AcpiCriticalTripPoint = 0, AcpiPassiveTripPoint = 0;
    std::vector<std::string> Lines;
    bool Available = false;

private:
    void Capture(const std::string& nameSpace, const std::string& className, const platform::WmiProperty& property,
                 const std::string& text);
    void AddRawSMBIOS(const platform::WmiValue& data);

    platform::Wmi* Locator = nullptr;
};
