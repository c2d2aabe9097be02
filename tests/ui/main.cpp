// SPDX-License-Identifier: Apache-2.0
// The window tests run headless: the offscreen platform unless told else.
#include <gtest/gtest.h>

#include <QApplication>

#include "odbc/provider.h"
#include "sql/jet_provider.h"

namespace {

QtMessageHandler standard = nullptr;

// The offscreen platform says so each time a window is raised or grabs
// the keyboard; that is expected here and drowns the test output.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    standard(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    standard = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    ado::RegisterJetProvider();
    ado::RegisterServerProvider();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
