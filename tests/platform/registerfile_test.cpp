#include "platform/sim/registerfile.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace platform::sim;

namespace {

struct BehaviourCase {
    const char* name;
    RegisterBehaviour behaviour;
    std::uint8_t initial;
    std::uint8_t written;
    std::uint8_t firstRead;
    std::uint8_t secondRead;
};

const BehaviourCase behaviourCases[] = {
    {"plain", RegisterBehaviour::plain(), 0x00, 0x5A, 0x5A, 0x5A},
    {"read-only", RegisterBehaviour::readOnly(), 0x52, 0xFF, 0x52, 0x52},
    {"write mask keeps the other bits", RegisterBehaviour::masked(0x0F), 0xF0, 0xAB, 0xFB, 0xFB},
    {"read-to-clear all", RegisterBehaviour::readToClear(), 0x00, 0x81, 0x81, 0x00},
    {"read-to-clear some bits", RegisterBehaviour::readToClear(0x80), 0x00, 0x85, 0x85, 0x05},
};

}  // namespace

TEST(RegisterFile, BehavioursShapeWhatTheProgramSees) {
    for (const auto& c : behaviourCases) {
        SCOPED_TRACE(c.name);
        RegisterFile file;
        file.set(0x40, c.initial);
        file.setBehaviour(0x40, c.behaviour);
        file.write(0x40, c.written);
        EXPECT_EQ(file.read(0x40), c.firstRead);
        EXPECT_EQ(file.read(0x40), c.secondRead);
    }
}

TEST(RegisterFile, PeekAndSetBypassBehaviours) {
    RegisterFile file;
    file.setBehaviour(0x41, RegisterBehaviour::readToClear());
    file.setBehaviour(0x42, RegisterBehaviour::readOnly());
    file.set(0x41, 0x07);
    file.set(0x42, 0x99);
    EXPECT_EQ(file.peek(0x41), 0x07);
    EXPECT_EQ(file.peek(0x41), 0x07);
    EXPECT_EQ(file.peek(0x42), 0x99);
}

TEST(RegisterFile, GeneratorsAnswerReadsAndOutliveWrites) {
    RegisterFile file;
    file.setGenerator(0x20, constantValue(0x52));
    file.setGenerator(0x21, scriptedValues({0x10, 0x20, 0x30}));
    file.setGenerator(0x22, countingValue(0xFE, 1));
    file.write(0x20, 0x00);
    EXPECT_EQ(file.read(0x20), 0x52);

    std::vector<std::uint8_t> script, counter;
    for (int i = 0; i < 4; ++i) {
        script.push_back(file.read(0x21));
        counter.push_back(file.read(0x22));
    }
    EXPECT_EQ(script, (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0x30}));
    EXPECT_EQ(counter, (std::vector<std::uint8_t>{0xFE, 0xFF, 0x00, 0x01}));
    EXPECT_THROW(scriptedValues({}), std::invalid_argument);
}

TEST(RegisterFile, BanksAreSeparateAndRangeChecked) {
    RegisterFile file(2);
    file.set(0x50, 0x11, 0);
    file.set(0x50, 0x22, 1);
    EXPECT_EQ(file.read(0x50), 0x11);
    file.selectBank(1);
    EXPECT_EQ(file.bank(), 1);
    EXPECT_EQ(file.read(0x50), 0x22);
    file.write(0x50, 0x33);
    EXPECT_EQ(file.peek(0x50, 0), 0x11);
    EXPECT_EQ(file.peek(0x50, 1), 0x33);

    EXPECT_THROW(file.selectBank(2), std::out_of_range);
    EXPECT_THROW(file.selectBank(-1), std::out_of_range);
    EXPECT_THROW(file.set(0x00, 0, 2), std::out_of_range);
    EXPECT_THROW(RegisterFile(0), std::invalid_argument);
}
