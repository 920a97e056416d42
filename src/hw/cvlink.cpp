#include "hw/cvlink.h"
