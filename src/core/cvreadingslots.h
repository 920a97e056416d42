#pragma once
// Reading slots: the user-facing entries of the readings page (temperature,
// fan, speed, voltage), each bound to one reading of one sensor, and the
// layout of the page's label rows computed from them.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/cvdutyedits.h"
#include "core/cvsensors.h"

class TLogSinks;

using TSensorList = std::vector<std::unique_ptr<TSensor>>;

enum class TReadingKind { Temp, Fan, Pwm, Volt };

// A fan or voltage slot, and the base of the other two.
class TReadingData {
public:
    std::string Name;
    int SensorIndex = -1;
    int ReadingIndex = -1;  // 1-based within the sensor's readings of the slot's kind
    bool Active = true;     // shown on the readings page
    bool Logged = false;    // written to the daily reading log
};

class TTempReadingData : public TReadingData {
public:
    int Wanted = 0;
    int Warning = 0;
    int Offset = 0;
    bool InTray = false;
    // The speed slots this temperature drives, as 1-based speed-slot numbers.
    std::vector<int> UsedPwms;

    // 1-based; 0 for a position the list does not have.
    int GetUsedPwm(int index) const;
    // Grows the list to Index when shorter; positions below 1 are ignored.
    void SetUsedPwm(int index, int value);
    int UsedPwmCount() const { return static_cast<int>(UsedPwms.size()); }
    void ClearUsedPwms() { UsedPwms.clear(); }
    void AddUsedPwm(int value) { UsedPwms.push_back(value); }
};

class TPwmReadingData : public TReadingData {
public:
    bool Variate = true;
    int MinPercent = 50;
    int MaxPercent = 100;
    std::uint8_t FanState = 0;  // 0 keep, 1 up, 2 down, 3 full
};

int ReadingCount(const TSensor& sensor, TReadingKind kind);
TReading GetReading(const TSensor& sensor, TReadingKind kind, int index);

// The statistics of the reading a slot is bound to: the sensor's zero reading
// for an index out of range, and a shared zero reading when the slot names no
// sensor of the list.
const TValueStats& SlotStats(const TSensorList& sensors, TReadingKind kind, const TReadingData& slot);

// What the window tells the layout about its controls.
struct TLayoutMetrics {
    // Without a window there are no fonts: every text is 0 pixels wide.
    std::function<int(const std::string&)> TextWidth = [](const std::string&) { return 0; };
    int TempNameLeft = 0;
    int FanNameLeft = 0;
    int PwmNameLeft = 0;
    int VoltNameLeft = 0;
    int PwmEditWidth = 0;
};

// One column of label rows of the readings page.
struct TLabelColumn {
    explicit TLabelColumn(std::size_t rows) : Visible(rows, false), Names(rows) {}
    std::vector<bool> Visible;
    std::vector<std::string> Names;  // text of each shown name label: slot name and ":"
    int NameWidth = 0;
    int ValueLeft = 0;   // value label, or the duty edit of a speed row
    int ThirdLeft = 0;   // speed rows: the label after the edit
    int ValueWidth = 0;  // voltage rows: wide enough for 99.99 volts
};

struct TReadingsLayout {
    static constexpr std::size_t TempRows = 9, FanRows = 9, PwmRows = 6, VoltRows = 15;
    TLabelColumn Temps{TempRows};
    TLabelColumn Fans{FanRows};
    TLabelColumn Pwms{PwmRows};
    TLabelColumn Volts{VoltRows};
};

class TReadingSlots {
public:
    std::vector<TTempReadingData> TempSlots;
    std::vector<TReadingData> FanSlots;
    std::vector<TPwmReadingData> PwmSlots;
    std::vector<TReadingData> VoltSlots;
    // Built by PARSEUSED: the shown slots of each kind, in slot order.
    std::vector<int> TempOrder;
    std::vector<int> FanOrder;
    std::vector<int> UsedPwms;
    std::vector<int> VoltOrder;
    TReadingsLayout Layout;

    // Creates the arrays that do not exist yet and names every slot.
    void BuildReadingSlots(const TSensorList& sensors);
    // Binds the slots of each kind to the readings in detection order.
    void AutoAssociate(const TSensorList& sensors);
    // Rebuilds the order lists, SensorInUse and the layout, and shows each
    // shown speed's duty in its edit.
    void PARSEUSED(const TSensorList& sensors, std::vector<bool>& sensorInUse, const TLayoutMetrics& metrics,
                   TLogSinks& log, TDutyEdits& edits);
    // Puts the newest duty of each of the first six shown speeds into its
    // edit, writing nothing: fan control goes on from the duty the output has.
    void RefreshPwmEdits(const TSensorList& sensors, TDutyEdits& edits) const;

    std::size_t SlotCount(TReadingKind kind) const;
    const TReadingData& Slot(TReadingKind kind, std::size_t index) const;
    TReadingData& Slot(TReadingKind kind, std::size_t index);
};
