#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kesola::worklist {

// The Specific Character Set the worklist's answers are written in.
enum class AnswerCharset {
    Iso2022Ir87,  // "\ISO 2022 IR 87": ASCII and JIS X 0208, what Japanese scanners have always taken
    Utf8,         // "ISO_IR 192"
};

// What becomes of a name that holds a character outside JIS X 0208 (髙, 﨑 and the other cp932 extensions) when
// the answers go out in ISO 2022 IR 87.
enum class OutsideJisX0208 {
    AnswerInUtf8,  // that one answer goes out as ISO_IR 192
    Substitute,    // the character becomes its usual substitute (髙 → 高); 〓 when it has none
};

// What becomes of a booking that has no patient ID: most consoles refuse an item without one (Patient ID is Type 1)
// or file its images under an empty ID.
enum class WithoutPatientId {
    Skip,   // not offered, and its examination not taken; the journal names it once a day
    Serve,  // offered with an empty Patient ID
};

// The most days around today for which a scanner's report of an examination is taken (mpps_days).
constexpr int kMaxMppsDays = 31;

// A scanner's AE title and the CODE of the room it stands in.
struct Station {
    QString aeTitle;
    QString roomCode;
};

// /etc/kesola/worklist.ini, as IT writes it.
struct WorklistSettings {
    QString database;  // a database file's path or a postgresql:// URI, as on KESOLA.INI's first line
    QString aeTitle = QStringLiteral("KESOLA_MWL");
    quint16 port = 11112;
    QStringList accept;  // calling AE titles let in; empty: any
    AnswerCharset charset = AnswerCharset::Iso2022Ir87;
    OutsideJisX0208 outside = OutsideJisX0208::Substitute;
    std::vector<Station> stations;  // in the file's order
    // An examination is reported (MPPS N-CREATE) only for a booking dated today or at most this many days before or
    // after it.
    int mppsDays = 0;
    WithoutPatientId withoutId = WithoutPatientId::Skip;

    // The room of a scanner, or none for an AE title that is not a station.
    std::optional<QString> roomOfStation(const QString& aeTitle) const;
};

// What reading the settings gave: the settings, or one line that names the file and the line at fault.
struct SettingsRead {
    std::optional<WorklistSettings> settings;
    QString error;
};

// Reads the settings file (UTF-8). Keys and sections other than those above, a value that cannot be used, a key
// given twice, or a missing database or station are refused with one line "FILE:LINE: what is wrong".
SettingsRead readWorklistSettings(const QString& path);

// The same, from the file's bytes; `fileName` is what the error line names.
SettingsRead parseWorklistSettings(const QByteArray& bytes, const QString& fileName);

// True for a DICOM AE title: 1 to 16 characters of printable ASCII other than the backslash, not only spaces.
bool isValidAeTitle(const QString& aeTitle);

}  // namespace kesola::worklist
