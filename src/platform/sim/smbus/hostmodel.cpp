#include "platform/sim/smbus/hostmodel.h"

#include <stdexcept>

namespace platform::sim {

SMBusHostModel::SMBusHostModel(std::uint16_t base, std::uint16_t size, std::shared_ptr<SMBusSegment> segment,
                               SMBusHostTiming timing)
    : base_(base), size_(size), segment_(std::move(segment)), timing_(timing) {
    if (!segment_) throw std::invalid_argument("SMBus host without a segment");
    if (size == 0 || base + size - 1 > 0xFFFF) throw std::invalid_argument("SMBus host ports out of range");
}

namespace {

class GatedPorts : public PortDevice {
public:
    GatedPorts(std::shared_ptr<PortDevice> device, std::function<bool()> enabled)
        : device_(std::move(device)), enabled_(std::move(enabled)) {}
    std::uint32_t read(std::uint16_t port, int width) override {
        return enabled_() ? device_->read(port, width) : allOnes(width);
    }
    void write(std::uint16_t port, int width, std::uint32_t value) override {
        if (enabled_()) device_->write(port, width, value);
    }

private:
    std::shared_ptr<PortDevice> device_;
    std::function<bool()> enabled_;
};

}  // namespace

void installSMBusHost(PortSpace& ports, std::shared_ptr<SMBusHostModel> host, const std::string& name,
                      std::function<bool()> enabled) {
    const std::uint16_t first = host->base();
    const auto last = static_cast<std::uint16_t>(first + host->size() - 1);
    if (enabled)
        ports.claim(first, last, std::make_shared<GatedPorts>(std::move(host), std::move(enabled)), name);
    else
        ports.claim(first, last, std::move(host), name);
}

void SMBusHostModel::begin(const SMBusRequest& request) {
    segment_->start(request);
    begin(segment_->status());
}

void SMBusHostModel::begin(SMBusSegment::Status outcome) {
    outcome_ = outcome;
    held_ = false;
    phase_ = Phase::Starting;
    left_ = timing_.startReads;
}

void SMBusHostModel::hold() {
    held_ = true;
    phase_ = Phase::Busy;
}

void SMBusHostModel::finish(SMBusSegment::Status outcome) {
    held_ = false;
    phase_ = Phase::Idle;
    finished(outcome);
}

bool SMBusHostModel::pollBusy() {
    if (timing_.stuck != SMBusHostTiming::Stuck::No) {
        if (timing_.stuckAfter <= 0) return true;
        --timing_.stuckAfter;
    }
    if (phase_ == Phase::Starting) {
        if (left_ == SMBusHostTiming::Never) return false;
        if (left_ > 0) {
            --left_;
            return false;
        }
        phase_ = Phase::Busy;
        left_ = timing_.busyReads;
    }
    if (phase_ != Phase::Busy) return false;
    if (held_ || left_ == SMBusHostTiming::Never || outcome_ == SMBusSegment::Status::Timeout) return true;
    if (left_ > 0) {
        --left_;
        return true;
    }
    finish(outcome_);
    return false;
}

void SMBusHostModel::reset(int rank) {
    using Stuck = SMBusHostTiming::Stuck;
    const Stuck stuck = timing_.stuck;
    if ((stuck == Stuck::UntilReset && rank >= 1) || (stuck == Stuck::UntilSecondReset && rank == 2))
        timing_.stuck = Stuck::No;
    if (phase_ != Phase::Idle) {
        held_ = false;
        phase_ = Phase::Idle;
        aborted();
    }
}

}  // namespace platform::sim
