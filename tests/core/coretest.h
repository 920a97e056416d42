#pragma once
// A simulated machine with its program folder in a temporary directory, and
// the shared globals put back to their start values around each test.

#include <gtest/gtest.h>

#include "core/cvservices.h"
#include "core/cvvars.h"
#include "support/testmachine.h"

namespace coretest {

class CoreTest : public ::testing::Test {
protected:
    CoreTest() { ResetGlobals(); }
    ~CoreTest() override {
        FinalizeCvvars();
        MailProfileList.clear();
    }

    // The start values of the shared globals, the program folder included.
    static void ResetGlobals() {
        InitializeCvvars();
        MailProfileList.clear();
    }

    std::string file(const std::string& name) const { return machine_.file(name); }

    testsupport::TestMachine machine_;
};

}  // namespace coretest
