#include "disks/cvsmartdump.h"

#include <algorithm>
#include <numeric>

#include "base/cvformat.h"
#include "disks/cvhdfinder.h"

namespace {

using cvformat::Format;

std::uint16_t word(TSmartBlock page, std::size_t at) {
    return static_cast<std::uint16_t>(page[at] | (page[at + 1] << 8));
}

// Bytes outside printable ASCII are not text in a UTF-8 log.
char textOf(std::uint8_t byte) { return byte < 0x20 || byte >= 0x7F ? '.' : static_cast<char>(byte); }

}  // namespace

const std::array<TAtaCommandRow, 90> AtaCommandNames{{
    {0x03, "CFA REQUEST EXTENDED ERROR CODE"},
    {0x08, "DEVICE RESET"},
    {0x10, "RECALIBRATE [OBS-4]"},
    {0x20, "READ SECTOR(S)"},
    {0x21, "READ SECTOR(S) [OBS-5]"},
    {0x22, "READ LONG (w/ retry) [OBS-4]"},
    {0x23, "READ LONG (w/o retry) [OBS-4]"},
    {0x24, "READ SECTOR(S) EXT"},
    {0x25, "READ DMA EXT"},
    {0x26, "READ DMA QUEUED EXT"},
    {0x27, "READ NATIVE MAX ADDRESS EXT"},
    {0x29, "READ MULTIPLE EXT"},
    {0x2A, "READ STREAM DMA"},
    {0x2B, "READ STREAM PIO"},
    {0x2F, "READ LOG EXT"},
    {0x30, "WRITE SECTOR(S)"},
    {0x31, "WRITE SECTOR(S) [OBS-5]"},
    {0x32, "WRITE LONG(w/ retry) [OBS-4]"},
    {0x33, "WRITE LONG(w/o retry) [OBS-4]"},
    {0x34, "WRITE SECTORS(S) EXT"},
    {0x35, "WRITE DMA EXT"},
    {0x36, "WRITE DMA QUEUED EXT"},
    {0x37, "SET MAX ADDRESS EXT"},
    {0x38, "CFA WRITE SECTORS WITHOUT ERASE"},
    {0x39, "WRITE MULTIPLE EXT"},
    {0x3A, "WRITE STREAM DMA"},
    {0x3B, "WRITE STREAM PIO"},
    {0x3C, "WRITE VERIFY [OBS-4]"},
    {0x3D, "WRITE DMA FUA EXT"},
    {0x3E, "WRITE DMA QUEUED FUA EXT"},
    {0x3F, "WRITE LOG EXT"},
    {0x40, "READ VERIFY SECTOR(S)"},
    {0x41, "READ VERIFY SECTOR(S) [OBS-5]"},
    {0x42, "READ VERIFY SECTOR(S) EXT"},
    {0x50, "FORMAT TRACK [OBS-4]"},
    {0x51, "CONFIGURE STREAM"},
    {0x60, "READ FPDMA QUEUED"},
    {0x61, "WRITE FPDMA QUEUED"},
    {0x70, "SEEK [OBS-7]"},
    {0x87, "CFA TRANSLATE SECTOR [VS IF NO CFA]"},
    {0x90, "EXECUTE DEVICE DIAGNOSTIC"},
    {0x91, "INITIALIZE DEVICE PARAMETERS [OBS-6]"},
    {0x94, "STANDBY IMMEDIATE [RET-4]"},
    {0x95, "IDLE IMMEDIATE [RET-4]"},
    {0x96, "STANDBY [RET-4]"},
    {0x97, "IDLE [RET-4]"},
    {0x98, "CHECK POWER MODE [RET-4]"},
    {0x99, "SLEEP [RET-4]"},
    {0xA0, "PACKET"},
    {0xA1, "IDENTIFY PACKET DEVICE"},
    {0xA2, "SERVICE"},
    {0xC0, "CFA ERASE SECTORS [VS IF NO CFA]"},
    {0xC4, "READ MULTIPLE"},
    {0xC5, "WRITE MULTIPLE"},
    {0xC6, "SET MULTIPLE MODE"},
    {0xC7, "READ DMA QUEUED"},
    {0xC8, "READ DMA"},
    {0xC9, "READ DMA [OBS-5]"},
    {0xCA, "WRITE DMA"},
    {0xCB, "WRITE DMA [OBS-5]"},
    {0xCC, "WRITE DMA QUEUED"},
    {0xCD, "CFA WRITE MULTIPLE WITHOUT ERASE"},
    {0xCE, "WRITE MULTIPLE FUA EXT"},
    {0xD1, "CHECK MEDIA CARD TYPE"},
    {0xDA, "GET MEDIA STATUS"},
    {0xDB, "ACKNOWLEDGE MEDIA CHANGE [RET-4]"},
    {0xDC, "BOOT POST-BOOT [RET-4]"},
    {0xDD, "BOOT PRE-BOOT [RET-4]"},
    {0xDE, "MEDIA LOCK"},
    {0xDF, "MEDIA UNLOCK"},
    {0xE0, "STANDBY IMMEDIATE"},
    {0xE1, "IDLE IMMEDIATE"},
    {0xE2, "STANDBY"},
    {0xE3, "IDLE"},
    {0xE4, "READ BUFFER"},
    {0xE5, "CHECK POWER MODE"},
    {0xE6, "SLEEP"},
    {0xE7, "FLUSH CACHE"},
    {0xE8, "WRITE BUFFER"},
    {0xEA, "FLUSH CACHE EXT"},
    {0xEC, "IDENTIFY DEVICE"},
    {0xED, "MEDIA EJECT"},
    {0xEE, "IDENTIFY DEVICE DMA [OBS-4]"},
    {0xF1, "SECURITY SET PASSWORD"},
    {0xF2, "SECURITY UNLOCK"},
    {0xF3, "SECURITY ERASE PREPARE"},
    {0xF4, "SECURITY ERASE UNIT"},
    {0xF5, "SECURITY FREEZE LOCK"},
    {0xF6, "SECURITY DISABLE PASSWORD"},
    {0xF8, "READ NATIVE MAX ADDRESS"},
}};

