#pragma once

#include <QFont>

namespace kesola {

// "ＭＳ ゴシック" is requested everywhere. Where Windows' font is missing, IPAGothic (metric-compatible) stands in.
inline const QString kFontFamily = QStringLiteral("ＭＳ ゴシック");

void installFontSubstitutes();
QFont msGothic(int points);

}  // namespace kesola
