// What a scanner sends the worklist: a C-FIND identifier or an MPPS attribute list, as the bytes of a dataset in any
// of the transfer syntaxes it accepts ('d' first), or a stored name as it goes out in ISO 2022 IR 87 and in
// ISO 2022 IR 13 (any other first byte).
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcistrmb.h>

#include <variant>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "worklist/DicomText.h"
#include "worklist/PerformedSteps.h"
#include "worklist/WorklistAnswer.h"
#include "worklist/WorklistQuery.h"

using namespace kesola;
using namespace kesola::worklist;

namespace {

// A dataset larger than any identifier is not worth the fuzzer's time.
constexpr std::size_t kLargestDataset = 64 * 1024;
// dcmtk reserves an element's value by the length its header declares (new(nothrow), up to 4 GiB) before the value
// has arrived; memory is taken only as the value's bytes come in, and a refused reservation fails the read. That is
// dcmtk's way, not a fault of the worklist, so the target lets such a reservation through (see
// LLVMFuzzerInitialize) instead of reporting it as running out of memory.
constexpr const char* kAllowDeclaredLengths = "-malloc_limit_mb=4200";

WorklistSettings settings() {
    WorklistSettings s;
    s.database = QStringLiteral("unused");
    s.stations = {{QStringLiteral("MRI1"), QStringLiteral("1")}, {QStringLiteral("MRI2"), QStringLiteral("2")}};
    return s;
}

ScheduledBooking booking() {
    ScheduledBooking b;
    b.code = QStringLiteral("1203001150930");
    b.booking.YNAME = QStringLiteral("髙橋　太郎");
    b.booking.SEX = QStringLiteral("1");
    b.booking.AGE = QStringLiteral("45");
    b.patientId = QStringLiteral("P-0001");
    b.departmentName = QStringLiteral("内科");
    b.bodyPartName = QStringLiteral("頭部");
    return b;
}

void checkDataset(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > kLargestDataset) return;
    const E_TransferSyntax syntaxes[] = {EXS_LittleEndianExplicit, EXS_LittleEndianImplicit, EXS_BigEndianExplicit};
    DcmInputBufferStream stream;
    stream.setBuffer(data + 1, static_cast<offile_off_t>(size - 1));
    stream.setEos();
    DcmDataset dataset;
    dataset.transferInit();
    const OFCondition read = dataset.read(stream, syntaxes[data[0] % 3], EGL_noChange);
    dataset.transferEnd();
    if (read.bad()) return;

    static const WorklistSettings s = settings();
    static const ScheduledBooking b = booking();
    const auto parsed = parseWorklistQuery(dataset);
    if (const auto* query = std::get_if<WorklistQuery>(&parsed)) {
        const StoreRead storeRead = storeReadFor(*query, s, QDate(2030, 1, 15));
        // The store is never asked for more than a bounded range of days, nor for a room no station stands in.
        FUZZ_CHECK(storeRead.from.isValid() && storeRead.to.isValid() && storeRead.from <= storeRead.to);
        FUZZ_CHECK(storeRead.from.daysTo(storeRead.to) < kLongestDateRange);
        for (const QString& room : storeRead.roomCodes)
            FUZZ_CHECK(room == QStringLiteral("1") || room == QStringLiteral("2"));
        (void)matches(*query, b);
        const WorklistItem item = worklistItemOf(b, QStringLiteral("MRI1"), s);
        const auto answer = answerTo(dataset, item);
        FUZZ_CHECK(answer->tagExists(DCM_SpecificCharacterSet));
    }
    (void)stepStatusOf(dataset);
    for (const QString& key : scheduledStepKeysOf(dataset)) FUZZ_CHECK(!key.isEmpty() && key == key.trimmed());
}

// Whatever a name holds, what goes out in ISO 2022 IR 87 reads back as the name sent, character for character (a
// character JIS and cp932 map differently, such as U+2212 and U+FF0D, reads back in cp932's form: the same bytes).
void checkName(const std::uint8_t* data, std::size_t size) {
    const QString sent = substituteOutsideJisX0208(personNameOf(fuzz::textFrom(data, size)));
    FUZZ_CHECK(!firstOutsideJisX0208(sent));
    const QByteArray bytes = encodeIso2022Ir87(sent);
    const auto decoded = decodeDicomText(bytes, QStringLiteral("\\ISO 2022 IR 87"));
    FUZZ_CHECK(decoded.has_value());
    FUZZ_CHECK(decoded->size() == sent.size());
    FUZZ_CHECK(encodeIso2022Ir87(*decoded) == bytes);
    // The same with half-width katakana kept, in ISO 2022 IR 13.
    const QString withKatakana = substituteOutsideJisX0208(personNameOf(fuzz::textFrom(data, size)), nullptr, true);
    FUZZ_CHECK(!firstOutsideJisX0201AndJisX0208(withKatakana));
    const QByteArray ir13 = encodeIso2022Ir13Ir87(withKatakana);
    const auto decodedIr13 = decodeDicomText(ir13, QStringLiteral("ISO 2022 IR 13\\ISO 2022 IR 87"));
    FUZZ_CHECK(decodedIr13.has_value());
    FUZZ_CHECK(decodedIr13->size() == withKatakana.size());
    FUZZ_CHECK(encodeIso2022Ir13Ir87(*decodedIr13) == ir13);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.push_back(const_cast<char*>(kAllowDeclaredLengths));
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size() - 1);
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == 'd') {
        checkDataset(data + 1, size - 1);
    } else {
        checkName(data, size);
    }
    return 0;
}
