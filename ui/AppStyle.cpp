#include "ui/AppStyle.h"

#include <QApplication>
#include <QStyleFactory>

namespace kesola {

void installStyleThatHonoursColours() {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
}

}  // namespace kesola
