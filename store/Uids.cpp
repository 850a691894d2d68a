#include "store/Uids.h"

#include <QUuid>
#include <algorithm>
#include <array>

namespace kesola {

QString uuidAsDecimal(const QByteArray& sixteenBytes) {
    std::array<unsigned, 16> number{};
    for (int i = 0; i < 16 && i < sixteenBytes.size(); ++i) number[i] = static_cast<unsigned char>(sixteenBytes[i]);
    QString digits;
    // Long division by ten, byte by byte, until nothing is left.
    while (std::any_of(number.begin(), number.end(), [](unsigned b) { return b != 0; })) {
        unsigned remainder = 0;
        for (unsigned& byte : number) {
            const unsigned value = remainder * 256 + byte;
            byte = value / 10;
            remainder = value % 10;
        }
        digits.prepend(QChar(u'0' + remainder));
    }
    return digits.isEmpty() ? QStringLiteral("0") : digits;
}

QString newUid() { return QStringLiteral("2.25.") + uuidAsDecimal(QUuid::createUuid().toRfc4122()); }

}  // namespace kesola
