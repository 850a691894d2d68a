#pragma once

#include <QString>
#include <memory>

#include "store/PatientRegister.h"
#include "store/WorklistStore.h"
#include "worklist/WorklistSettings.h"

class DcmDataset;

namespace kesola::worklist {

// One booking as a worklist item, every value the worklist holds for it, texts in the answer's character set.
struct WorklistItem {
    std::unique_ptr<DcmDataset> dataset;
    // The value of Specific Character Set the texts are written in.
    QString specificCharacterSet;
    // For the log, when the texts held a character outside JIS X 0208: what was done with it; "" otherwise.
    QString outsideNote;
};

// Builds the item of one booking offered to a station. Patient's Name, Requesting Service and the descriptions
// are written in the configured set; when that is ISO 2022 IR 87 and a text holds a character outside JIS X 0208,
// the item goes out as ISO_IR 192 or with the character substituted, as the settings say. With the patient's row
// of the register, the name goes out in three groups and with the birth date (RegisteredName.h).
WorklistItem worklistItemOf(const ScheduledBooking& booking, const QString& stationAeTitle,
                            const WorklistSettings& settings,
                            const std::optional<RegisteredPatient>& registered = std::nullopt);

// The C-FIND answer to a request: every key the request holds, with the item's value (zero-length for a key the
// worklist does not hold), the Scheduled Procedure Step Sequence's keys from its item, and Specific Character Set.
std::unique_ptr<DcmDataset> answerTo(DcmDataset& request, const WorklistItem& item);

// "045Y" for a stored age of 45; "" for one that is not 0 to 150.
QString dicomAgeOf(const QString& storedAge);

}  // namespace kesola::worklist
