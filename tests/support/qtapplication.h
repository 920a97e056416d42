#pragma once
// One Qt application object for a whole test binary, made before the first
// test and gone after the last, so no test depends on its life time.

#include <memory>

#include <gtest/gtest.h>

namespace testsupport {

template <typename TApplication>
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<TApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[8] = "test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TApplication> app_;
};

}  // namespace testsupport
