// SPDX-License-Identifier: MIT
// Varlen: the program's entry. The splash stands while the main window is built (including its
// deliberate start-up wait), then the main window and the about box take over and the message
// loop runs until the user quits.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "VarlenVersion.h"
#include "app/Application.h"
#include "app/Places.h"
#include "app/Splash.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "platform/qt/QtCanvas.h"

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so that they work without a display and open no window.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("varlen %s\n%s", varlen::kVersion, varlen::kCopyrightNotice);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--settings-path") == 0) {
            std::printf("%s\n", varlen::PlacesOf(varlen::RunningProgramPath()).settingsFile.c_str());
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
    }

    QApplication app(argc, argv);
    varlen::InitScreenFromQt();

    auto* splash = new varlen::TSplashScreen;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    QApplication::setApplicationName(QStringLiteral("Varlen"));
    // The desktop finds the menu entry's name and icon for the window by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("varlen"));
    varlen::Application().Title = QStringLiteral("Varlen");
    varlen::Application().HelpFile = QStringLiteral("Varlen.hlp");
    varlen::Application().InstallErrorHandler();

    varlen::TForm1 form;
    form.show();
    varlen::TAboutBox about(&form);
    form.setAboutBox(&about);

    delete splash;
    return QApplication::exec();
}
