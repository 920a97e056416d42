#include <gtest/gtest.h>

#include "hw/cvsuperioinfo.h"

class RecordSuperIO : public ::testing::Test {
protected:
    ~RecordSuperIO() override { SuperIOInfo = {}; }
};

TEST_F(RecordSuperIO, NoChipUntilOneIsRecorded) {
    EXPECT_EQ(SuperIOInfo.ChipCode, 1);
    RecordSuperIOChip(30, "");
    EXPECT_EQ(SuperIOInfo.ChipCode, 1);
    EXPECT_EQ(SuperIOInfo.ConfigPort, 0);
}

TEST_F(RecordSuperIO, PortAndNameComeBackFromTheText) {
    RecordSuperIOChip(33, "$002E Winbond W83627HF");
    EXPECT_EQ(SuperIOInfo.ChipCode, 33);
    EXPECT_EQ(SuperIOInfo.ConfigPort, 0x2E);
    EXPECT_EQ(SuperIOInfo.ChipName, "Winbond W83627HF");
    EXPECT_EQ(SuperIOInfo.Name, "$002E Winbond W83627HF");
    RecordSuperIOChip(0, "$03F0 FDC37C78");
    EXPECT_EQ(SuperIOInfo.ConfigPort, 0x3F0);
    EXPECT_EQ(SuperIOInfo.ChipCode, 0);
    EXPECT_EQ(SuperIOInfo.ChipName, "FDC37C78");
}

TEST_F(RecordSuperIO, TextWithoutAPortChangesNothing) {
    for (const char* text : {"Winbond", "$2E Winbond", "$00ZE Winbond", "002E Winbond"}) {
        SCOPED_TRACE(text);
        RecordSuperIOChip(33, text);
        EXPECT_EQ(SuperIOInfo.ChipCode, 1);
        EXPECT_EQ(SuperIOInfo.ConfigPort, 0);
    }
}
