#pragma once
// "DIMM info": reads the SPD EEPROM of every memory module on the chipset's
// SMBus and describes each one in the information page's memo.

#include <string>
#include <vector>

class TLink;
struct TBoardIdentity;

// The "DIMM info" box of the information page.
class TDimmInfoView {
public:
    virtual ~TDimmInfoView() = default;
    virtual void SetButtonEnabled(bool enabled) = 0;
    virtual void SetLines(const std::vector<std::string>& lines) = 0;
};

// The integer part, plus one unless the excess is below 0.0001.
double RoundUpCycles(double x);
// The lines of one module read at Address (50h + ModuleNumber); none when its
// image is not a valid one.
void DecodeDimm(TLink& link, int address, int moduleNumber, std::vector<std::string>& lines);
// Every SMBus link but graphics cards' buses, in list order.
std::vector<std::string> ReadDimmInfo(const TBoardIdentity* board);
// "Read info": disabled while it reads, enabled again whatever happens.
void BTNDimmInfoClick(TDimmInfoView& view, const TBoardIdentity* board);
