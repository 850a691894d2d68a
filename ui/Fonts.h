#pragma once

#include <QFont>
#include <QSize>

namespace kesola {

// "ＭＳ ゴシック" is requested everywhere. Where Windows' font is missing, IPAGothic (metric-compatible) stands in.
inline const QString kFontFamily = QStringLiteral("ＭＳ ゴシック");

void installFontSubstitutes();
QFont msGothic(int points);

// The font made smaller, if need be, until the text's lines and width fit the box: a substitute font whose line
// spacing is wider than Windows' would otherwise cut a large caption off at the bottom or the right.
QFont fittedFont(QFont font, const QString& text, const QSize& box);

}  // namespace kesola
