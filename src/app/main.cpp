#include <cstdio>

#include "core/cvvars.h"
#include "platform/platform.h"

int main() {
    std::puts("caldavor: no platform yet");
    return 0;
}
