// The embedded-controller mailbox: B+0 claims a page (reads FFh when free,
// FFh written releases it), B+1 selects the register, B+2 carries the data.

#include "base/cvformat.h"
#include "hw/cvlink.h"
#include "hw/cvlinkaccess.h"
#include "hw/cvlinkio.h"
#include "hw/cvsmbushost.h"
#include "platform/platform.h"

namespace {

constexpr int MailboxPollLimit = 10000;
constexpr std::uint8_t Free = 0xFF;
// The first read after start may find the mailbox held by someone who
// never let go: it waits this many extra passes and then forces it free.
constexpr int FirstUseExtraPasses = 10;

struct Mailbox {
    std::uint32_t claim, reg, data;
    explicit Mailbox(std::uint32_t base) : claim(base), reg(base + 1), data(base + 2) {}

    // Waits for the mailbox to be free and claims it for the page at the
    // read that found it free; answers the reads left and the last byte read.
    // A claim on the very last read still counts as a run-out wait.
    int Claim(std::uint8_t page, std::uint8_t& last) const {
        const int left = PollUntil(MailboxPollLimit, [&] {
            last = linkio::ReadPortByte(claim);
            return last == Free;
        });
        if (last == Free) linkio::WritePortByte(claim, page);
        return left;
    }
    void Release() const { linkio::WritePortByte(claim, Free); }
};

}  // namespace

bool TLink::ECWriteByte(std::uint8_t page, std::uint8_t reg, std::uint8_t value) {
    const Mailbox mailbox(baseAddress_);
    std::uint8_t last = 0;
    const int left = mailbox.Claim(page, last);
    CountPolls(left);
    if (last == Free) {
        linkio::WritePortByte(mailbox.reg, reg);
        linkio::WritePortByte(mailbox.data, value);
        mailbox.Release();
    }
    return left > 0;
}

bool TLink::ECReadByte(std::uint8_t page, std::uint8_t reg, std::uint8_t& value) {
    const Mailbox mailbox(baseAddress_);
    value = 0xFF;
    int extraPasses = ecFirstUse_ ? FirstUseExtraPasses : 0;
    std::uint8_t last = 0;
    int left = 0;
    for (;;) {
        left = mailbox.Claim(page, last);
        if (last == Free || extraPasses == 0) break;
        platform::current().clock().sleepMs(1);
        Log(cvformat::Format("%d attempts left...", {extraPasses}));
        --extraPasses;
        if (extraPasses == 1) {
            Log("Forced release!");
            mailbox.Release();
        }
    }
    CountPolls(left);
    if (last == Free) {
        linkio::WritePortByte(mailbox.reg, reg);
        value = linkio::ReadPortByte(mailbox.data);
        mailbox.Release();
    }
    ecFirstUse_ = false;
    if (left == 0)
        Log(cvformat::Format("A=$%.2x R=$%.2x C=%d V=$%.2x B=$%.4x $%.2x", {page, reg, 0, value, baseAddress_, last}));
    return left > 0;
}

bool TECMailboxAccess::WriteByteData(int address, std::uint8_t command, std::uint8_t value) {
    return Link().ECWriteByte(static_cast<std::uint8_t>(address), command, value);
}

bool TECMailboxAccess::ReadByteData(int address, std::uint8_t command, std::uint8_t& value) {
    return Link().ECReadByte(static_cast<std::uint8_t>(address), command, value);
}
