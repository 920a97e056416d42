// The SiS SMBus hosts: the indexed SiS5595, the port-mapped SiS630 class
// (with its block windows) and the SiS96x.

#include <algorithm>
#include <memory>

#include "hw/cvsmbusports.h"

namespace {

// ---- SiS5595 --------------------------------------------------------------------

namespace Reg5595 {
constexpr std::uint8_t StsLo = 0x00, StsHi = 0x01, CtlLo = 0x02, Addr = 0x04, Cmd = 0x05;
// Host data, for writes and results (10h-12h are the slave side).
constexpr std::uint8_t Data0 = 0x08, Data1 = 0x09;
}  // namespace Reg5595

constexpr TProtocolBits SiS5595Protocols = {0x00, 0x02, 0x04, 0x06, 0x0A};

class TSiS5595Host : public TPortSMBusHost {
public:
    explicit TSiS5595Host(TLink& link) : TPortSMBusHost(link), index_(At(0x38)), data_(At(0x39)) {}

    bool Prepare(const TSMBusRequest& request) override {
        std::uint8_t status = 0;
        if (Wait([&] {
                status = Read(Reg5595::StsLo);
                return (status & 0x02) == 0;
            }) == 0)
            return Fail(SMBusErrors::TimeoutStart, "Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)",
                        {request.Address, status});
        Write(Reg5595::Addr, request.AddressByte());
        Write(Reg5595::Cmd, request.Command);
        if (!request.Read) {
            Write(Reg5595::Data0, request.Data0);
            if (request.Protocol == SMBusProtocols::WordData) Write(Reg5595::Data1, request.Data1);
        }
        Write(Reg5595::CtlLo, static_cast<std::uint8_t>((Read(Reg5595::CtlLo) & 0xC1) | SiS5595Protocols[request.Protocol]));
        return true;
    }
    bool BusyCheck(const TSMBusRequest& request) override {
        std::uint16_t status = ReadStatus();
        if (status == 0) return true;
        Link().Log("Prior to bit reset : ");
        status = WriteBackStatus(status);
        Link().Log("After bit reset : ");
        if (status & 0x02) {
            Link().Log("About to KILL...");
            Write(Reg5595::CtlLo, Read(Reg5595::CtlLo) | 0x20);
            status = WriteBackStatus(status);
            if (status != 0x0002)
                return Fail(SMBusErrors::TimeoutStart, "SMBUS kill FAILED! $%.2x : $%.4x", {request.Address, status});
        }
        return true;
    }
    void StartTransaction(const TSMBusRequest&) override { Write(Reg5595::CtlLo, Read(Reg5595::CtlLo) | 0x10); }
    void WaitForStart() override {
        Wait([this] { return (Read(Reg5595::StsLo) & 0x02) != 0; });
    }
    void WaitForEnd() override {
        endLeft_ = Wait([this] {
            status_ = Read(Reg5595::StsLo);
            return (status_ & 0x40) != 0;
        });
    }
    bool DecodeError(const TSMBusRequest& request) override {
        return DecodeByRules(request, endLeft_, status_,
                             {{0x10, 0, "SMBus Device error! $%.2x"}, {0x20, SMBusErrors::Collision, "SMBus collision!"}});
    }
    bool FinalReset(const TSMBusRequest& request, bool result) override {
        std::uint16_t status = ReadStatus();
        if (status == 0) return result;
        status = WriteBackStatus(status);
        if (status == 0) return result;
        Log("Failed reset at end $%.2x STS=%.4x", {request.Address, status});
        return false;
    }
    std::uint8_t ResultByte() override { return Read(Reg5595::Data0); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override {
        return {Read(Reg5595::Data0), Read(Reg5595::Data1)};
    }
    // Blocks move no data on this host.

private:
    std::uint8_t Read(std::uint8_t reg) {
        Out(index_, reg);
        return In(data_);
    }
    void Write(std::uint8_t reg, std::uint8_t value) {
        Out(index_, reg);
        Out(data_, value);
    }
    std::uint16_t ReadStatus() {
        const std::uint8_t low = Read(Reg5595::StsLo);
        return static_cast<std::uint16_t>(Read(Reg5595::StsHi) << 8 | low);
    }
    // Writes the status back (clearing its flags) and reads it again.
    std::uint16_t WriteBackStatus(std::uint16_t status) {
        Write(Reg5595::StsLo, static_cast<std::uint8_t>(status));
        Write(Reg5595::StsHi, static_cast<std::uint8_t>(status >> 8));
        return ReadStatus();
    }

    const std::uint32_t index_, data_;
    std::uint8_t status_ = 0;
    int endLeft_ = 0;
};

// ---- SiS630 class and SiS96x ------------------------------------------------------

// Ports of the two register sets, as offsets from the base.
struct TSiSLayout {
    std::uint32_t sts, cnt, hcnt, addr, cmd, d0, d1;
    bool debugKillLine;  // the SiS96x names the kill in DebugMode
};
constexpr TSiSLayout SiSx30Layout = {0x80, 0x82, 0x83, 0x84, 0x85, 0x88, 0x89, false};
constexpr TSiSLayout SiS968Layout = {0x00, 0x02, 0x03, 0x04, 0x05, 0x10, 0x11, true};

constexpr TProtocolBits SiSProtocols = {0, 1, 2, 3, 5};
constexpr std::uint8_t Kill = 0x20, Start = 0x10, WindowDone = 0x10, StsErrors = 0x06, StsCollision = 0x04;

class TSiSHost : public TPortSMBusHost {
public:
    TSiSHost(TLink& link, const TSiSLayout& layout)
        : TPortSMBusHost(link), layout_(layout), sts_(At(layout.sts)), cnt_(At(layout.cnt)),
          hcnt_(At(layout.hcnt)), addr_(At(layout.addr)), cmd_(At(layout.cmd)), d0_(At(layout.d0)),
          d1_(At(layout.d1)) {}

