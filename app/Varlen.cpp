// Varlen: the program's entry. The splash stands while the main window is built (including its
// deliberate start-up wait), then the main window and the about box take over and the message
// loop runs until the user quits.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "VarlenVersion.h"
#include "app/Application.h"
#include "app/Splash.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "platform/qt/QtCanvas.h"

int main(int argc, char** argv) {
    // Answered before the toolkit starts: no display needed, no window opened.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("varlen %s\n", varlen::kVersion);
            return 0;
        }
    }
    QApplication app(argc, argv);
    varlen::InitScreenFromQt();

    auto* splash = new varlen::TSplashScreen;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    QApplication::setApplicationName(QStringLiteral("Varlen"));
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
