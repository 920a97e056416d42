#pragma once
// The exchange between the main window's model and the configuration
// dialog: the dialog works on copies, and only OK copies them back and
// writes the files; the closing steps run after OK and Cancel alike. The
// three stages are apart so that tests run them one by one.

class QWidget;
class TDlgConfigModel;
class TMonitor;
class TUiPrompts;

// Fills the working data from the monitor, the dialog's FormCreate having
// run; ends with DataReady set.
void FillConfigDialog(TMonitor& monitor, TDlgConfigModel& model);
// OK: copies everything back, writes the options and sensors files and
// maintains the logs.
void ReadBackConfigDialog(TMonitor& monitor, const TDlgConfigModel& model);
// After OK or Cancel, the dialog released.
void CloseConfigDialog(TMonitor& monitor);

// The "Configure" button: the dialog built over the model, run through
// Prompts, and the three stages.
void BTNConfigClick(TMonitor& monitor, TUiPrompts& prompts, QWidget* parent);
// The main window's "Automatic fan speed" box.
void CBAutoFanSpeedClick(TMonitor& monitor, bool checked);
