#include "board/CellLabel.h"

#include <QPainter>

namespace kesola {

void CellLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(2, 1, -1, 0);
    painter.setClipRect(contentsRect());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    const int step = QFontInfo(font()).pixelSize();
    const int ascent = fontMetrics().ascent();
    int y = area.top() + ascent - (fontMetrics().height() - step) / 2;
    for (const QString& line : text().split(u'\n')) {
        painter.drawText(area.left(), y, line);
        y += step;
    }
}

}  // namespace kesola
