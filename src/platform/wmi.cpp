#include "platform/wmi.h"

#include <algorithm>

#include "platform/asciicase.h"

namespace platform {
namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

void sortProperties(WmiObject& object) {
    std::stable_sort(object.begin(), object.end(), [](const WmiProperty& a, const WmiProperty& b) {
        return asciiLower(a.name) < asciiLower(b.name);
    });
}

// A select list keeps the listed properties, in the object's order.
WmiObject selectProperties(const WmiObject& object, const std::vector<std::string>& names) {
    if (names.empty()) return object;
    WmiObject kept;
    for (const auto& p : object)
        if (std::find(names.begin(), names.end(), asciiLower(p.name)) != names.end()) kept.push_back(p);
    return kept;
}

}  // namespace

std::uint16_t DefaultCimType(const WmiValue& value) {
    switch (value.kind) {
    case WmiValue::Kind::Boolean: return CimBoolean;
    case WmiValue::Kind::Integer: return CimSint32;
    case WmiValue::Kind::Real: return CimReal64;
    case WmiValue::Kind::Array:
        return value.items.empty() ? std::uint16_t{CimString} : DefaultCimType(value.items.front());
    case WmiValue::Kind::Null:
    case WmiValue::Kind::Text: break;
    }
    return CimString;
}

void WmiStore::add(const std::string& nameSpace, const std::string& className, WmiObject object) {
    sortProperties(object);
    classes_[{asciiLower(nameSpace), asciiLower(className)}].push_back(std::move(object));
}

void WmiStore::clear(const std::string& nameSpace, const std::string& className) {
    classes_.erase({asciiLower(nameSpace), asciiLower(className)});
}

void WmiStore::addMethod(const std::string& nameSpace, const std::string& className, WmiMethod method) {
    methods_[{asciiLower(nameSpace), asciiLower(className)}].push_back(std::move(method));
}

void WmiStore::connect(const std::string& nameSpace) const {
    if (!connectFailure_.empty()) throw EWmiError(connectFailure_);
    const std::string wanted = asciiLower(nameSpace);
    if (wanted == "root\\cimv2" || wanted == "root\\wmi") return;
    for (const auto& [key, objects] : classes_)
        if (key.first == wanted) return;
    for (const auto& [key, list] : methods_)
        if (key.first == wanted) return;
    throw EWmiError("Invalid namespace");
}

std::vector<WmiMethod> WmiStore::methods(const std::string& nameSpace, const std::string& className) {
    prepare();
    connect(nameSpace);
    const auto found = methods_.find({asciiLower(nameSpace), asciiLower(className)});
    return found == methods_.end() ? std::vector<WmiMethod>{} : found->second;
}

void WmiStore::addAssociated(const std::string& className, const std::string& deviceId,
                             const std::string& assocClass, WmiObject object) {
    sortProperties(object);
    associators_[{asciiLower(className), asciiLower(deviceId), asciiLower(assocClass)}].push_back(std::move(object));
}

std::vector<WmiObject> WmiStore::query(const std::string& nameSpace, const std::string& wql) {
    prepare();
    connect(nameSpace);
    const std::string lower = asciiLower(wql);
    for (const auto& part : failing_)
        if (lower.find(asciiLower(part)) != std::string::npos) throw EWmiError("Generic failure");
    if (lower.rfind("select ", 0) == 0) {
        const auto from = lower.find(" from ");
        if (from == std::string::npos) throw EWmiError("Invalid query");
        std::vector<std::string> names;
        const std::string list = trim(lower.substr(7, from - 7));
        if (list != "*") {
            std::size_t start = 0;
            while (start <= list.size()) {
                const auto comma = std::min(list.find(',', start), list.size());
                names.push_back(trim(list.substr(start, comma - start)));
                start = comma + 1;
            }
        }
        std::vector<WmiObject> result;
        const auto found = classes_.find({asciiLower(nameSpace), trim(lower.substr(from + 6))});
        if (found != classes_.end())
            for (const auto& object : found->second) result.push_back(selectProperties(object, names));
        return result;
    }
    // associators of {Class.DeviceID="..."} where AssocClass=...
    const std::string head = "associators of {";
    const auto dot = lower.find(".deviceid=\"");
    const auto close = lower.rfind("\"}");
    const auto where = lower.find(" where assocclass=");
    if (lower.rfind(head, 0) != 0 || dot == std::string::npos || close == std::string::npos || close < dot ||
        where == std::string::npos)
        throw EWmiError("Invalid query");
    const std::string className = trim(lower.substr(head.size(), dot - head.size()));
    std::string deviceId;
    const std::string quoted = lower.substr(dot + 11, close - dot - 11);
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        deviceId += quoted[i];
        if (quoted[i] == '\\' && i + 1 < quoted.size() && quoted[i + 1] == '\\') ++i;
    }
    const auto found = associators_.find({className, deviceId, trim(lower.substr(where + 18))});
    return found == associators_.end() ? std::vector<WmiObject>{} : found->second;
}

}  // namespace platform
