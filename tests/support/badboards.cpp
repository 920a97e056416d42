#include "support/badboards.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"

namespace testsupport {

void expectRefused(std::span<const BadBoard> boards) {
    for (const auto& bad : boards) {
        SCOPED_TRACE(bad.json);
        platform::sim::Machine m;
        try {
            m.loadFromJson(bad.json, "bad.json");
            ADD_FAILURE() << "accepted";
        } catch (const platform::sim::BoardError& e) {
            EXPECT_NE(std::string(e.what()).find(bad.message), std::string::npos) << e.what();
        }
    }
}

}  // namespace testsupport