    bool Prepare(const TSMBusRequest& request) override {
        if (!WaitIdleAndKill(request, "Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)")) return false;
        LoadRegisters(request, request.Protocol);
        return true;
    }
    bool BusyCheck(const TSMBusRequest&) override {
        if ((In(cnt_) & 0x01) == 0) return true;
        WriteBackStatus();
        Update(hcnt_, 0x0F, Kill);
        return (In(cnt_) & 0x01) == 0 || Fail(SMBusErrors::NotCompleted);
    }
    void StartTransaction(const TSMBusRequest&) override { Update(hcnt_, 0x0F, Start); }
    void WaitForStart() override {
        Wait([this] { return (In(cnt_) & 0x01) != 0; });
    }
    void WaitForEnd() override {
        Wait([this] {
            control_ = In(cnt_);
            return (control_ & 0x01) == 0;
        });
    }
    bool DecodeError(const TSMBusRequest& request) override {
        if (control_ & 0x01) {
            Log("SMB Error $%.2x : BUSY (%.2x)", {request.Address, control_});
            return false;
        }
        const std::uint8_t status = In(sts_);
        if ((status & StsErrors) == 0) return true;
        if (Link().DebugMode() && (status & StsCollision))
            Fail(SMBusErrors::Collision, "SMB Error $%.2x : COLLISION (%.2x)", {request.Address, status});
        return false;
    }
    bool FinalReset(const TSMBusRequest&, bool result) override {
        const std::uint8_t status = In(sts_);
        if (status != 0) {
            Out(sts_, status);
            In(sts_);
        }
        return result;
    }
    std::uint8_t ResultByte() override { return In(d0_); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {In(d0_), In(d1_)}; }

protected:
    bool WaitIdleAndKill(const TSMBusRequest& request, const char* timeoutPicture) {
        if (WaitIdle() == 0) {
            if (layout_.debugKillLine)
                DebugLog("SMBus $%.2x busy waiting IDLE (STS=$%.2x): killing...", {request.Address, In(sts_)});
            WriteBackStatus();
            Update(hcnt_, 0x0F, Kill);
            if (WaitIdle() == 0)
                return Fail(SMBusErrors::TimeoutStart, timeoutPicture, {request.Address, In(sts_)});
        }
        WriteBackStatus();
        return true;
    }
    void LoadRegisters(const TSMBusRequest& request, std::uint8_t protocol) {
        if (!request.Read) {
            Out(d0_, request.Data0);
            Out(d1_, request.Data1);
        }
        Update(hcnt_, 0x08, SiSProtocols[protocol]);
        if (protocol == SMBusProtocols::Block && !request.Read) LoadFirstWindow(request);
        Out(addr_, request.AddressByte());
        Out(cmd_, request.Command);
    }
    virtual void LoadFirstWindow(const TSMBusRequest&) {}
    int WaitIdle() {
        return Wait([this] { return (In(cnt_) & 0x01) == 0; });
    }
    void WriteBackStatus() { Out(sts_, In(sts_)); }

