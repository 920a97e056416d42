#pragma once
// A simulated machine whose firmware tables a test lays out, with the SMBIOS
// explorer's global reset around each test.

#include <string>
#include <vector>

#include "firmware/cvsmbios.h"
#include "hw/hwfixture.h"
#include "platform/firmwaretables.h"

using Bytes = std::vector<std::uint8_t>;

// One structure: header, formatted bytes after it, then its strings. The
// length byte is the header plus the bytes unless given.
inline Bytes Structure(std::uint8_t type, std::uint16_t handle, const Bytes& formatted,
                       const std::vector<std::string>& strings = {}, int lengthByte = -1) {
    Bytes b{type, static_cast<std::uint8_t>(lengthByte >= 0 ? lengthByte : 4 + formatted.size()),
            static_cast<std::uint8_t>(handle), static_cast<std::uint8_t>(handle >> 8)};
    b.insert(b.end(), formatted.begin(), formatted.end());
    for (const auto& s : strings) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
    }
    if (strings.empty()) b.push_back(0);
    b.push_back(0);
    return b;
}

inline Bytes EndOfTable() { return Structure(127, 0xFEFF, {}); }

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class SmbiosTest : public HwTest {
protected:
    SmbiosTest() { ResetCvsmbios(); }
    ~SmbiosTest() override { ResetCvsmbios(); }

    void LayTable(Bytes table, platform::SmbiosTables smbios = {}) {
        smbios.table = std::move(table);
        platform::MeasureSmbiosTable(smbios);
        platform::FirmwareTables tables;
        tables.smbios = std::move(smbios);
        machine().setFirmwareTables(std::move(tables));
    }
};
