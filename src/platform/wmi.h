#pragma once
// WMI: instances of management classes, reached by WQL. Two query forms are
// answered: a select list or "*" from a class, and "associators of
// {Class.DeviceID="..."} where AssocClass=...". Properties come in
// alphabetical order, as the system lists them, each with its CIM type; a
// class lists its methods with their input parameters.

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace platform {

struct WmiValue {
    enum class Kind : std::uint8_t { Null, Boolean, Integer, Text, Array, Real };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::int64_t integer = 0;
    std::string text;
    std::vector<WmiValue> items;
    double real = 0;

    static WmiValue of(bool v) { return {Kind::Boolean, v, 0, {}, {}}; }
    static WmiValue of(std::int64_t v) { return {Kind::Integer, false, v, {}, {}}; }
    static WmiValue of(std::string v) { return {Kind::Text, false, 0, std::move(v), {}}; }
    static WmiValue of(std::vector<WmiValue> v) { return {Kind::Array, false, 0, {}, std::move(v)}; }
    static WmiValue of(double v) { return {Kind::Real, false, 0, {}, {}, v}; }
};

// CIM type codes of the values (an array's code is its element's).
enum CimType : std::uint16_t {
    CimSint16 = 2, CimSint32 = 3, CimReal32 = 4, CimReal64 = 5, CimString = 8, CimBoolean = 11, CimObject = 13,
    CimSint8 = 16, CimUint8 = 17, CimUint16 = 18, CimUint32 = 19, CimSint64 = 20, CimUint64 = 21,
    CimDateTime = 101, CimReference = 102, CimChar16 = 103
};

// The code a value has when its property names none.
std::uint16_t DefaultCimType(const WmiValue& value);

struct WmiProperty {
    std::string name;
    WmiValue value;
    std::uint16_t cimType = 0;  // 0: DefaultCimType of the value
    std::uint16_t type() const { return cimType ? cimType : DefaultCimType(value); }
};
using WmiObject = std::vector<WmiProperty>;

struct WmiMethod {
    std::string name;
    bool hasInParameters = false;
    std::vector<std::string> inParameters;
};

class EWmiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Wmi {
public:
    virtual ~Wmi() = default;
    // Throws EWmiError when the namespace is unknown or the query fails.
    virtual std::vector<WmiObject> query(const std::string& nameSpace, const std::string& wql) = 0;
    virtual std::vector<WmiMethod> methods(const std::string& nameSpace, const std::string& className) = 0;
};

// Instances held in memory by namespace ("root\cimv2" unless named);
// classes without instances answer none; namespaces other than root\cimv2
// and root\WMI exist only with classes.
class WmiStore : public Wmi {
public:
    // Sorts the properties by name.
    void add(const std::string& className, WmiObject object) { add("root\\cimv2", className, std::move(object)); }
    void add(const std::string& nameSpace, const std::string& className, WmiObject object);
    void addMethod(const std::string& nameSpace, const std::string& className, WmiMethod method);
    // Drops a class's instances, so a subclass can refill one whose values change.
    void clear(const std::string& nameSpace, const std::string& className);
    // Every connection fails with this message.
    void failConnectWith(std::string message) { connectFailure_ = std::move(message); }
    void addAssociated(const std::string& className, const std::string& deviceId, const std::string& assocClass,
                       WmiObject object);
    // Queries whose text holds `part` (any case) fail.
    void failQueriesWith(const std::string& part) { failing_.push_back(part); }

    std::vector<WmiObject> query(const std::string& nameSpace, const std::string& wql) override;
    std::vector<WmiMethod> methods(const std::string& nameSpace, const std::string& className) override;

protected:
    // Called before each query, so a subclass can fill the store late.
    virtual void prepare() {}

private:
    using AssocKey = std::tuple<std::string, std::string, std::string>;  // lower-case
    void connect(const std::string& nameSpace) const;
    using ClassKey = std::pair<std::string, std::string>;              // lower-case namespace, class
    std::map<ClassKey, std::vector<WmiObject>> classes_;
    std::map<ClassKey, std::vector<WmiMethod>> methods_;
    std::string connectFailure_;
    std::map<AssocKey, std::vector<WmiObject>> associators_;
    std::vector<std::string> failing_;
};

}  // namespace platform
