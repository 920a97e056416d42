#include "app/unitstartup.h"

#include "core/cvvars.h"
#include "cpu/cvuptime.h"
#include "cpu/noscpuusage.h"
#include "detect/cvscanexceptions.h"
#include "firmware/cvsmbios.h"
#include "hw/cvosinfo.h"
#include "hw/cvsetupapi.h"

void InitializeUnits() {
    InitializeCvvars();
    InitializeCvosinfo();
    InitializeCvsetupapi();
    InitializeCvscanexceptions();
    InitializeCvuptime();
    InitializeCvsmbios();
    InitializeNosCpuUsage();
}

void FinalizeUnits() {
    FinalizeNosCpuUsage();
    FinalizeCvvars();
}
