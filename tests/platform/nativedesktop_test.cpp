#include "platform/linux/nativedesktop.h"

#include <gtest/gtest.h>

namespace {

TEST(NativeDesktop, StartsProgramsWithoutAShell) {
    platform::native::NativeDesktop desktop;
    EXPECT_TRUE(desktop.startProgram("true", {"; false"}, "/"));
    // Shell syntax in the program name is a file name, not a command.
    EXPECT_FALSE(desktop.startProgram("true; true", {}, {}));
    EXPECT_FALSE(desktop.startProgram("/nonexistent/program", {}, {}));
    EXPECT_FALSE(desktop.startProgram("true", {}, "/nonexistent/folder"));
}

}  // namespace
