#include "app/demowindow.h"

#include "core/cvvars.h"
#include "firmware/cvsmbios.h"

namespace apptest {

TGlobals::TGlobals() {
    InitializeCvvars();
    InitializeCvsmbios();
}
TGlobals::~TGlobals() {
    ResetCvsmbios();
    FinalizeCvvars();
}

namespace {

bool LoadBoard(testsupport::TestMachine& machine, TWindowOnMachine::TBoard board) {
    if (board == TWindowOnMachine::TBoard::Empty) return false;
    machine->loadFromFile(board == TWindowOnMachine::TBoard::Demo ? CALDAVOR_BOARDS_DIR "/demo.json"
                                                                  : CALDAVOR_BOARDS_DIR "/uguru3.json");
    return true;
}

}  // namespace

TWindowOnMachine::TWindowOnMachine(TBoard board) : boardLoaded(LoadBoard(machine, board)) {}

TForm1& TWindowOnMachine::Open() {
    form = std::make_unique<TForm1>(monitor, std::vector<std::string>{"caldavor"}, &dialogs);
    return *form;
}

}  // namespace apptest
