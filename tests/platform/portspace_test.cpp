#include "platform/sim/portspace.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

using namespace platform::sim;

namespace {

// Answers each port with a fixed value and keeps what was written.
class FakeDevice : public PortDevice {
public:
    explicit FakeDevice(std::uint32_t answer = 0x12345678) : answer_(answer) {}
    std::uint32_t read(std::uint16_t, int) override { return answer_; }
    void write(std::uint16_t port, int, std::uint32_t value) override { written[port] = value; }
    std::map<std::uint16_t, std::uint32_t> written;

private:
    std::uint32_t answer_;
};

struct PortSpaceTest : ::testing::Test {
    PortSpace space;
    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();
    std::shared_ptr<FakeDevice> other = std::make_shared<FakeDevice>(0xAB);
    void SetUp() override {
        space.claim(0x2E, 0x2F, device, "superio");
        space.claim(0x30, 0x30, other, "next");
    }
};

}  // namespace

TEST_F(PortSpaceTest, UnclaimedPortsReadAllOnesForTheWidthAndSwallowWrites) {
    EXPECT_EQ(space.read(0x80, 1), 0xFFu);
    EXPECT_EQ(space.read(0x80, 2), 0xFFFFu);
    EXPECT_EQ(space.read(0x80, 4), 0xFFFFFFFFu);
    space.write(0x80, 1, 0x55);
    EXPECT_TRUE(device->written.empty());
    EXPECT_TRUE(other->written.empty());
    EXPECT_FALSE(space.isClaimed(0x2D));
    EXPECT_TRUE(space.isClaimed(0x2F));
}

TEST_F(PortSpaceTest, ClaimedDeviceAnswersWithinTheWidth) {
    EXPECT_EQ(space.read(0x2E, 1), 0x78u);
    EXPECT_EQ(space.read(0x2F, 2), 0x5678u);
    EXPECT_EQ(space.read(0x2E, 4), 0x12345678u);
    space.write(0x2F, 1, 0x1A5);  // only the low byte fits
    EXPECT_EQ(device->written.at(0x2F), 0xA5u);
}

TEST_F(PortSpaceTest, RejectsBadWidths) {
    EXPECT_THROW(space.read(0x2E, 3), std::invalid_argument);
    EXPECT_THROW(space.write(0x2E, 0, 1), std::invalid_argument);
}

TEST_F(PortSpaceTest, OverlappingClaimIsRefusedNamingBothRanges) {
    try {
        space.claim(0x2F, 0x31, std::make_shared<FakeDevice>(), "hwmon");
        FAIL() << "overlap accepted";
    } catch (const std::invalid_argument& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("0x2F-0x31 (hwmon)"), std::string::npos) << message;
        EXPECT_NE(message.find("0x2E-0x2F (superio)"), std::string::npos) << message;
    }
    EXPECT_THROW(space.claim(0x20, 0x40, std::make_shared<FakeDevice>()), std::invalid_argument);
    EXPECT_THROW(space.claim(0x50, 0x4F, std::make_shared<FakeDevice>()), std::invalid_argument);
    EXPECT_NO_THROW(space.claim(0x2C, 0x2D, std::make_shared<FakeDevice>()));  // touching is not overlapping
}

TEST_F(PortSpaceTest, RecorderKeepsEveryAccessInOrder) {
    space.write(0x2E, 1, 0x87);
    space.read(0x2F, 1);
    space.read(0x99, 2);
    space.write(0x99, 4, 0xDEADBEEF);
    const std::vector<PortAccess> expected{
        {0x2E, 1, 0x87, true}, {0x2F, 1, 0x78, false}, {0x99, 2, 0xFFFF, false}, {0x99, 4, 0xDEADBEEF, true}};
    EXPECT_EQ(space.recorder().accesses(), expected);

    space.recorder().clear();
    space.recorder().setEnabled(false);
    space.read(0x2E, 1);
    EXPECT_TRUE(space.recorder().accesses().empty());
}

TEST_F(PortSpaceTest, FailAlwaysHitsTheWholeDeviceOnly) {
    space.injectFault(0x2E, {Fault::Kind::FailAlways});
    EXPECT_EQ(space.read(0x2F, 1), 0xFFu);
    space.write(0x2F, 1, 0x01);
    EXPECT_TRUE(device->written.empty());
    EXPECT_EQ(space.read(0x30, 1), 0xABu);

    space.injectFault(0x2F, {});
    EXPECT_EQ(space.read(0x2E, 1), 0x78u);
}

TEST_F(PortSpaceTest, FailTimesFailsThatManyAccessesThenAnswers) {
    space.injectFault(0x2E, {Fault::Kind::FailTimes, 2});
    space.write(0x2E, 1, 0x11);                 // fails
    EXPECT_EQ(space.read(0x2E, 1), 0xFFu);      // fails
    EXPECT_TRUE(device->written.empty());
    EXPECT_EQ(space.read(0x2E, 1), 0x78u);      // answers from now on
    space.write(0x2E, 1, 0x22);
    EXPECT_EQ(device->written.at(0x2E), 0x22u);
}

TEST_F(PortSpaceTest, AllOnesSpoilsReadsButWritesArrive) {
    space.injectFault(0x2E, {Fault::Kind::AllOnes});
    EXPECT_EQ(space.read(0x2E, 2), 0xFFFFu);
    space.write(0x2E, 1, 0x33);
    EXPECT_EQ(device->written.at(0x2E), 0x33u);
}

TEST(PortSpaceGarbage, IsRepeatableAndFitsTheWidth) {
    auto garbage = [] {
        PortSpace space;
        space.claim(0x290, 0x297, std::make_shared<FakeDevice>(0));
        space.injectFault(0x295, {Fault::Kind::Garbage});
        std::vector<std::uint32_t> values;
        for (int i = 0; i < 8; ++i) values.push_back(space.read(0x295, 1));
        return values;
    };
    const auto first = garbage();
    EXPECT_EQ(first, garbage());
    bool varies = false;
    for (auto v : first) {
        EXPECT_LE(v, 0xFFu);
        varies = varies || v != first.front();
    }
    EXPECT_TRUE(varies);
}

TEST(PortSpaceFaults, UnclaimedPortCannotFail) {
    PortSpace space;
    EXPECT_THROW(space.injectFault(0x2E, {Fault::Kind::FailAlways}), std::invalid_argument);
}