    const TSiSLayout& layout_;
    const std::uint32_t sts_, cnt_, hcnt_, addr_, cmd_, d0_, d1_;
    std::uint8_t control_ = 0;
};

// The SiS630 class moves blocks in windows of eight bytes at B+88h.
class TSiSx30Host : public TSiSHost {
public:
    explicit TSiSx30Host(TLink& link) : TSiSHost(link, SiSx30Layout), count_(At(0x87)), bytes_(At(0x88)) {}

    std::optional<bool> OwnBlockTransfer(const TSMBusRequest& request) override {
        TSMBBlockData block = request.Read ? TSMBBlockData{} : *request.Block;
        bool result = false;
        if (WaitIdleAndKill(request, "BLK Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)")) {
            LoadRegisters(request, SMBusProtocols::Block);
            if (BusyCheck(request)) {
                result = RunOwnBlock(request, [&] {
                    return request.Read ? ReadWindows(request, block) : WriteWindows(request, block);
                });
            }
        }
        blockBuffer_ = block;
        return Closed(result);
    }
    TSMBBlockData BlockResult() override { return blockBuffer_; }

private:
    static constexpr std::size_t WindowSize = 8;

    void LoadFirstWindow(const TSMBusRequest& request) override {
        sent_ = LoadWindow(*request.Block, 0);
        Out(count_, BlockSize(request));
    }
    std::size_t LoadWindow(const TSMBBlockData& block, std::size_t from) {
        const std::size_t end = std::min(block.size(), from + WindowSize);
        for (std::size_t i = from; i < end; ++i) Out(static_cast<std::uint32_t>(bytes_ + (i - from)), block[i]);
        return end;
    }
    // Waits for a window (or the end); false with the outcome code set on
    // an error or when the wait runs out.
    bool WaitWindow(const TSMBusRequest& request) {
        std::uint8_t status = 0;
        const int left = Wait([&] {
            const bool busy = (In(cnt_) & 0x01) != 0;
            status = In(sts_);
            return !busy || (status & WindowDone) != 0;
        });
        if (status & StsErrors) {
            if (status & StsCollision)
                Fail(SMBusErrors::Collision, "BLK SMB Error $%.2x : COLLISION (%.2x)", {request.Address, status});
            return false;
        }
        return left != 0;
    }
    bool ReadWindows(const TSMBusRequest& request, TSMBBlockData& block) {
        for (bool first = true;; first = false) {
            if (!WaitWindow(request)) return false;
            if (first) {
                const std::uint8_t count = In(count_);
                length_ = count == 0 ? MaxBlockSize : ClampBlockCount(count);
                block.reserve(length_);
            }
            for (std::size_t i = 0; i < WindowSize && block.size() < length_; ++i)
                block.push_back(In(static_cast<std::uint32_t>(bytes_ + i)));
            Out(sts_, WindowDone);
            if (block.size() >= length_) return true;
        }
    }
    bool WriteWindows(const TSMBusRequest& request, const TSMBBlockData& block) {
        while (true) {
            if (!WaitWindow(request)) return false;
            if (sent_ < block.size()) sent_ = LoadWindow(block, sent_);
            Out(sts_, WindowDone);
            if (sent_ >= block.size()) return true;
        }
    }

    const std::uint32_t count_, bytes_;
    std::size_t sent_ = 0;
    std::size_t length_ = 0;
    TSMBBlockData blockBuffer_;
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeSiS5595Host(TLink& link) { return std::make_unique<TSiS5595Host>(link); }
std::unique_ptr<TSMBusHost> MakeSiSx30Host(TLink& link) { return std::make_unique<TSiSx30Host>(link); }
std::unique_ptr<TSMBusHost> MakeSiS968Host(TLink& link) { return std::make_unique<TSiSHost>(link, SiS968Layout); }
