#pragma once
// How a link's operations reach the hardware, chosen once from the host kind:
// the SMBus operations (retried transactions through the link's engine), or
// port windows that take the same operations straight to I/O ports.

#include <cstdint>
#include <memory>

#include "hw/cvlink.h"

class TLinkAccess {
public:
    explicit TLinkAccess(TLink& link) : link_(link) {}
    virtual ~TLinkAccess() = default;
    TLinkAccess(const TLinkAccess&) = delete;
    TLinkAccess& operator=(const TLinkAccess&) = delete;

    virtual bool WriteQuick(int address, std::uint8_t value);
    virtual bool WriteByteData(int address, std::uint8_t command, std::uint8_t value);
    virtual bool WriteWordData(int address, std::uint8_t command, std::uint16_t value);
    virtual bool SelectByte(int address, std::uint8_t command);
    virtual bool SelectWord(int address, std::uint8_t command);
    virtual bool ReadByteData(int address, std::uint8_t command, std::uint8_t& value);
    virtual bool ReadWordData(int address, std::uint8_t command, std::uint16_t& value);
    virtual bool ReadBlock(int address, TSMBBlockData& data);
    virtual bool WriteBlock(int address, const TSMBBlockData& data);
    virtual std::uint8_t ResultByte();
    virtual std::uint16_t ResultWord();
    virtual TSMBBlockData GetBlockResult();
    virtual std::uint8_t ReadPort(std::uint16_t port, std::uint8_t defaultValue);
    virtual void WritePort(std::uint16_t port, std::uint8_t value);

protected:
    TLink& Link() const { return link_; }
    // The link's base plus an offset; past FFFFh it reaches no port.
    std::uint32_t Port(std::uint32_t offset) const;

private:
    TLink& link_;
};

// A window of I/O ports in the link's place: a word select is a byte select,
// results are read from the port the last select chose, and there are no
// block transfers. `name` is the window's name in the log.
class TPortWindowAccess : public TLinkAccess {
public:
    TPortWindowAccess(TLink& link, const char* name) : TLinkAccess(link), name_(name) {}
    bool SelectWord(int address, std::uint8_t command) override;
    bool ReadBlock(int address, TSMBBlockData& data) override;
    bool WriteBlock(int address, const TSMBBlockData& data) override;
    std::uint8_t ResultByte() override;
    std::uint16_t ResultWord() override;

protected:
    virtual std::uint32_t ResultPort() const = 0;

private:
    const char* name_;
};

// ISA index/data window: index port B+5, data port B+6.
class TIsaAccess : public TPortWindowAccess {
public:
    explicit TIsaAccess(TLink& link) : TPortWindowAccess(link, "ISA") {}
    bool WriteQuick(int address, std::uint8_t value) override;
    bool WriteByteData(int address, std::uint8_t command, std::uint8_t value) override;
    bool WriteWordData(int address, std::uint8_t command, std::uint16_t value) override;
    bool SelectByte(int address, std::uint8_t command) override;
    std::uint8_t ReadPort(std::uint16_t port, std::uint8_t defaultValue) override;
    void WritePort(std::uint16_t port, std::uint8_t value) override;

protected:
    std::uint32_t ResultPort() const override;
};

// ISA flat window: register r at port B+r.
class TIsaFlatAccess : public TPortWindowAccess {
public:
    explicit TIsaFlatAccess(TLink& link) : TPortWindowAccess(link, "ISAFlat") {}
    bool WriteQuick(int address, std::uint8_t value) override;
    bool WriteByteData(int address, std::uint8_t command, std::uint8_t value) override;
    bool WriteWordData(int address, std::uint8_t command, std::uint16_t value) override;
    bool SelectByte(int address, std::uint8_t command) override;

protected:
    std::uint32_t ResultPort() const override;

private:
    std::uint16_t flatRegister_ = 0;  // the register of the last select
};

// Embedded-controller mailbox: byte reads and writes go to the mailbox
// (page = address, register = command); the rest stays SMBus and fails there.
class TECMailboxAccess : public TLinkAccess {
public:
    using TLinkAccess::TLinkAccess;
    bool WriteByteData(int address, std::uint8_t command, std::uint8_t value) override;
    bool ReadByteData(int address, std::uint8_t command, std::uint8_t& value) override;
};

std::unique_ptr<TLinkAccess> MakeLinkAccess(TLink& link);
