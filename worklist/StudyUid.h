#pragma once

#include <QString>

namespace kesola::worklist {

// The Study Instance UID of a booking: "2.25." followed by a name-based (SHA-1, version 5) UUID read as one decimal
// number. The name is the service's AE title, the reservation key, the patient ID and the name: the same booking
// always gets the same UID, and a slot booked again for another patient gets another one, so that two patients'
// images never share a study.
QString studyInstanceUid(const QString& serviceAeTitle, const QString& reservationKey, const QString& patientId,
                         const QString& patientName);

// A UUID's 16 bytes (big-endian) as one decimal number, without leading zeros.
QString uuidAsDecimal(const QByteArray& sixteenBytes);

}  // namespace kesola::worklist
