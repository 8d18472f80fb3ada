// Varlen: the program's entry. The splash stands while the main window is built (including its
// deliberate start-up wait), then the main window and the about box take over and the message
// loop runs until the user quits.
#include <QApplication>

#include "app/Application.h"
#include "app/Splash.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "platform/qt/QtCanvas.h"

int main(int argc, char** argv) {
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
