#include "platform/sim/uguru.h"

namespace platform::sim {
namespace {

constexpr std::uint8_t Ready = 0x01;
constexpr std::uint8_t Busy = 0x02;
constexpr std::uint8_t SyncAnswer = 0xAC;

// Request bytes each command takes; commands not listed take none and answer nothing.
int requestLength(std::uint8_t cmd) {
    switch (cmd) {
    case 0x1A: return 3;
    case 0x21: case 0x22: case 0x26: case 0x27: case 0x63: return 1;
    default: return 0;
    }
}

}  // namespace

UGuruChip::UGuruChip(std::shared_ptr<RegisterFile> banks) : banks_(std::move(banks)) {}

std::shared_ptr<UGuruChip> UGuruChip::install(PortSpace& ports, std::shared_ptr<RegisterFile> banks) {
    auto chip = std::make_shared<UGuruChip>(std::move(banks));
    ports.claim(DataPort, DataPort, chip, "uGuru data");
    ports.claim(StatusPort, StatusPort, chip, "uGuru status");
    return chip;
}

std::uint8_t UGuruChip::readByte(std::uint16_t port) { return port == StatusPort ? status() : data(); }

void UGuruChip::writeByte(std::uint16_t port, std::uint8_t value) {
    busyLeft_ = behaviour_.busyReads;
    if (port == StatusPort) {
        command(value);
        return;
    }
    switch (state_) {
    case State::Expect10: state_ = value == 0x10 ? State::Expect00 : State::Idle; break;
    case State::Expect00:
        state_ = State::Idle;
        if (value == 0x00) startSync();
        break;
    case State::Request: requestByte(value); break;
    case State::Idle: break;
    }
}

void UGuruChip::startSync() {
    syncing_ = true;
    syncReads_ = 0;
}

std::uint8_t UGuruChip::status() {
    if (behaviour_.busyStuck) return Busy;
    if (busyLeft_ > 0) {
        --busyLeft_;
        return Busy;
    }
    const bool ready = !behaviour_.neverReady && (syncing_ || !reply_.empty());
    return ready ? Ready : 0x00;
}

std::uint8_t UGuruChip::data() {
    if (syncing_) {
        ++syncReads_;
        if (behaviour_.ackOnRead <= 0 || syncReads_ < behaviour_.ackOnRead) return 0x00;
        syncing_ = false;
        return SyncAnswer;
    }
    if (reply_.empty()) return 0x00;
    const std::uint8_t byte = reply_.front();
    reply_.pop_front();
    return byte;
}

void UGuruChip::command(std::uint8_t value) {
    reply_.clear();
    request_.clear();
    syncing_ = false;
    if (value == 0x00) {  // the older generations' synchronisation
        state_ = State::Idle;
        startSync();
    } else if (value == 0x20) {
        state_ = State::Expect10;
    } else {
        cmd_ = value;
        state_ = State::Request;
        if (requestLength(cmd_) == 0) answer();
    }
}

void UGuruChip::requestByte(std::uint8_t value) {
    request_.push_back(value);
    if (static_cast<int>(request_.size()) == requestLength(cmd_)) answer();
}

void UGuruChip::answer() {
    state_ = State::Idle;
    const int arg = request_.empty() ? 0 : request_[0];
    switch (cmd_) {
    case 0x21: queue(0, arg, 1); break;
    case 0x22: queue(1, arg * 3, 3); break;
    case 0x26: queue(2, arg, 1); break;
    case 0x27: queue(3, arg * 2, 2); break;
    case 0x65: queue(4, 0, 1); break;
    case 0x63: queue(5, arg * 32, 32); break;
    case 0x1A: queue(request_[0], request_[1], request_[2]); break;
    default: break;
    }
    if (behaviour_.replyLimit >= 0 && static_cast<int>(reply_.size()) > behaviour_.replyLimit)
        reply_.resize(static_cast<std::size_t>(behaviour_.replyLimit));
}

// Bytes past the last register, or of a bank the chip lacks, are not sent.
void UGuruChip::queue(int bank, int first, int count) {
    if (bank >= banks_->bankCount()) return;
    banks_->selectBank(bank);
    for (int reg = first; reg < first + count && reg < RegisterFile::registersPerBank; ++reg)
        reply_.push_back(banks_->read(static_cast<std::uint8_t>(reg)));
}

}  // namespace platform::sim
