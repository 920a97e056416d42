#include "firmware/cvintelqst2.h"

std::unique_ptr<TCVIntelQST2> IntelQST2;

void ResetIntelQSTGlobals() {
    IntelQST.reset();
    IntelQST2.reset();
}
