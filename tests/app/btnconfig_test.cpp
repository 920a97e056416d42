// The "Configure" button on the demo board, as a user presses it.

#include <filesystem>

#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "core/cvoptions.h"
#include "core/cvsensorsfile.h"
#include "ui/cvconfig.h"
#include "ui/uiprompts.h"

namespace {

class ConfigureButton : public ::testing::Test, protected apptest::TWindowOnMachine {
protected:
    ConfigureButton() : TWindowOnMachine(TBoard::Demo) {}
    bool Written(const char* name) { return std::filesystem::exists(machine.file(name)); }
};

TEST_F(ConfigureButton, OkWritesTheThreeFilesWithTheUsersChoice) {
    TForm1& window = Open();
    RunPostedMessages();
    TScriptedPrompts prompts;
    window.SetPrompts(prompts);
    std::string firstTemperature;
    prompts.OnModal = [&firstTemperature](QDialog& shown) {
        auto& dialog = static_cast<TDlgConfig&>(shown);
        firstTemperature = dialog.Model().Temps.at(0).ChipText;
        dialog.Tabs().setCurrentWidget(dialog.Tab("TSOptions"));
        dialog.findChild<QRadioButton*>("RBUseFahrenheit")->click();
        return TUiPrompts::Accepted;
    };
    for (const char* name : {OptionsFileName, SensorsFileName, EventsFileName})
        std::filesystem::remove(machine.file(name));

    window.findChild<QPushButton*>("BTNConfig")->click();

    EXPECT_EQ(prompts.ModalRuns, 1);
    EXPECT_FALSE(firstTemperature.empty());
    EXPECT_FALSE(monitor.Options.UseCelsius);
    for (const char* name : {OptionsFileName, SensorsFileName, EventsFileName}) EXPECT_TRUE(Written(name)) << name;
}

TEST_F(ConfigureButton, CancelWritesNothing) {
    TForm1& window = Open();
    RunPostedMessages();
    TScriptedPrompts prompts;
    window.SetPrompts(prompts);
    for (const char* name : {OptionsFileName, SensorsFileName, EventsFileName})
        std::filesystem::remove(machine.file(name));
    window.findChild<QPushButton*>("BTNConfig")->click();
    EXPECT_EQ(prompts.ModalRuns, 1);
    for (const char* name : {OptionsFileName, SensorsFileName, EventsFileName}) EXPECT_FALSE(Written(name)) << name;
}

}  // namespace
