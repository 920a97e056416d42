// The window tests need a QApplication.

#include <QApplication>

#include "support/qtapplication.h"

namespace {

const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QtApplicationEnvironment<QApplication>);

}  // namespace
