// SPDX-License-Identifier: MIT
#pragma once
// TAboutBox: the about box, created once at start and shown modally on demand. A click anywhere
// on it, a click on its picture, its button and the Enter key close it.
#include <QDialog>

class QLabel;
class QPushButton;

namespace varlen {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProgramIcon;      // the picture box, cut off at its edge
    QPushButton* OKButton;    // "O&k", the default button, below the visible area

    // Closes the box with the result "cancel" (2).
    void CancelButtonClick();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace varlen
