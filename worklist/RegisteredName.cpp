#include "worklist/RegisteredName.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>

#include "worklist/DicomText.h"

namespace kesola::worklist {

namespace {

// ICU's own Katakana-Latin and Latin-ASCII; the one rule between them drops the second letter of a long vowel,
// which ICU's table writes out (タロウ: tarou) and Hepburn as written on passports does not.
const char16_t kHepburnRules[] = u"::Katakana-Latin; ou > o; oo > o; uu > u; ::Latin-ASCII; ::Upper;";

// Creating the transliterator parses ICU's rule tables: it is made once and shared, one caller at a time (the
// service answers on several threads; a transliterator is not safe for concurrent use).
std::mutex transliteratorMutex;

icu::Transliterator& hepburn() {
    static std::unique_ptr<icu::Transliterator> made = [] {
        UParseError parseError{};
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createFromRules(
            u"kesola-Hepburn", icu::UnicodeString(kHepburnRules), UTRANS_FORWARD, parseError, status));
        if (U_FAILURE(status)) t.reset();
        return t;
    }();
    if (!made) throw std::runtime_error("ICU cannot make the Katakana-Latin transliterator");
    return *made;
}

bool isBlank(QChar c) { return c == u' ' || c == QChar(0x3000); }

// A name as family^given, split at its first run of blanks; blanks at either end dropped.
QString familyAndGiven(const QString& name) {
    const QString trimmed = name.trimmed();
    const auto space = std::find_if(trimmed.begin(), trimmed.end(), isBlank);
    if (space == trimmed.end()) return trimmed;
    const qsizetype at = space - trimmed.begin();
    return trimmed.left(at) + u'^' + trimmed.mid(at + 1).trimmed();
}

// Characters that would end a PN component or group, or a value, never go out inside one.
QString withoutDelimiters(QString text) {
    for (QChar& c : text) {
        if (c == u'^' || c == u'=' || c == u'\\' || c.unicode() < 0x20) c = u' ';
    }
    return text;
}

}  // namespace

std::optional<RegisteredPatient> registeredPatientOf(Database& db, const QString& patientId) {
    return findRegisteredPatient(db, patientId);
}

std::map<QString, RegisteredPatient> registeredPatientsOf(Database& db, const std::vector<ScheduledBooking>& bookings) {
    std::map<QString, RegisteredPatient> found;
    if (!hasPatientRegisterTable(db)) return found;
    for (const ScheduledBooking& booking : bookings) {
        const QString& id = booking.patientId;
        if (id.isEmpty() || found.count(id)) continue;
        if (auto patient = findRegisteredPatient(db, id)) found.emplace(id, std::move(*patient));
    }
    return found;
}

QString romajiOf(const QString& kana) {
    icu::UnicodeString text(reinterpret_cast<const UChar*>(kana.utf16()), static_cast<int32_t>(kana.size()));
    {
        std::lock_guard lock(transliteratorMutex);
        hepburn().transliterate(text);
    }
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

QString threeGroupPersonName(const QString& storedName, const RegisteredPatient& patient) {
    const QString kana = withoutDelimiters(patient.KANA);
    QString ideographic = personNameOf(storedName);
    if (!ideographic.startsWith(u'=')) ideographic = personNameOf(patient.SHIMEI);
    ideographic = ideographic.startsWith(u'=') ? ideographic.mid(1) : QString();
    return familyAndGiven(romajiOf(kana)) + u'=' + ideographic + u'=' + familyAndGiven(kana);
}

QString offeredPersonName(const QString& storedName, const std::optional<RegisteredPatient>& registered) {
    return registered ? threeGroupPersonName(storedName, *registered) : personNameOf(storedName);
}

QString dicomBirthDateOf(const RegisteredPatient& patient) {
    return patient.birthDate().isValid() ? patient.SEINENGAPPI : QString();
}

QString birthDateMismatch(DcmDataset& nCreate, const std::optional<RegisteredPatient>& patient) {
    OFString sent;
    if (nCreate.findAndGetOFString(DCM_PatientBirthDate, sent).bad()) return {};
    const QString birthDate = QString::fromLatin1(sent.c_str()).trimmed();
    if (birthDate.isEmpty()) return {};
    if (!patient || dicomBirthDateOf(*patient).isEmpty() || dicomBirthDateOf(*patient) == birthDate) return {};
    return QStringLiteral("患者ID %1 の生年月日は患者台帳では %2、検査では %3 です")
        .arg(patient->KANJYAID, patient->SEINENGAPPI, birthDate);
}

}  // namespace kesola::worklist