const std::array<TAtaRangeRow, 27> AtaCommandRanges{{
    {0x11, 0x1F, "<recalibrate_ret4>"},
    {0x62, 0x67, "<reserved_sa>"},
    {0x71, 0x7F, "<seek_ret4>"},
    {0x80, 0x86, "<vendor_specific>"},
    {0x88, 0x8F, "<vendor_specific>"},
    {0x9A, 0x9A, "<vendor_specific>"},
    {0xC1, 0xC3, "<vendor_specific>"},
    {0xF0, 0xF0, "<vendor_specific>"},
    {0xF7, 0xF7, "<vendor_specific>"},
    {0xFA, 0xFF, "<vendor_specific>"},
    {0xB8, 0xBF, "<reserved_cf>"},
    {0xD2, 0xD4, "<reserved_mcpt>"},
    {0x01, 0x02, "<reserved>"},
    {0x04, 0x07, "<reserved>"},
    {0x09, 0x0F, "<reserved>"},
    {0x28, 0x28, "<reserved>"},
    {0x2C, 0x2E, "<reserved>"},
    {0x43, 0x4F, "<reserved>"},
    {0x52, 0x5F, "<reserved>"},
    {0x68, 0x6F, "<reserved>"},
    {0x93, 0x93, "<reserved>"},
    {0x9B, 0x9F, "<reserved>"},
    {0xA3, 0xAF, "<reserved>"},
    {0xB2, 0xB7, "<reserved>"},
    {0xCF, 0xD0, "<reserved>"},
    {0xD5, 0xD9, "<reserved>"},
    {0xEB, 0xEB, "<reserved>"},
}};

