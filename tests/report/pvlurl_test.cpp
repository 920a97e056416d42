#include "report/pvlurl.h"

#include <gtest/gtest.h>

#include "support/testmachine.h"

namespace {

TEST(BrowserCommandLine, CutsBeforeThePlaceholder) {
    const struct {
        std::string command, line;
    } cases[] = {
        {"C:\\b\\browser.exe \"%1\"", "C:\\b\\browser.exe  http://x"},
        {"browser.exe -url %1 -new", "browser.exe -url  http://x"},
        {"\"C:\\P F\\b.exe\" -osint -url \"%1\"", "\"C:\\P F\\b.exe\" -osint -url  http://x"},
        {"b.exe %1 \"%1\"", "b.exe %1  http://x"},
        {"b.exe", "b.exe http://x"},
    };
    for (const auto& c : cases) EXPECT_EQ(BrowserCommandLine(c.command, "http://x"), c.line) << c.command;
}

TEST(SplitCommandLine, QuotesGroupBlanks) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("\"C:\\P F\\b.exe\" -osint  -url http://x?a=1&b=2"),
              (V{"C:\\P F\\b.exe", "-osint", "-url", "http://x?a=1&b=2"}));
    EXPECT_EQ(SplitCommandLine("  "), V{});
    EXPECT_EQ(SplitCommandLine("a \"\" b"), (V{"a", "", "b"}));
}

class Browser : public ::testing::Test {
protected:
    void RegisterHtm(const std::string& documentClass, const std::string& command) {
        auto& registry = machine->simSystemRegistry();
        registry.setValue("\\SOFTWARE\\Classes\\.htm", "", documentClass);
        if (!command.empty())
            registry.setValue("\\SOFTWARE\\Classes\\" + documentClass + "\\shell\\open\\command", "", command);
    }
    void Open(const std::string& url) {
        TpvlUrl browser;
        browser.Url = url;
        browser.Execute();
    }
    testsupport::TestMachine machine;
};

TEST_F(Browser, StartsTheRegisteredCommandWithAnArgumentVector) {
    RegisterHtm("htmlfile", "\"C:\\Web\\browser.exe\" -nohome \"%1\"");
    Open("http://h.example/a b;rm -rf");
    ASSERT_EQ(machine->simDesktop().programs.size(), 1u);
    const auto& started = machine->simDesktop().programs[0];
    EXPECT_EQ(started.program, "C:\\Web\\browser.exe");
    EXPECT_EQ(started.arguments, (std::vector<std::string>{"-nohome", "http://h.example/a", "b;rm", "-rf"}));
    EXPECT_TRUE(machine->simDesktop().documents.empty());
}

TEST_F(Browser, WithoutARegisteredCommandTheDesktopOpensTheAddress) {
    RegisterHtm("htmlfile", "");
    Open("http://h.example/r");
    EXPECT_TRUE(machine->simDesktop().programs.empty());
    EXPECT_EQ(machine->simDesktop().documents, std::vector<std::string>{"http://h.example/r"});
}

TEST_F(Browser, AFailedStartRaises) {
    machine->simDesktop().documentsOpen = false;
    EXPECT_THROW(Open("http://h.example/r"), EBrowserError);
    RegisterHtm("htmlfile", "browser \"%1\"");
    machine->simDesktop().programsStart = false;
    try {
        Open("http://h.example/r");
        ADD_FAILURE();
    } catch (const EBrowserError& e) {
        EXPECT_STREQ(e.what(), "Couldn't launch default browser");
    }
}

}  // namespace
