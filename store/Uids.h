#pragma once

#include <QByteArray>
#include <QString>

namespace kesola {

// A new DICOM UID of its own: "2.25." followed by a random (version 4) UUID read as one decimal number, as DICOM
// PS3.5 B.2 allows without a registered root. No two calls give the same UID.
QString newUid();

// A UUID's 16 bytes (big-endian) as one decimal number, without leading zeros.
QString uuidAsDecimal(const QByteArray& sixteenBytes);

}  // namespace kesola
