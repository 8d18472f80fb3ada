// SPDX-License-Identifier: MIT
#include "app/Unit2.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "VarlenVersion.h"
#include "app/Artwork.h"

namespace varlen {

namespace {
constexpr int kCancel = 2;  // the modal result the box closes with
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("About Varlen"));
    setFixedSize(384, 208);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setGeometry(-8, 0, 241, 222);
    ProgramIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ProgramIcon->setPixmap(ProgramPicture());
    ProgramIcon->installEventFilter(this);

    QFont lineFont(QStringLiteral("Arial"));
    lineFont.setPixelSize(11);
    const QStringList lines = {QStringLiteral("Varlen ") + QString::fromLatin1(kVersion), QStringLiteral("Barcode generator"), QString(),
                               QStringLiteral("Copyright \u00A9 2026"), QStringLiteral("the Varlen authors")};
    int y = 24;
    for (const QString& text : lines) {
        auto* line = new QLabel(text, this);
        line->setFont(lineFont);
        line->setAttribute(Qt::WA_TransparentForMouseEvents);  // a click on a line is a click on the box
        line->setGeometry(247, y, 130, 16);
        y += 18;
    }

    OKButton = new QPushButton(QStringLiteral("O&k"), this);
    OKButton->setGeometry(9, 246, 59, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::CancelButtonClick);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TAboutBox::CancelButtonClick() { done(kCancel); }

void TAboutBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) CancelButtonClick();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ProgramIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        CancelButtonClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace varlen
