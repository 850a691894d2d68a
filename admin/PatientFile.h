#pragma once

#include <QByteArray>
#include <QDate>
#include <QStringList>
#include <vector>

#include "store/PatientRegister.h"

namespace kesola {

// The patient file that every hospital information system can export: a CSV file whose header line names the
// columns ID, 氏名, カナ氏名, 生年月日 and 性別 (in any order, other columns passed over), one patient a line.
// It is read in code page 932 or in UTF-8 (with or without a byte-order mark); a birth date is YYYYMMDD,
// YYYY/MM/DD or YYYY-MM-DD (month and day also of one digit), a sex 1/2, M/F or 男/女. kesola-admin patients
// export writes the same format.

// One line of the file that cannot be taken, by its number (the header is line 1) and why, in Japanese.
struct PatientFileProblem {
    int line = 0;
    QString why;
};

struct PatientFileContents {
    std::vector<RegisteredPatient> patients;
    std::vector<PatientFileProblem> problems;
    // "UTF-8" or "cp932", as the file was read.
    QString encoding;
};

// Reads a whole patient file, checking every line. A line is taken only when every value in it is right; the
// kanji name is measured by the width rule of the reservation window's name (20 bytes of cp932), the kana name is
// made full-width katakana. A birth date after `today` is refused.
PatientFileContents readPatientFile(const QByteArray& bytes, QDate today);

// The file for these patients, in cp932 with CRLF line ends, header first.
QByteArray patientFileHeader();
QByteArray patientFileLine(const RegisteredPatient& patient);

}  // namespace kesola
