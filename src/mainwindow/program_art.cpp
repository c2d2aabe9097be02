// SPDX-License-Identifier: Apache-2.0
#include "program_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "forms/forms.h"

namespace {

const QColor kDeep(0x12, 0x2B, 0x5C);
const QColor kSky(0x3E, 0x7C, 0xC9);
const QColor kGold(0xF2, 0xB5, 0x3A);

// A database drum of three stacked discs inside `box`.
void paintDrum(QPainter& p, const QRectF& box) {
    const double w = box.width(), rim = box.height() * 0.16;
    const double top = box.top() + rim / 2, bottom = box.bottom() - rim / 2;
    QLinearGradient side(box.left(), 0, box.right(), 0);
    side.setColorAt(0, kGold.darker(130));
    side.setColorAt(0.45, kGold.lighter(125));
    side.setColorAt(1, kGold.darker(150));
    QPainterPath body;
    body.moveTo(box.left(), top);
    body.lineTo(box.left(), bottom);
    body.arcTo(QRectF(box.left(), bottom - rim / 2, w, rim), 180, 180);
    body.lineTo(box.right(), top);
    body.closeSubpath();
    p.setPen(QPen(kGold.darker(200), std::max(1.0, w / 48)));
    p.setBrush(side);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    for (int band = 1; band <= 2; ++band) {
        double y = top + (bottom - top) * band / 3;
        p.drawArc(QRectF(box.left(), y - rim / 2, w, rim), 180 * 16, 180 * 16);
    }
    p.setBrush(kGold.lighter(140));
    p.drawEllipse(QRectF(box.left(), top - rim / 2, w, rim));
}

}  // namespace

QImage IconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size);
    sky.setColorAt(0, kSky);
    sky.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(0, 0, size, size).adjusted(size / 32.0, size / 32.0, -size / 32.0, -size / 32.0),
                      size / 6.0, size / 6.0);
    paintDrum(p, QRectF(size * 0.24, size * 0.16, size * 0.52, size * 0.68));
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(IconImage(size)));
    return icon;
}

QPixmap AboutPicture(QSize size) {
    QPixmap picture(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, kSky);
    sky.setColorAt(1, kDeep);
    p.fillRect(picture.rect(), sky);
    double w = size.width();
    paintDrum(p, QRectF(w * 0.28, size.height() * 0.14, w * 0.44, size.height() * 0.42));
    p.setPen(Qt::white);
    p.setFont(forms::ProgramFont(12, true));
    p.drawText(QRectF(0, size.height() * 0.62, w, size.height() * 0.14), Qt::AlignCenter, QStringLiteral("PellinorDB"));
    p.setFont(forms::ProgramFont(7.5));
    p.setPen(QColor(0xDD, 0xE6, 0xF5));
    p.drawText(QRectF(0, size.height() * 0.76, w, size.height() * 0.12), Qt::AlignCenter,
               QStringLiteral("Access files on Linux"));
    return picture;
}
