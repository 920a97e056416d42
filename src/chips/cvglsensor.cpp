#include "chips/cvglsensor.h"

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

// Searched inputs 0-2: their limit words and alarm bits (12h bit i).
constexpr std::uint8_t LimitRegs[] = {0x0C, 0x09, 0x0A};
constexpr std::uint8_t AlarmReg = 0x12;
constexpr std::uint8_t RevisionReg = 0x01;
constexpr double Step = 0.019;

}  // namespace

TGLSensor::TGLSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    bool search = false;
    if (chipCode == GL518SM) {
        FChipName = "GL518SM";
        FTemps.resize(1);
        FFans.resize(2);
        FVolts = {{"+3.3V", nullptr}, {"+12V", nullptr}, {"VCORE", nullptr}, {"+5V", nullptr}};
        TChipAccess access(FLink);
        if (Read(RevisionReg) == 0x00) {
            search = true;
            // Clear the low four bits of 11h and 10h for the search; both are restored at the end.
            for (auto [reg, saved] : {std::pair{std::uint8_t{0x11}, &SavedReg11}, std::pair{std::uint8_t{0x10}, &SavedReg10}}) {
                *saved = Read(reg);
                if (*saved) WriteChipByte(FLink, static_cast<int>(FAddress), reg, static_cast<std::uint8_t>(**saved & 0xF0));
            }
            for (std::size_t i = 0; i < 3; ++i) SavedLimits[i] = ReadChipWord(FLink, static_cast<int>(FAddress), LimitRegs[i]);
        }
    } else if (chipCode == GL520SM) {
        FChipName = "GL520SM";
        FTemps.resize(2);
        FFans.resize(2);
        FVolts = {{"+3.3V", nullptr}, {"+12V", nullptr}, {"VCORE", nullptr}, {"-12V", nullptr}, {"Vdd", nullptr}};
    }
    FinishReadingSetup();
    if (search) FPacer = std::make_unique<TPacedStep>([this] { VoltageSearchStep(); });
}

TGLSensor::~TGLSensor() {
    if (!FPacer) return;
    FPacer.reset();
    try {
        TChipAccess access(FLink);
        const int address = static_cast<int>(FAddress);
        if (SearchActive)
            for (std::size_t i = 0; i < 3; ++i)
                if (SavedLimits[i]) WriteLimit(static_cast<int>(i), *SavedLimits[i]);
        if (SavedReg11) WriteChipByte(FLink, address, 0x11, *SavedReg11);
        if (SavedReg10) WriteChipByte(FLink, address, 0x10, *SavedReg10);
    } catch (...) {
        // A destructor cannot report; the chip keeps what it had.
    }
}

std::optional<std::uint8_t> TGLSensor::Read(std::uint8_t reg) {
    return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
}

void TGLSensor::WriteLimit(int input, std::uint16_t word) {
    if (FLink) FLink->WriteWordData(static_cast<int>(FAddress), LimitRegs[input], word);
}

double TGLSensor::GlFanRpm(int count, int divisor) {
    return chipconv::FanRpmDivided(960000.0 / 2, count, divisor, chipconv::NoFan8Bit);
}

void TGLSensor::StartSearch(std::uint8_t alarms) {
    for (std::size_t i = 0; i < 3; ++i) {
        SearchLow[i] = 0;
        SearchHigh[i] = 127;
        if (!(alarms & (1 << i))) {
            if (auto limit = ReadChipWord(FLink, static_cast<int>(FAddress), LimitRegs[i])) {
                SearchLow[i] = static_cast<std::uint8_t>(*limit & 0xFF);
                SearchHigh[i] = static_cast<std::uint8_t>(*limit >> 8);
            }
            SearchHigh[i] = static_cast<std::uint8_t>(SearchLow[i] + (SearchHigh[i] - SearchLow[i]) / 2);
        }
        SearchStep[i] = static_cast<std::uint8_t>((SearchHigh[i] - SearchLow[i]) / 2);
        WriteLimit(static_cast<int>(i), static_cast<std::uint16_t>(SearchHigh[i] << 8 | SearchLow[i]));
    }
    SearchActive = true;
}