const std::array<TAtaSubCommand, 7> AtaSubCommands{{
    {0x00, "NOP [Reserved subcommand]"},
    {0x92, "DOWNLOAD MICROCODE [Reserved subcommand]"},
    {0xB0, "[Reserved SMART command]"},
    {0xB1, "DEVICE CONFIGURATION [Reserved command]"},
    {0xE9, "WRITE SAME [Invalid subcommand] [RET-4]"},
    {0xEF, "SET FEATURES [subcode $%.2x]"},
    {0xF9, "[Reserved SET MAX command]"},
}};

const std::array<TAtaSubCommandRow, 29> AtaSubCommandNames{{
    {0x00, 0x00, 0x00, "NOP [Abort queued commands]"},
    {0x00, 0x01, 0x01, "NOP [Don't abort queued commands]"},
    {0x92, 0x01, 0x01, "DOWNLOAD MICROCODE [Temporary]"},
    {0x92, 0x07, 0x07, "DOWNLOAD MICROCODE [Save]"},
    {0xB0, 0xD0, 0xD0, "SMART READ DATA0"},
    {0xB0, 0xD1, 0xD1, "SMART READ ATTRIBUTE THRESHOLDS [OBS-4]"},
    {0xB0, 0xD2, 0xD2, "SMART ENABLE/DISABLE ATTRIBUTE AUTOSAVE"},
    {0xB0, 0xD3, 0xD3, "SMART SAVE ATTRIBUTE VALUES [OBS-6]"},
    {0xB0, 0xD4, 0xD4, "SMART EXECUTE OFF-LINE IMMEDIATE"},
    {0xB0, 0xD5, 0xD5, "SMART READ LOG"},
    {0xB0, 0xD6, 0xD6, "SMART WRITE LOG"},
    {0xB0, 0xD7, 0xD7, "SMART WRITE ATTRIBUTE THRESHOLDS [NS, OBS-4]"},
    {0xB0, 0xD8, 0xD8, "SMART ENABLE OPERATIONS"},
    {0xB0, 0xD9, 0xD9, "SMART DISABLE OPERATIONS"},
    {0xB0, 0xDA, 0xDA, "SMART RETURN STATUS"},
    {0xB0, 0xDB, 0xDB, "SMART EN/DISABLE AUTO OFFLINE [NS (SFF-8035i)]"},
    {0xB0, 0xE0, 0xFF, "[Vendor specific SMART command]"},
    {0xB1, 0xC0, 0xC0, "DEVICE CONFIGURATION RESTORE"},
    {0xB1, 0xC1, 0xC1, "DEVICE CONFIGURATION FREEZE LOCK"},
    {0xB1, 0xC2, 0xC2, "DEVICE CONFIGURATION IDENTIFY"},
    {0xB1, 0xC3, 0xC3, "DEVICE CONFIGURATION SET"},
    {0xE9, 0x22, 0x22, "WRITE SAME [Start specified] [RET-4]"},
    {0xE9, 0xDD, 0xDD, "WRITE SAME [Start unspecified] [RET-4]"},
    {0xEF, 0x00, 0xFF, "SET FEATURES [subcode $%.2x]"},
    {0xF9, 0x00, 0x00, "SET MAX ADDRESS [OBS-6]"},
    {0xF9, 0x01, 0x01, "SET MAX SET PASSWORD"},
    {0xF9, 0x02, 0x02, "SET MAX LOCK"},
    {0xF9, 0x03, 0x03, "SET MAX UNLOCK"},
    {0xF9, 0x04, 0x04, "SET MAX FREEZE LOCK"},
}};

