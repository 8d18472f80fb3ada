// SPDX-License-Identifier: MIT
#include "app/Splash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "app/Artwork.h"

namespace varlen {

TSplashScreen::TSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setFixedSize(288, 223);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, 288, 223);
    Panel1->setAutoFillBackground(true);
    Panel1->setStyleSheet(QStringLiteral("background: black;"));

    Image1 = new QLabel(Panel1);
    Image1->setPixmap(ProgramPicture());
    Image1->setGeometry(0, 0, 288, 222);

    Label1 = new QLabel(QStringLiteral("\u00A9 2026 the Varlen authors"), Panel1);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setStyleSheet(QStringLiteral("background: transparent; color: white;"));
    Label1->setGeometry(88, 196, 192, 18);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

}  // namespace varlen