void TGLSensor::VoltageSearchStep() {
    if (FChipCode != GL518SM) return;
    try {
        TChipAccess access(FLink);
        // A step whose alarms do not read changes nothing and runs again next time.
        const auto alarms = Read(AlarmReg);
        if (!alarms) return;
        if (!SearchActive) {
            StartSearch(*alarms);
            return;
        }
        const bool narrowing = SearchStep != std::array<std::uint8_t, 3>{};
        for (std::size_t i = 0; i < 3; ++i) {
            const bool alarmed = *alarms & (1 << i);
            if (narrowing) {
                SearchHigh[i] = static_cast<std::uint8_t>(alarmed ? SearchHigh[i] + SearchStep[i] : SearchHigh[i] - SearchStep[i]);
                SearchStep[i] = static_cast<std::uint8_t>(SearchStep[i] >> 1);
                WriteLimit(static_cast<int>(i), static_cast<std::uint16_t>(SearchHigh[i] << 8 | SearchLow[i]));
            } else {
                if (alarmed) ++SearchHigh[i];
                if (SavedLimits[i]) WriteLimit(static_cast<int>(i), *SavedLimits[i]);
            }
        }
        if (narrowing) return;
        SearchResult = SearchHigh;
        SearchDone = true;
        SearchActive = false;
    } catch (const std::exception& e) {
        Log(std::string("Error in the GL518SM voltage search (") + e.what() + ")", 1);
    }
}

void TGLSensor::ReadTempsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (FChipCode == GL518SM) {
        if (auto v = Read(0x04)) values[0] = *v - 119.0;
    } else if (FChipCode == GL520SM) {
        if (auto v = Read(0x04)) values[0] = *v - 130.0;
        if (auto config = Read(0x03)) {
            // Bit 4 gives the second input to -12V.
            if (*config & 0x10) values[1] = -127.0;
            else if (auto v = Read(0x0E)) values[1] = *v - 130.0;
        }
    }
}

void TGLSensor::ReadFansInternal(std::span<double> values) {
    if (values.size() < 2) return;
    TChipAccess access(FLink);
    const auto counts = ReadChipWord(FLink, static_cast<int>(FAddress), 0x07);
    const auto codes = Read(0x0F);
    auto rpm = [](int count, int code) { return GlFanRpm(count, chipconv::DivisorFromCode(code)); };
    PutReading(values, 0,
               FromReads(rpm, FromReads([](std::uint16_t c) { return c >> 8; }, counts), ReadField(codes, 0xC0, 6)));
    PutReading(values, 1,
               FromReads(rpm, FromReads([](std::uint16_t c) { return c & 0xFF; }, counts), ReadField(codes, 0x30, 4)));
}

void TGLSensor::ReadVoltsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    auto scaled = [&](std::size_t n, std::uint8_t reg, double factor) {
        if (auto v = Read(reg)) values[n] = *v * factor;
    };
    if (FChipCode == GL518SM) {
        scaled(2, 0x0D, Step);
        const auto revision = Read(RevisionReg);
        if (revision == 0x00 && SearchDone) {
            // The zeros shown while the first search ran are no readings.
            if (SearchFirstResult) {
                for (std::size_t n : {0u, 1u, 3u}) FVolts[n].Stats->Reset();
                SearchFirstResult = false;
            }
            values[0] = SearchResult[1] * Step;
            values[1] = SearchResult[2] * Step / 3 * 12;
            values[3] = SearchResult[0] * Step / 4 * 5;
        } else if (revision == 0x80) {
            scaled(0, 0x14, Step);
            scaled(1, 0x13, Step / 3 * 12);
            scaled(3, 0x15, Step / 4 * 5);
        }
    } else if (FChipCode == GL520SM) {
        scaled(0, 0x14, Step);
        scaled(1, 0x13, Step * 4.195804196);
        scaled(2, 0x0D, Step);
        if (auto config = Read(0x03); config && (*config & 0x10)) scaled(3, 0x0E, -Step * 7.5);
        scaled(4, 0x15, 0.023);
    }
}
