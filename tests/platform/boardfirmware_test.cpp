// The firmware sections of a board file: what is malformed is refused,
// saying where and why.
#include <gtest/gtest.h>

#include "support/badboards.h"

namespace {

TEST(BoardFirmware, MalformedSectionsAreRefusedSayingWhereAndWhy) {
    const testsupport::BadBoard boards[] = {
        {R"({"smbios": {"version": "2", "structures": []}})", R"(/smbios/version: expected a version like "2.7")"},
        {R"({"smbios": {"structures": [{"type": 1, "colour": "red"}]}})",
         "/smbios/structures/0/colour: unknown field of a type 1 structure"},
        {R"({"smbios": {"structures": [{"type": 1, "uuid": "6B29FC40"}]}})",
         "/smbios/structures/0/uuid: expected a UUID like"},
        {R"({"smbios": {"structures": [{"type": 2, "product": "P45", "length": 256}]}})",
         "/smbios/structures/0/length: expected an integer from 0 to 255"},
        {R"({"smbios": {"entryPoint": "0x90000", "structures": []}})", "/smbios: entry point outside E0000h-FFFFFh"},
        {R"({"smbios": {}})", "/smbios/structures: missing"},
        {R"({"acpiTables": {"tables": [{"signature": "FAC"}]}})",
         R"(/acpiTables/tables/0/signature: expected a 4-character signature like "FACP")"},
        {R"({"acpiTables": {"tables": [{"signature": "FACP", "size": 20}]}})",
         "/acpiTables/tables/0/size: expected an integer from 36"},
        {R"({"acpiTables": {"tables": [{"bytes": "46 41 43 50"}]}})",
         "/acpiTables/tables/0: expected a table of at least 36 bytes"},
        {R"({"acpiTables": {"xsdt": "0xF0040", "tables": []}})", "/acpiTables/xsdt: unknown field"},
        {R"({"wmi": {"classes": {"Win32_Fan": [{"DesiredSpeed": {"cimType": 0, "value": 1}}]}}})",
         "/wmi/classes/Win32_Fan/0/DesiredSpeed/cimType: expected an integer from 1 to 65535"},
        {R"({"wmi": {"classes": {"Win32_Fan": [7]}}})", "/wmi/classes/Win32_Fan/0: expected an object of properties"},
        {R"({"physicalMemory": [{"base": "0xF0000", "bytes": "01 02", "size": "0x1"}]})",
         "/physicalMemory/0/size: expected a size that holds the bytes"},
        {R"({"physicalMemory": [{"base": "0xF0000", "bytes": "01", "readable": "0x1"}]})",
         "/physicalMemory/0/readable: unknown field"},
    };
    testsupport::expectRefused(boards);
}

}  // namespace
