#include "report/pvlurl.h"

#include <gtest/gtest.h>

#include "support/testmachine.h"

namespace {

// Whatever the URL holds, it is one untouched argument after the words of
// the command cut before its placeholder.
TEST(BrowserCommand, TheUrlIsOneArgumentUnderEveryCommandForm) {
    using V = std::vector<std::string>;
    const char* urls[] = {"http://x", "http://h.example/a b;rm -rf", "http://h.example/?q=\"a\" \"b\"&c=1",
                          "http://h.example/x&y=2 \" -evil"};
    const struct {
        std::string command;
        V words;
    } forms[] = {
        {"C:\\b\\browser.exe \"%1\"", {"C:\\b\\browser.exe"}},
        {"browser.exe -url %1 -new", {"browser.exe", "-url"}},
        {"\"C:\\P F\\b.exe\" -osint -url \"%1\"", {"C:\\P F\\b.exe", "-osint", "-url"}},
        {"b.exe %1 \"%1\"", {"b.exe", "%1"}},
        {"b.exe", {"b.exe"}},
    };
    for (const auto& form : forms)
        for (const std::string url : urls) {
            V expected = form.words;
            expected.push_back(url);
            EXPECT_EQ(BrowserCommand(form.command, url), expected) << form.command << " | " << url;
        }
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
    Open("http://h.example/a b;rm -rf\"&x=1");
    ASSERT_EQ(machine->simDesktop().programs.size(), 1u);
    const auto& started = machine->simDesktop().programs[0];
    EXPECT_EQ(started.program, "C:\\Web\\browser.exe");
    EXPECT_EQ(started.arguments, (std::vector<std::string>{"-nohome", "http://h.example/a b;rm -rf\"&x=1"}));
    EXPECT_TRUE(machine->simDesktop().documents.empty());
}

TEST_F(Browser, WithoutARegisteredCommandTheDesktopOpensTheAddress) {
    RegisterHtm("htmlfile", "");
    Open("http://h.example/r");
    EXPECT_TRUE(machine->simDesktop().programs.empty());
    EXPECT_EQ(machine->simDesktop().documents, std::vector<std::string>{"http://h.example/r"});
}

TEST_F(Browser, AFailedStartRaises) {
    RegisterHtm("htmlfile", "\"%1\"");  // names no program: the URL is never started as one
    EXPECT_THROW(Open("http://h.example/r"), EBrowserError);
    EXPECT_TRUE(machine->simDesktop().programs.empty());
    RegisterHtm("noclass", "");
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
