#include "ui/Fonts.h"

#include <QFontMetricsF>
#include <QStringList>

namespace kesola {

void installFontSubstitutes() {
    QFont::insertSubstitutions(
        kFontFamily,
        QStringList{QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                    QStringLiteral("BIZ UDGothic"), QStringLiteral("Yu Gothic"), QStringLiteral("Meiryo"),
                    QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")});
}

QFont msGothic(int points) {
    QFont font(kFontFamily);
    font.setPointSize(points);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QFont fittedFont(QFont font, const QString& text, const QSize& box) {
    for (;;) {
        const QFontMetricsF metrics(font);
        const bool fits = metrics.height() <= box.height() && metrics.horizontalAdvance(text) <= box.width();
        if (fits || font.pointSizeF() <= 1) return font;
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
}

}  // namespace kesola
