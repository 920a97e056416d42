#pragma once
// The access object of the uGuru microcontroller on the boards of one board
// maker: identifies the board from its SMBIOS identity, holds the board's row
// of the built-in tables (generation, 25 items with their scaling) and offers
// the older generations' item commands and the uGuru3 sensor block, each
// transaction under the generation's named mutex.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "firmware/uguru3.h"
#include "platform/platform.h"

struct TUGItemParms {
    std::uint8_t Index = 0;  // older generations: item number; uGuru3: offset in the sensor block
    std::string Name;
    std::uint8_t Kind = 0;   // 0 unused, 1 temperature, 2 voltage, 3 fan
    std::int32_t Multiplier = 1;
    std::int32_t Divisor = 1;
};

// One row of the board table; generation 0 would mark a board never accessed.
struct TUGMBDefinition {
    const char* Model;
    int Generation;
    std::uint16_t BoardId;  // what a uGuru3 board of the model reports; not compared
};

// An item record as the generated table stores it.
struct TUGItemRecord {
    std::uint8_t Index;
    const char* Name;
    std::uint8_t Kind;
    std::int32_t Multiplier;
    std::int32_t Divisor;
};

namespace ugurutables {
constexpr std::size_t BoardCount = 19;
constexpr std::size_t ItemsPerBoard = 25;
extern const std::array<TUGMBDefinition, BoardCount> Boards;
extern const std::array<std::array<TUGItemRecord, ItemsPerBoard>, BoardCount> Items;
}  // namespace ugurutables

// The SMBIOS board manufacturer these boards carry: the maker's web address.
inline constexpr const char* UGuruBoardMaker = "http://www.abit.com.tw/";
inline constexpr const char* UGuruOldMutexName = "AC2003_MUTEX";
inline constexpr const char* UGuruVer3MutexName = "Access_ABIT_UGURU";

class TUGuru {
public:
    static constexpr int ReplyIncomplete = 255;
    static constexpr std::uint64_t BlockLifetimeMs = 1000;
    static constexpr std::size_t SensorBlockSize = 48;

    TUGuru();
    ~TUGuru();
    TUGuru(const TUGuru&) = delete;
    TUGuru& operator=(const TUGuru&) = delete;

    // The mutex of the board's generation, waited for without a time-out.
    void Lock();
    void Unlock();

    int GetItemCount() const { return static_cast<int>(FItems.size()); }
    // N from 0 to GetItemCount() - 1.
    const TUGItemParms& GetItemParms(int n) const { return FItems.at(static_cast<std::size_t>(n)); }

    // One older-generation transaction under the lock: the number of reply
    // bytes read, or 255 when the chip stalled (Reply keeps what came).
    int SendCommand(std::uint8_t cmd, const TMyByteArray& request, int replyCount, TMyByteArray& reply);
    void ReadSensorItem(std::uint8_t item, TMyByteArray& value, TMyByteArray& settings1, TMyByteArray& settings2);
    void ReadFanItem(std::uint8_t item, TMyByteArray& value, TMyByteArray& settings1, TMyByteArray& settings2);
    // The uGuru3 sensor block, always 48 bytes (zeros after a failed read),
    // read at most once per second.
    TMyByteArray GetVer3SensorData();

    bool Matched() const { return FMatched; }
    const std::string& Manufacturer() const { return FManufacturer; }
    const std::string& Product() const { return FProduct; }
    const std::string& Version() const { return FVersion; }
    const std::string& Model() const { return FModel; }
    int Generation() const { return FGeneration; }
    std::uint16_t BoardId() const { return FBoardId; }

private:
    void ReadMotherboard();
    void MatchBoard();
    void ReadBoardId();
    platform::NamedMutex* GenerationMutex() const;
    // Steps of SendCommand; false when a wait ran out.
    bool Synchronise();
    bool SendRequest(std::uint8_t cmd, const TMyByteArray& request);

    std::unique_ptr<platform::NamedMutex> FOldMutex;
    std::unique_ptr<platform::NamedMutex> FVer3Mutex;
    bool FMatched = false;
    std::string FManufacturer;
    std::string FProduct;
    std::string FVersion;
    std::string FModel;
    std::uint16_t FBoardId = 0xFFFF;
    int FGeneration = 0;
    std::vector<TUGItemParms> FItems;
    TMyByteArray FSensorBlock;
    std::optional<std::uint64_t> FLastBlockTime;  // monotonic ms
};

// The row of the board table a product matches (prefix, case-insensitive, in
// row order); -1 when none does.
int FindUGuruBoard(const std::string& product);
