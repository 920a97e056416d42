#pragma once
// Every modal run, input box and message box of the user interface goes
// through one object, so tests answer them from a script and no test waits
// on a dialog's own event loop.

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

class TUiPrompts {
public:
    enum TResult : int { Rejected = 0, Accepted = 1 };

    virtual ~TUiPrompts() = default;
    // Shows the dialog modally; answers its result.
    virtual int RunModal(QDialog& dialog) = 0;
    virtual void ShowMessage(QWidget* parent, const std::string& text) = 0;
    // The text entered, nullopt when cancelled.
    virtual std::optional<std::string> InputBox(QWidget* parent, const std::string& caption,
                                                const std::string& prompt, const std::string& initial) = 0;
};

// The real boxes.
class TQtPrompts : public TUiPrompts {
public:
    int RunModal(QDialog& dialog) override;
    void ShowMessage(QWidget* parent, const std::string& text) override;
    std::optional<std::string> InputBox(QWidget* parent, const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;
};

// Answers from the test's script: each modal run calls OnModal with the
// dialog (shown, not modal) and answers what it returns; without a script
// the dialog is rejected.
class TScriptedPrompts : public TUiPrompts {
public:
    int RunModal(QDialog& dialog) override;
    void ShowMessage(QWidget* parent, const std::string& text) override;
    std::optional<std::string> InputBox(QWidget* parent, const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;

    std::function<int(QDialog& dialog)> OnModal;
    std::function<std::optional<std::string>(const std::string& prompt)> OnInput;
    std::vector<std::string> Messages;
    int ModalRuns = 0;
};
