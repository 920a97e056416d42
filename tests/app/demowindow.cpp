#include "app/demowindow.h"

#include "core/cvvars.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvsensorfactory.h"

namespace apptest {

TGlobals::TGlobals() { InitializeCvvars(); }
TGlobals::~TGlobals() { FinalizeCvvars(); }

TWindowOnMachine::TWindowOnMachine(TBoard board) {
    if (board == TBoard::Empty) return;
    machine->loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    monitor.DetectionSteps.ProbeSuperIO = [](TDetectionContext& context) { context.Factory.AddSensor(0, 0x290, 30); };
}

TForm1& TWindowOnMachine::Open() {
    form = std::make_unique<TForm1>(monitor, std::vector<std::string>{"caldavor"}, &dialogs);
    return *form;
}

}  // namespace apptest
