// The xAP sender's timer and sockets need the event loop's thread.

#include <QCoreApplication>

#include "support/qtapplication.h"

namespace {

const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QtApplicationEnvironment<QCoreApplication>);

}  // namespace
