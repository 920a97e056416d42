#pragma once
// The window's two log boxes as the model's sinks reach them: plain-text
// memos that keep only their last TLogBoxes::MaxLines lines.

#include <QPlainTextEdit>

#include "core/cvlogsinks.h"

// A read-only memo named for the model's box it shows.
QPlainTextEdit* MakeLogMemo(const QString& objectName, QWidget* parent);

class TWindowLogBoxes : public TLogBoxes {
public:
    TWindowLogBoxes(QPlainTextEdit& readings, QPlainTextEdit& info) : readings_(readings), info_(info) {}
    void AddReadingsLine(const std::string& line) override;
    void AddInfoLine(const std::string& line) override;

private:
    QPlainTextEdit& readings_;  // `info`
    QPlainTextEdit& info_;      // `DebugInfo`
};
