#pragma once
// A Super I/O chip's configuration space at an index/data port pair. Outside
// configuration mode the ports read FFh and drop writes, as on a real chip;
// the entry key written to the index port opens it, the exit key closes it.
// The key must arrive as consecutive writes to the index port: any other
// byte or any access to the data port starts the match over. While open the
// index port reads back the index. Registers below 30h are global (07h
// selects the logical device); 30h and up belong to the selected device.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

class SuperIOConfig : public BytePortDevice {
public:
    static constexpr std::uint8_t DeviceSelect = 0x07;
    static constexpr std::uint8_t FirstDeviceRegister = 0x30;

    // An empty entry key leaves the space always open; no exit key never closes it.
    SuperIOConfig(PortSpace& ports, std::uint16_t indexPort, std::uint16_t dataPort,
                  std::vector<std::uint8_t> enterKey, std::optional<std::uint8_t> exitKey);
    static std::shared_ptr<SuperIOConfig> install(PortSpace& ports, std::uint16_t indexPort, std::uint16_t dataPort,
                                                  std::vector<std::uint8_t> enterKey,
                                                  std::optional<std::uint8_t> exitKey, const std::string& name);

    std::shared_ptr<RegisterFile> globals() { return globals_; }
    // The logical device's registers, made on first use.
    std::shared_ptr<RegisterFile> device(std::uint8_t number);
    // While the bit of a global register is set, device registers ignore writes.
    void setLock(RegisterBit bit) { lock_ = bit; }
    // Builds the adaptor a device decodes, for `size` ports from a base.
    using WindowMaker = std::function<std::shared_ptr<PortDevice>(std::uint16_t base)>;
    // The device's activation (30h bit 0) and base (60h high, 61h low) place
    // its window on the ports: claimed at the base while active, moved with
    // the base, released when deactivated. A base whose ports are taken
    // leaves the window off the bus.
    void setDecode(std::uint8_t device, WindowMaker make, int size);
    // Setting the bit of a global register also closes the space (the ITE
    // exit: register 02h := 02h); the bit itself is not kept.
    void setExitRegister(RegisterBit bit) { exitRegister_ = bit; }
    // A chip left in configuration mode (by firmware or another program).
    void setConfigMode(bool open);
    bool inConfigMode() const { return open_; }

protected:
    bool owns(std::uint16_t port) const override { return port == indexPort_ || port == dataPort_; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    struct Decode {
        WindowMaker make;
        int size;
        std::shared_ptr<PortDevice> placed;
    };
    RegisterFile* target();
    void placeWindow(std::uint8_t device);
    void keyByte(std::uint8_t value);

    std::uint16_t indexPort_;
    std::uint16_t dataPort_;
    std::vector<std::uint8_t> enterKey_;
    std::optional<std::uint8_t> exitKey_;
    std::shared_ptr<RegisterFile> globals_ = std::make_shared<RegisterFile>();
    std::map<std::uint8_t, std::shared_ptr<RegisterFile>> devices_;
    std::map<std::uint8_t, Decode> decodes_;
    PortSpace& ports_;
    std::optional<RegisterBit> lock_;
    std::optional<RegisterBit> exitRegister_;
    bool open_;
    std::size_t keyProgress_ = 0;
    std::uint8_t index_ = 0;
};

}  // namespace platform::sim
