// SPDX-License-Identifier: Apache-2.0
// The program's own pictures, drawn rather than stored: its icon and the
// picture of the About dialog.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// A square icon image; needs no running application.
QImage IconImage(int size);
QIcon ProgramIcon();
QPixmap AboutPicture(QSize size);
