// SPDX-License-Identifier: MIT
// The clipboard as other programs see it: under an X server (xvfb-run, QT_QPA_PLATFORM=xcb) the
// barcode copied by CopyToClipboard is read back by xclip, a program of its own, as a PNG image.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTimer>

#include "control/Barcode.h"
#include "support/ScratchFolder.h"

using namespace varlen;

TEST(ClipboardX11, AnotherProgramReadsTheBarcode) {
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X server: runs as control_clipboard_x11 under xvfb-run with QT_QPA_PLATFORM=xcb";
    const test::ScratchFolder dir;
    const QString file = QString::fromStdString(dir.file("factor1.bmp"));
    TBarcode bc;
    bc.setBar_CodeType(UPC_A);
    bc.MagnifyBy(2, file.toStdString(), false, 1);
    bc.CopyToClipboard(2);

    // xclip asks this process for the data, so the event loop must run while it reads.
    QProcess xclip;
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&xclip, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a safety net only, never reached when it works
    xclip.start("/usr/bin/xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
    loop.exec();
    ASSERT_EQ(xclip.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
    const QImage read = QImage::fromData(xclip.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_RGB32);
    const QImage exported = QImage(file, "BMP").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(read.size(), QSize(120, 87));
    EXPECT_EQ(read, exported);
}
