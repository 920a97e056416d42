#include "report/cvpcidata.h"

#include <algorithm>
#include <cctype>

#include "base/cvtrace.h"
#include "core/cvtext.h"
#include "core/txtunit.h"
#include "report/cvreport.h"

namespace {

std::vector<TPCIData> Rows;
int Users = 0;
int LoadCount = 0;

std::uint16_t HexValue(const std::string& digits) {
    try {
        return static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16));
    } catch (const std::exception&) {
        return 0;
    }
}

void LoadPciNames() {
    Rows.clear();
    ++LoadCount;
    if (const auto lines = TxtReadLines(ProgramDir + "pciidsdata.csv", 65000, 10000))
        for (const std::string& line : *lines) ParsePciNamesLine(line, Rows);
    Rows.shrink_to_fit();
}

}  // namespace

std::string NextCsvField(std::string& line) {
    std::string field;
    if (line.empty()) return field;
    const char first = line[0];
    if (first == ',') {
        line.erase(0, 1);
    } else if (first == '"' || first == '\'') {
        const std::size_t close = line.size() >= 2 ? line.find(first, 1) : std::string::npos;
        if (close != std::string::npos && close <= line.size() - 2) {
            field = line.substr(1, close - 1);
            line.erase(0, close + 1);
            if (!line.empty() && line[0] == ',') line.erase(0, 1);
        } else {
            field = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string();
            line.clear();
        }
    }
    return Trim(field);
}

std::string NormaliseHexId(const std::string& text) {
    std::string id = UpperCase(text);
    if (id.starts_with("0X")) id.erase(0, 2);
    if (!std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) return {};
    return id;
}

void ParsePciNamesLine(std::string line, std::vector<TPCIData>& rows) {
    const std::string vendor = NormaliseHexId(NextCsvField(line));
    const std::string device = NormaliseHexId(NextCsvField(line));
    std::string vendorName = NextCsvField(line);
    std::string deviceName = NextCsvField(line);
    if (vendor.empty() || device.empty() || vendorName.empty() || deviceName.empty()) return;
    TPCIData row{HexValue(vendor), HexValue(device), std::move(vendorName), std::move(deviceName), NextCsvField(line), {}};
    for (std::string field = NextCsvField(line); !field.empty(); field = NextCsvField(line)) {
        if (!row.Rest.empty()) row.Rest += ' ';
        row.Rest += field;
    }
    if (rows.size() == rows.capacity()) rows.reserve(rows.size() + 100);
    rows.push_back(std::move(row));
}

void AcquirePciNames() {
    if (Users <= 0) {
        Users = 1;
        LoadPciNames();
    } else {
        ++Users;
    }
}

void ReleasePciNames() {
    if (Users < 2) {
        Users = 0;
        Rows.clear();
        Rows.shrink_to_fit();
    } else {
        --Users;
    }
}

std::string LookupPciName(std::uint16_t vendor, std::uint16_t device, const std::string& defaultName) {
    AcquirePciNames();
    std::string name = defaultName;
    const auto row = std::find_if(Rows.begin(), Rows.end(),
                                  [&](const TPCIData& r) { return r.VendorId == vendor && r.DeviceId == device; });
    if (row != Rows.end()) {
        name = row->VendorName + " " + row->DeviceName;
        if (!row->Description.empty()) name += " " + row->Description;
        if (!row->Rest.empty()) name += " " + row->Rest;
    }
    ReleasePciNames();
    return name;
}

int PciNamesLoadCount() { return LoadCount; }
