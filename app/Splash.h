// SPDX-License-Identifier: MIT
#pragma once
// TSplashScreen: the borderless window with the program's picture that stands while the main
// window is being built. It has no behaviour of its own.
#include <QWidget>

class QLabel;

namespace varlen {

class TSplashScreen : public QWidget {
    Q_OBJECT
public:
    explicit TSplashScreen(QWidget* parent = nullptr);

    QWidget* Panel1;   // black, 1-pixel border, fills the window
    QLabel* Image1;    // the picture
    QLabel* Label1;    // the maker and the year, over the picture's lower right part
};

}  // namespace varlen
