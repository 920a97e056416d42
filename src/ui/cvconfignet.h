#pragma once
// The Internet, Mail and xAP tabs. The Mail tab works on the dialog's copy
// of the mail profiles; its test mail goes through the mail sender at once
// and reports back on the event loop, to a dialog that may be gone by then.

#include <functional>
#include <string>
#include <vector>

class QObject;
class QWidget;
class TControlBinder;
class TDlgConfigModel;
class TMailQueue;

QWidget* BuildInternetTab(TDlgConfigModel& model, TControlBinder& binder);
QWidget* BuildXapTab(TDlgConfigModel& model, TControlBinder& binder);
// Changed shows the model again after the test mail's completion.
QWidget* BuildMailTab(TDlgConfigModel& model, TControlBinder& binder, TMailQueue* mail, QObject& dialog,
                      std::function<void()> changed);

// The test mail: queued with the chosen profile; the completion reaches the
// model only while Dialog lives.
void BTNSendMailClick(TDlgConfigModel& model, TMailQueue& mail, QObject& dialog, std::function<void()> changed);
void TestMailDone(TDlgConfigModel& model, int mailId, const std::vector<std::string>& log);
