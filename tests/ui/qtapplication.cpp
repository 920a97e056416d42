// One QApplication for the whole test binary, made before the first test and
// gone after the last, so no test depends on a display's life time.

#include <memory>

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "test_ui";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
