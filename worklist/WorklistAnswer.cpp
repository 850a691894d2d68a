#include "worklist/WorklistAnswer.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <QByteArray>
#include <functional>

#include "store/Numbers.h"
#include "worklist/DicomText.h"
#include "worklist/RegisteredName.h"
#include "worklist/StudyUid.h"

namespace kesola::worklist {

namespace {

const QString kModality = QStringLiteral("MR");

// The character set one item goes out in: the configured one, or for the texts of this item another.
enum class ItemCharset { Iso2022Ir87, Iso2022Ir13Ir87, Utf8 };

QString specificCharacterSetOf(ItemCharset charset) {
    switch (charset) {
        case ItemCharset::Iso2022Ir87:
            return QStringLiteral("\\ISO 2022 IR 87");
        case ItemCharset::Iso2022Ir13Ir87:
            return QStringLiteral("ISO 2022 IR 13\\ISO 2022 IR 87");
        case ItemCharset::Utf8:
            break;
    }
    return QStringLiteral("ISO_IR 192");
}

// A long string holds no backslash (the value delimiter) and no control character.
QString longStringOf(const QString& text) {
    QString out;
    for (QChar c : text.trimmed()) out += (c == u'\\' || c.unicode() < 0x20) ? QChar(u' ') : c;
    return out;
}

QString sexOf(const QString& stored) {
    if (stored == QStringLiteral("1")) return QStringLiteral("M");
    if (stored == QStringLiteral("2")) return QStringLiteral("F");
    return {};
}

// The texts of an item that may hold Japanese.
struct ItemTexts {
    QString patientName;
    QString department;
    QString bodyPart;
    QString remarks;

