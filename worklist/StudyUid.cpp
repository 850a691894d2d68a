#include "worklist/StudyUid.h"

#include <QStringList>
#include <QUuid>
#include <algorithm>
#include <array>

namespace kesola::worklist {

namespace {

// The namespace of this program's name-based UUIDs; never changes, or every booking would get a new study.
const QUuid kBookingNamespace(QStringLiteral("9b083058-5009-4bab-95dc-9330c85ffde8"));

}  // namespace

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

QString studyInstanceUid(const QString& serviceAeTitle, const QString& reservationKey, const QString& patientId,
                         const QString& patientName) {
    const QString name = (QStringList() << serviceAeTitle << reservationKey << patientId << patientName).join(u'\n');
    const QUuid uuid = QUuid::createUuidV5(kBookingNamespace, name.toUtf8());
    return QStringLiteral("2.25.") + uuidAsDecimal(uuid.toRfc4122());
}

}  // namespace kesola::worklist
