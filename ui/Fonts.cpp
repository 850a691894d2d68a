#include "ui/Fonts.h"

#include <QStringList>

namespace kesola {

void installFontSubstitutes() {
    QFont::insertSubstitutions(kFontFamily,
                               QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                           QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")});
}

QFont msGothic(int points) {
    QFont font(kFontFamily);
    font.setPointSize(points);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

}  // namespace kesola
