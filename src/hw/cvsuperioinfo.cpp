#include "hw/cvsuperioinfo.h"

TSuperIOInfo SuperIOInfo;
