#include "wizard/Artwork.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
// A small contact sheet: a page with a grid of frames, the product's mark.
void drawSheet(QPainter &p, const QRectF &page, int columns, int rows)
{
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(page);
    const double margin = page.width() * 0.1;
    const double cellW = (page.width() - 2 * margin) / columns;
    const double cellH = (page.height() - 2 * margin) / rows;
    static const QColor tints[] = {QColor(235, 120, 40), QColor(60, 140, 210), QColor(90, 180, 90),
                                   QColor(200, 70, 90), QColor(240, 190, 50), QColor(120, 90, 190)};
    int k = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QRectF cell(page.left() + margin + c * cellW + 1, page.top() + margin + r * cellH + 1,
                              cellW - 2, cellH * 0.75 - 2);
            p.setPen(Qt::NoPen);
            p.setBrush(tints[k++ % 6]);
            p.drawRect(cell);
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(cell.left() + cellW * 0.2, cell.bottom() + cellH * 0.08, cellW * 0.55, cellH * 0.08));
        }
    }
}
} // namespace

QPixmap CornerLogo()
{
    QPixmap pm(53, 53);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawSheet(p, QRectF(10.5, 4.5, 33, 44), 2, 3);
    return pm;
}

QPixmap InfoPicture()
{
    QPixmap pm(161, 381);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 381);
    g.setColorAt(0, QColor(24, 52, 110));
    g.setColorAt(1, QColor(70, 130, 200));
    p.fillRect(pm.rect(), g);
    p.save();
    p.translate(80, 150);
    p.rotate(-8);
    drawSheet(p, QRectF(-55, -72, 110, 146), 3, 4);
    p.restore();
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 290, 161, 40), Qt::AlignCenter, QStringLiteral("Tessory"));
    return pm;
}
