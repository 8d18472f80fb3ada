// SPDX-License-Identifier: MIT
#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace varlen {

namespace {

// Bar and space widths of the motif, in modules: a made-up but barcode-like rhythm.
constexpr int kMotif[] = {1, 1, 1, 3, 2, 1, 1, 2, 3, 1, 1, 1, 2, 2, 1, 3, 1, 1, 1, 1, 4, 1, 2,
                          1, 1, 3, 1, 2, 2, 1, 1, 1, 3, 1, 1, 2, 1, 1, 2, 3, 1, 1, 1, 1, 1};

// Draws the motif into `area`, starting with a bar, stretched to fill its width.
void drawBars(QPainter& p, const QRectF& area, const QColor& ink) {
    int modules = 0;
    for (int w : kMotif) modules += w;
    const qreal unit = area.width() / modules;
    qreal x = area.left();
    bool bar = true;
    for (int w : kMotif) {
        if (bar) p.fillRect(QRectF(x, area.top(), w * unit, area.height()), ink);
        x += w * unit;
        bar = !bar;
    }
}

QPixmap blank(int w, int h) {
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QPixmap ToolbarImage(int index) {
    QPixmap pixmap = blank(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor ink(0x20, 0x20, 0x20);
    switch (index) {
        case 0: {  // save: a disk
            p.setPen(ink);
            p.setBrush(QColor(0x30, 0x50, 0xA0));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(0xC0, 0xC0, 0xC0));
            p.drawRect(QRectF(4.5, 9.5, 7, 5));
            break;
        }
        case 1: {  // copy: two sheets
            p.setPen(ink);
            p.setBrush(QColor(0xE8, 0xE8, 0xE8));
            p.drawRect(QRectF(1.5, 1.5, 8, 10));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(6.5, 4.5, 8, 10));
            p.setRenderHint(QPainter::Antialiasing, false);
            for (int x : {8, 10, 11, 13}) p.fillRect(QRect(x, 7, 1, 5), ink);
            break;
        }
        case 2: {  // print: a printer with a sheet
            p.setPen(ink);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(0x90, 0x90, 0x90));
            p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            break;
        }
        case 3: {  // rotate: a quarter-turn arrow
            QPen pen(QColor(0x10, 0x70, 0x20), 2);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
            QPainterPath head;
            head.moveTo(8, 0.5);
            head.lineTo(12, 3);
            head.lineTo(8, 5.5);
            head.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x10, 0x70, 0x20));
            p.drawPath(head);
            break;
        }
        default: {  // help: a question mark in a circle
            p.setPen(QPen(QColor(0x20, 0x40, 0x90), 1));
            p.setBrush(QColor(0x40, 0x70, 0xD0));
            p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
            QFont font("Arial");
            font.setPixelSize(12);
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
    }
    return pixmap;
}

QIcon ProgramIcon() {
    QPixmap pixmap = blank(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0x20, 0x30, 0x60), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1.5, 3.5, 29, 25), 3, 3);
    p.setRenderHint(QPainter::Antialiasing, false);
    drawBars(p, QRectF(5, 7, 22, 18), Qt::black);
    return QIcon(pixmap);
}

QPixmap ProgramPicture() {
    QPixmap pixmap(288, 222);
    QPainter p(&pixmap);
    QLinearGradient sky(0, 0, 0, 222);
    sky.setColorAt(0, QColor(0x10, 0x20, 0x50));
    sky.setColorAt(1, QColor(0x30, 0x60, 0xA0));
    p.fillRect(pixmap.rect(), sky);

    // A white label with the barcode, slightly tilted like a sticker.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.save();
    p.translate(144, 124);
    p.rotate(-6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(QRectF(-96, -46, 200, 100), 6, 6);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(-100, -50, 200, 100), 6, 6);
    drawBars(p, QRectF(-84, -38, 168, 62), Qt::black);
    QFont digits("Arial");
    digits.setPixelSize(11);
    p.setFont(digits);
    p.setPen(Qt::black);
    p.drawText(QRectF(-84, 26, 168, 16), Qt::AlignCenter, QStringLiteral("0 12345 67890 5"));
    p.restore();

    QFont title("Arial");
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xFF, 0xD0, 0x40));
    p.drawText(QRect(0, 6, 288, 48), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Varlen"));
    return pixmap;
}

}  // namespace varlen
