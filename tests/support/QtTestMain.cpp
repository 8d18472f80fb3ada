// SPDX-License-Identifier: MIT
// GoogleTest entry for the Qt layers: a QApplication must exist before any widget, font or
// clipboard is touched. The tests run on the offscreen platform unless told otherwise.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/qt/QtCanvas.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    varlen::InitScreenFromQt();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
