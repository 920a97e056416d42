#pragma once
// WMI: instances of management classes, reached by WQL. Two query forms are
// answered: a select list or "*" from a class, and "associators of
// {Class.DeviceID="..."} where AssocClass=...". Properties come in
// alphabetical order, as the system lists them.

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace platform {

struct WmiValue {
    enum class Kind : std::uint8_t { Null, Boolean, Integer, Text, Array };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::int64_t integer = 0;
    std::string text;
    std::vector<WmiValue> items;

    static WmiValue of(bool v) { return {Kind::Boolean, v, 0, {}, {}}; }
    static WmiValue of(std::int64_t v) { return {Kind::Integer, false, v, {}, {}}; }
    static WmiValue of(std::string v) { return {Kind::Text, false, 0, std::move(v), {}}; }
    static WmiValue of(std::vector<WmiValue> v) { return {Kind::Array, false, 0, {}, std::move(v)}; }
};

struct WmiProperty {
    std::string name;
    WmiValue value;
};
using WmiObject = std::vector<WmiProperty>;

class EWmiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Wmi {
public:
    virtual ~Wmi() = default;
    // Throws EWmiError when the namespace is unknown or the query fails.
    virtual std::vector<WmiObject> query(const std::string& nameSpace, const std::string& wql) = 0;
};

// Instances held in memory, for "root\cimv2"; classes without instances
// answer none.
class WmiStore : public Wmi {
public:
    // Sorts the properties by name.
    void add(const std::string& className, WmiObject object);
    void addAssociated(const std::string& className, const std::string& deviceId, const std::string& assocClass,
                       WmiObject object);
    // Queries whose text holds `part` (any case) fail.
    void failQueriesWith(const std::string& part) { failing_.push_back(part); }

    std::vector<WmiObject> query(const std::string& nameSpace, const std::string& wql) override;

protected:
    // Called before each query, so a subclass can fill the store late.
    virtual void prepare() {}

private:
    using AssocKey = std::tuple<std::string, std::string, std::string>;  // lower-case
    std::map<std::string, std::vector<WmiObject>> classes_;             // by lower-case name
    std::map<AssocKey, std::vector<WmiObject>> associators_;
    std::vector<std::string> failing_;
};

}  // namespace platform
