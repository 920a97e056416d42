#include "firmware/uguru.h"

#include <exception>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvtext.h"
#include "firmware/cvsmbios.h"

using cvformat::Format;

namespace {

// Products of the maker whose chip must never be accessed (whole name).
constexpr const char* NeverAccessed[] = {"NOWUNUSEDAN8 32X(C51-CK804)"};

constexpr std::uint8_t CmdStartSync = 0x00;
constexpr int ReplyPollBudget = 5000;

constexpr std::uint8_t BoardIdBank = 9;
constexpr std::uint8_t BoardIdOffset = 10;
constexpr std::uint8_t SensorBank = 8;
constexpr std::uint8_t SensorOffset = 128;

// The older generations' waits have no lines of their own; they end silently at the bound.
bool NotBusy() { return PollUGuruStatus(UGuruBusyBit, true) < 0; }
bool Ready() { return PollUGuruStatus(UGuruReadyBit, false) < 0; }

std::unique_ptr<platform::NamedMutex> OpenMutex(const char* name) {
    return platform::current().createMutex(name);
}

// Three older-generation transactions of one item: its value, then its two settings replies.
void ReadItem(TUGuru& guru, std::uint8_t valueCmd, std::uint8_t settingsCmd, int settingsCount, std::uint8_t item,
              TMyByteArray& value, TMyByteArray& settings1, TMyByteArray& settings2) {
    const TMyByteArray request{item};
    guru.SendCommand(valueCmd, request, 1, value);
    guru.SendCommand(settingsCmd, request, settingsCount, settings1);
    guru.SendCommand(settingsCmd, request, settingsCount, settings2);
}

}  // namespace

int FindUGuruBoard(const std::string& product) {
    const std::string upper = UpperCase(product);
    for (std::size_t row = 0; row < ugurutables::BoardCount; ++row) {
        const std::string prefix = UpperCase(ugurutables::Boards[row].Model);
        if (upper.compare(0, prefix.size(), prefix) == 0) return static_cast<int>(row);
    }
    return -1;
}

TUGuru::TUGuru() {
    WriteDebugLog("Entering UGURU create");
    FOldMutex = OpenMutex(UGuruOldMutexName);
    FVer3Mutex = OpenMutex(UGuruVer3MutexName);
    ReadMotherboard();
    WriteDebugLog(Format("UGURU found %s %s", {Trim(FManufacturer), Trim(FProduct)}));
    MatchBoard();
}

TUGuru::~TUGuru() = default;

void TUGuru::ReadMotherboard() {
    try {
        if (!SMBiosExplorer) return;
        FManufacturer = SMBiosExplorer->GetBoardManufacturer();
        FProduct = SMBiosExplorer->GetBoardProduct();
        FVersion = SMBiosExplorer->GetBoardVersion();
    } catch (const std::exception& e) {
        WriteDebugLog("UGURU ReadMotherboard error (" + std::string(e.what()) + ")");
    }
}

void TUGuru::MatchBoard() {
    if (LowerCase(FManufacturer) != UGuruBoardMaker) return;
    for (const char* product : NeverAccessed) {
        if (SameText(FProduct, product)) {
            WriteDebugLog(Format("UGURU is unable to access ABIT %s", {FProduct}));
            return;
        }
    }
    const int row = FindUGuruBoard(FProduct);
    if (row < 0) return;
    const TUGMBDefinition& board = ugurutables::Boards[static_cast<std::size_t>(row)];
    if (board.Generation == 0) {
        WriteDebugLog("UGURU found a blacklisted motherboard match");
        return;
    }
    FModel = board.Model;
    FGeneration = board.Generation;
    WriteDebugLog("UGURU found a motherboard match");
    FMatched = true;
    for (const TUGItemRecord& r : ugurutables::Items[static_cast<std::size_t>(row)])
        FItems.push_back({r.Index, r.Name, r.Kind, r.Multiplier, r.Divisor});
}

platform::NamedMutex* TUGuru::GenerationMutex() const {
    return FGeneration > 2 ? FVer3Mutex.get() : FOldMutex.get();
}

void TUGuru::Lock() {
    if (auto* mutex = GenerationMutex()) mutex->lock();
}

void TUGuru::Unlock() {
    if (auto* mutex = GenerationMutex()) mutex->unlock();
}

bool TUGuru::Synchronise() {
    if (!NotBusy()) return false;
    WriteUGuruPort(UGuruStatusPort, CmdStartSync);
    if (!NotBusy()) return false;
    for (int i = 0; i < UGuruSyncDataReads; ++i) {
        if (!Ready()) return false;
        if (ReadUGuruPort(UGuruDataPort) == UGuruSyncAnswer) return true;
    }
    return false;
}

bool TUGuru::SendRequest(std::uint8_t cmd, const TMyByteArray& request) {
    if (!NotBusy()) return false;
    WriteUGuruPort(UGuruStatusPort, cmd);
    if (!NotBusy()) return false;
    for (std::uint8_t byte : request) {
        WriteUGuruPort(UGuruDataPort, byte);
        if (!NotBusy()) return false;
    }
    return NotBusy();
}

int TUGuru::SendCommand(std::uint8_t cmd, const TMyByteArray& request, int replyCount, TMyByteArray& reply) {
    Lock();
    int result = ReplyIncomplete;
    reply.clear();
    if (Synchronise() && SendRequest(cmd, request)) {
        int budget = ReplyPollBudget;
        while (budget > 0 && static_cast<int>(reply.size()) < replyCount) {
            --budget;
            if (ReadUGuruPort(UGuruStatusPort) & UGuruReadyBit) {
                reply.push_back(ReadUGuruPort(UGuruDataPort));
                budget = ReplyPollBudget;
            }
        }
        if (budget > 0) result = static_cast<int>(reply.size());
    }
    Unlock();
    return result;
}

void TUGuru::ReadSensorItem(std::uint8_t item, TMyByteArray& value, TMyByteArray& settings1, TMyByteArray& settings2) {
    ReadItem(*this, 0x21, 0x22, 3, item, value, settings1, settings2);
}

void TUGuru::ReadFanItem(std::uint8_t item, TMyByteArray& value, TMyByteArray& settings1, TMyByteArray& settings2) {
    ReadItem(*this, 0x26, 0x27, 2, item, value, settings1, settings2);
}

void TUGuru::ReadBoardId() {
    TMyByteArray id;
    Lock();
    const int got = UGuruRead(BoardIdBank, BoardIdOffset, 2, id);
    Unlock();
    if (got == 2) {
        FBoardId = static_cast<std::uint16_t>(id[0] << 8 | id[1]);
        WriteDebugLog(Format("Abit uGuru3 BoardId=$%.4x", {static_cast<int>(FBoardId)}));
    } else {
        WriteDebugLog("Error reading uGuru3 BoardId");
    }
}

TMyByteArray TUGuru::GetVer3SensorData() {
    if (FBoardId == 0xFFFF) ReadBoardId();
    platform::Clock& clock = platform::current().clock();
    if (!FLastBlockTime || clock.monotonicMs() - *FLastBlockTime > BlockLifetimeMs) {
        Lock();
        const int got = UGuruRead(SensorBank, SensorOffset, SensorBlockSize, FSensorBlock);
        Unlock();
        if (got < static_cast<int>(SensorBlockSize)) {
            WriteDebugLog(Format("UGuru3 GetVer3SensorData received %d bytes", {got}));
            FSensorBlock.clear();
        }
        FLastBlockTime = clock.monotonicMs();
    }
    FSensorBlock.resize(SensorBlockSize, 0);
    return FSensorBlock;
}