    void forEach(const std::function<void(QString&)>& apply) {
        for (QString* text : {&patientName, &department, &bodyPart, &remarks}) apply(*text);
    }
};

// Chooses the item's character set and brings the texts into it; returns the set and the note for the log.
// Half-width katakana go in ISO 2022 IR 13, as Japanese consoles take them; a character outside JIS X 0201 and
// JIS X 0208 makes the item UTF-8 or is substituted, as the settings say.
std::pair<ItemCharset, QString> chooseCharset(ItemTexts& texts, const WorklistSettings& settings) {
    if (settings.charset == AnswerCharset::Utf8) return {ItemCharset::Utf8, {}};
    std::optional<char32_t> outside;
    texts.forEach([&](QString& t) {
        if (!outside) outside = firstOutsideJisX0201AndJisX0208(t);
    });
    QString note;
    if (outside && settings.outside == OutsideJisX0208::AnswerInUtf8) {
        return {ItemCharset::Utf8, QStringLiteral("JIS X 0208 にない文字「%1」があるため ISO_IR 192 で送りました")
                                       .arg(QString::fromUcs4(&*outside, 1))};
    }
    if (outside) {
        std::vector<Substitution> made;
        texts.forEach([&](QString& t) { t = substituteOutsideJisX0208(t, &made, true); });
        note = QStringLiteral("JIS X 0208 にない文字を置き換えて送りました (%1)").arg(describeSubstitutions(made));
    }
    bool katakana = false;
    texts.forEach([&](QString& t) { katakana = katakana || holdsHalfWidthKatakana(t); });
    return {katakana ? ItemCharset::Iso2022Ir13Ir87 : ItemCharset::Iso2022Ir87, note};
}

void putText(DcmItem& item, const DcmTagKey& tag, const QString& text, ItemCharset charset) {
    QByteArray bytes;
    switch (charset) {
        case ItemCharset::Iso2022Ir87:
            bytes = encodeIso2022Ir87(text);
            break;
        case ItemCharset::Iso2022Ir13Ir87:
            bytes = encodeIso2022Ir13Ir87(text);
            break;
        case ItemCharset::Utf8:
            bytes = text.toUtf8();
            break;
    }
    item.putAndInsertOFStringArray(tag, OFString(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void putAscii(DcmItem& item, const DcmTagKey& tag, const QString& text) {
    item.putAndInsertOFStringArray(tag, OFString(text.toLatin1().constData()));
}

// The request's keys of one level, filled from the item's level.
void fillKeys(DcmItem& request, DcmItem& source, DcmItem& answer) {
    for (unsigned long i = 0; i < request.card(); ++i) {
        DcmElement* key = request.getElement(i);
        const DcmTag tag = key->getTag();
        if (tag.getElement() == 0 || tag == DCM_SpecificCharacterSet) continue;
        if (key->ident() == EVR_SQ) {
            auto* answerSequence = new DcmSequenceOfItems(tag);
            answer.insert(answerSequence, true);
            DcmItem* requestItem = static_cast<DcmSequenceOfItems*>(key)->getItem(0);
            DcmItem* sourceItem = nullptr;
            if (source.findAndGetSequenceItem(tag, sourceItem, 0).bad() || !sourceItem) continue;
            // A zero-length sequence, or one with an empty item, asks for every key of its item.
            if (!requestItem || requestItem->card() == 0) {
                answerSequence->insert(new DcmItem(*sourceItem));
                continue;
            }
            auto* answerItem = new DcmItem();
            answerSequence->insert(answerItem);
            fillKeys(*requestItem, *sourceItem, *answerItem);
            continue;
        }
        DcmElement* value = nullptr;
        if (source.findAndGetElement(tag, value).good() && value) {
            answer.insert(static_cast<DcmElement*>(value->clone()), true);
        } else {
            answer.insertEmptyElement(tag, true);
        }
    }
}

}  // namespace

QString dicomAgeOf(const QString& storedAge) {
    const auto age = toInt16(storedAge.trimmed());
    if (!age || *age < 0 || *age > 150) return {};
    return QStringLiteral("%1Y").arg(*age, 3, 10, QChar(u'0'));
}

WorklistItem worklistItemOf(const ScheduledBooking& booking, const QString& stationAeTitle,
                            const WorklistSettings& settings, const std::optional<RegisteredPatient>& registered) {
    const QString name = offeredPersonName(booking.booking.YNAME, registered);
    ItemTexts texts{name, longStringOf(booking.departmentName), longStringOf(booking.bodyPartName),
                    longStringOf(booking.booking.ETC)};
    const auto [charset, note] = chooseCharset(texts, settings);
    WorklistItem item{std::make_unique<DcmDataset>(), specificCharacterSetOf(charset), note};
    DcmDataset& d = *item.dataset;
    const QString& key = booking.code;
    putAscii(d, DCM_AccessionNumber, key);
    putText(d, DCM_PatientName, texts.patientName, charset);
    putAscii(d, DCM_PatientID, booking.patientId);
    if (registered) putAscii(d, DCM_PatientBirthDate, dicomBirthDateOf(*registered));
    putAscii(d, DCM_PatientSex, sexOf(booking.booking.SEX));
    putAscii(d, DCM_PatientAge, dicomAgeOf(booking.booking.AGE));
    putAscii(d, DCM_StudyInstanceUID, booking.studyUid);
    putText(d, DCM_RequestingService, texts.department, charset);
    putText(d, DCM_RequestedProcedureDescription, texts.bodyPart, charset);
    putAscii(d, DCM_RequestedProcedureID, key);
    putText(d, DCM_RequestedProcedureComments, texts.remarks, charset);
    DcmItem* step = nullptr;
    d.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step, -2);
    putAscii(*step, DCM_Modality, kModality);
    putAscii(*step, DCM_ScheduledStationAETitle, stationAeTitle);
    putAscii(*step, DCM_ScheduledProcedureStepStartDate, key.mid(1, 8));
    putAscii(*step, DCM_ScheduledProcedureStepStartTime, key.mid(9, 4) + QStringLiteral("00"));
    putText(*step, DCM_ScheduledProcedureStepDescription, texts.bodyPart, charset);
    putAscii(*step, DCM_ScheduledProcedureStepID, key);
    putAscii(*step, DCM_ScheduledProcedureStepStatus, QStringLiteral("SCHEDULED"));
    // Type 2 keys of the step that the bookings do not hold: present, and empty.
    for (const DcmTagKey& tag :
         {DCM_ScheduledPerformingPhysicianName, DCM_ScheduledStationName, DCM_ScheduledProcedureStepLocation}) {
        step->insertEmptyElement(tag);
    }
    return item;
}

std::unique_ptr<DcmDataset> answerTo(DcmDataset& request, const WorklistItem& item) {
    auto answer = std::make_unique<DcmDataset>();
    fillKeys(request, *item.dataset, *answer);
    putAscii(*answer, DCM_SpecificCharacterSet, item.specificCharacterSet);
    return answer;
}

}  // namespace kesola::worklist
