// SPDX-License-Identifier: MIT
#pragma once
// The program's own pictures, drawn at run time: the toolbar images, the window icon and the
// picture of the splash window and the about box.
#include <QIcon>
#include <QPixmap>

namespace varlen {

// The five 16 x 16 images of the toolbar: 0 save, 1 copy, 2 print, 3 rotate, 4 help.
QPixmap ToolbarImage(int index);
// The 32 x 32 window icon.
QIcon ProgramIcon();
// The 288 x 222 picture with the program's name over a barcode.
QPixmap ProgramPicture();

}  // namespace varlen
