#include "masters/ColourComponent.h"

#include <algorithm>
#include <cmath>

namespace kesola {

int shownComponent(const QString& stored) {
    bool ok = false;
    const double value = stored.trimmed().toDouble(&ok);
    if (!ok || std::isnan(value)) return 0;
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0)));
}

}  // namespace kesola