std::string AtaCommandName(std::uint8_t command, std::uint8_t features) {
    for (const auto& sub : AtaSubCommands) {
        if (sub.command != command) continue;
        std::string_view name = sub.other;
        for (const auto& row : AtaSubCommandNames)
            if (row.command == command && features >= row.firstFeature && features <= row.lastFeature)
                name = row.name;
        return Format(name, {unsigned{features}});
    }
    for (const auto& row : AtaCommandNames)
        if (row.command == command) return std::string(row.name);
    for (const auto& row : AtaCommandRanges)
        if (command >= row.first && command <= row.last) return std::string(row.name);
    return "<reserved>";
}

std::string_view DeviceStateName(std::uint8_t state) {
    static constexpr std::array<std::string_view, 5> names{"in an unknown state", "sleeping", "in standby mode",
                                                           "active or idle", "doing SMART Offline or Self-test"};
    if (state < names.size()) return names[state];
    return state <= 10 ? "in a reserved state" : "in a vendor specific state";
}

std::string_view SelfTestTypeName(std::uint8_t number) {
    struct Row {
        std::uint8_t number;
        std::string_view name;
    };
    static constexpr std::array<Row, 10> named{{{0, "Offline"},
                                                {1, "Short offline"},
                                                {2, "Extended offline"},
                                                {3, "Conveyance offline"},
                                                {4, "Selective offline"},
                                                {127, "Abort offline test"},
                                                {129, "Short captive"},
                                                {130, "Extended captive"},
                                                {131, "Conveyance captive"},
                                                {132, "Selective captive"}}};
    for (const auto& row : named)
        if (row.number == number) return row.name;
    if ((number >= 64 && number <= 126) || number >= 192) return "Vendor offline";
    return "Reserved offline";
}

std::string_view SelfTestStatusName(std::uint8_t status) {
    static constexpr std::array<std::string_view, 16> names{
        "Completed without error",      "Aborted by host",
        "Interrupted (host reset)",     "Fatal or unknown error",
        "Completed: unknown failure",   "Completed: electrical failure",
        "Completed: servo/seek failure", "Completed: read failure",
        "Completed: handling damage??", "Unknown test status",
        "Unknown test status",          "Unknown test status",
        "Unknown test status",          "Unknown test status",
        "Unknown test status",          "Self-test routine in progress"};
    return names[status & 0x0F];
}

int SelfTestPercent(std::uint8_t nibble) { return nibble == 0 ? 100 : nibble * 10; }

std::string LbaText(std::uint32_t lba) {
    return lba == 0 || lba == 0xFFFFFFFFu ? "--------" : Format("%.8x", {lba});
}

bool IsAllZero(std::span<const std::uint8_t> buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0; });
}

bool DumpSector(TSmartBlock page, bool checkSum, bool withText) {
    if (IsAllZero(page)) return true;
    const unsigned sum = std::accumulate(page.begin(), page.end(), 0u) & 0xFF;
    if (checkSum && sum != 0) AddSearchLogFormat("WARNING: Bad buffer checksum ($%.2x)", {sum});
    for (std::size_t offset = 0; offset < page.size(); offset += 32) {
        const auto row = page.subspan(offset, 32);
        std::string line = Format("%.3x ", {offset});
        for (std::uint8_t byte : row) line += Format(" %.2x", {unsigned{byte}});
        if (withText) {
            line += ' ';
            for (std::uint8_t byte : row) line += textOf(byte);
        }
        AddSearchLogLine(line);
    }
    return false;
}

void DumpIdentifySector(TSmartBlock page) {
    TSearchLogIndent outer(2);
    AddSearchLogLine("Identify Sector -->");
    TSearchLogIndent inner(2);
    DumpSector(page, false, true);
}

bool DumpAttributePage(TSmartBlock page) {
    TSearchLogIndent indent(4);
    return !DumpSector(page, true, false);
}

void DumpLogDirectory(TSmartBlock page) {
    TSearchLogIndent outer(2);
    AddSearchLogLine("Smart Log Directory -->");
    TSearchLogIndent inner(2);
    DumpSector(page, false, false);
    AddSearchLogFormat("Smart Logging Version=$%.4x", {unsigned{word(page, 0)}});
    for (unsigned n = 1; n <= 7; ++n)
        if (page[2 * n] != 0) AddSearchLogFormat("Log #$%.2x contains %d pages", {n, unsigned{page[2 * n]}});
}

