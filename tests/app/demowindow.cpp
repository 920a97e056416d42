#include "app/demowindow.h"

#include "core/cvvars.h"

namespace apptest {

TGlobals::TGlobals() { InitializeCvvars(); }
TGlobals::~TGlobals() { FinalizeCvvars(); }

TWindowOnMachine::TWindowOnMachine(TBoard board) {
    if (board == TBoard::Empty) return;
    machine->loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
}

TForm1& TWindowOnMachine::Open() {
    form = std::make_unique<TForm1>(monitor, std::vector<std::string>{"caldavor"}, &dialogs);
    return *form;
}

}  // namespace apptest
