#pragma once

#include <QString>

namespace kesola {

// A patient ID as the scanners take it (DICOM's LO, kept to what every hospital information system writes): up to
// 16 ASCII letters, digits and hyphens. The empty ID means a booking without one.
constexpr int kPatientIdMaxLength = 16;

inline bool isPatientIdCharacter(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'-';
}

inline bool isValidPatientId(const QString& id) {
    if (id.size() > kPatientIdMaxLength) return false;
    for (QChar c : id) {
        if (!isPatientIdCharacter(c)) return false;
    }
    return true;
}

}  // namespace kesola