namespace {

void dumpErrorEntry(int number, std::span<const std::uint8_t> entry) {
    AddSearchLogFormat("Error #%d occurred when the device was %s",
                       {number, DeviceStateName(static_cast<std::uint8_t>(entry[87] & 0x0F))});
    AddSearchLogLine("After command completion occurred, registers were:");
    {
        TSearchLogIndent registers(2);
        AddSearchLogLine("ER ST SC SN CL CH DH");
        AddSearchLogLine("-- -- -- -- -- -- --");
        AddSearchLogFormat("%02x %02x %02x %02x %02x %02x %02x",
                           {unsigned{entry[61]}, unsigned{entry[67]}, unsigned{entry[62]}, unsigned{entry[63]},
                            unsigned{entry[64]}, unsigned{entry[65]}, unsigned{entry[66]}});
    }
    AddSearchLogLine("Commands leading to the command that caused the error were:");
    AddSearchLogLine("CR FR SC SN CL CH DH DC   Powered_Up_Time  Command/Feature_Name");
    AddSearchLogLine("-- -- -- -- -- -- -- --  ----------------  --------------------");
    for (int record = 4; record >= 0; --record) {
        const auto c = entry.subspan(static_cast<std::size_t>(record) * 12, 12);
        AddSearchLogFormat("%02x %02x %02x %02x %02x %02x %02x %02x  %16s  %s",
                           {unsigned{c[7]}, unsigned{c[1]}, unsigned{c[2]}, unsigned{c[3]}, unsigned{c[4]},
                            unsigned{c[5]}, unsigned{c[6]}, unsigned{c[0]}, "----", AtaCommandName(c[7], c[1])});
    }
}

}  // namespace

void DumpSummaryErrorLog(TSmartBlock page) {
    TSearchLogIndent outer(2);
    AddSearchLogLine("Smart Summary Error Log -->");
    TSearchLogIndent inner(2);
    DumpSector(page, true, false);
    AddSearchLogFormat("Error Log Version=$%.4x", {unsigned{page[0]}});
    AddSearchLogFormat("Error Log Index=%d", {unsigned{page[1]}});
    AddSearchLogFormat("Device Error Count=%d", {unsigned{word(page, 452)}});
    for (int i = 1; i <= 5; ++i) {
        const auto entry = page.subspan(2 + 90 * static_cast<std::size_t>(i - 1), 90);
        if (!IsAllZero(entry)) dumpErrorEntry(i, entry);
    }
}

void DumpSelfTestLog(TSmartBlock page) {
    TSearchLogIndent outer(2);
    AddSearchLogLine("Smart Self-Test Log -->");
    TSearchLogIndent inner(2);
    DumpSector(page, true, false);
    AddSearchLogFormat("Revision=$%.4x", {unsigned{word(page, 0)}});
    AddSearchLogFormat("Self-Test Index=%d", {unsigned{page[508]}});
    for (int n = 1; n <= 21; ++n) {
        const auto e = page.subspan(2 + 24 * static_cast<std::size_t>(n - 1), 24);
        if (IsAllZero(e)) continue;
        const std::uint32_t lba = e[5] | (e[6] << 8) | (e[7] << 16) | (static_cast<std::uint32_t>(e[8]) << 24);
        AddSearchLogFormat(
            "Entry %2d : %-18s  -  %-29s - %3d%%  -  Failure Checkpoint is %3d  -  Failing LBA is %s",
            {n, SelfTestTypeName(e[0]), SelfTestStatusName(static_cast<std::uint8_t>(e[1] >> 4)),
             SelfTestPercent(static_cast<std::uint8_t>(e[1] & 0x0F)), unsigned{e[4]}, LbaText(lba)});
    }
}
