// The export's records and the CSV values of every file the system writes, fed any stored texts: the fields are the
// input's text split at U+0000.
#include <QStringList>

#include "fuzz/FuzzInput.h"
#include "store/Cp932.h"
#include "store/CsvValue.h"
#include "store/Numbers.h"
#include "tools/CsvExport.h"

using namespace kesola;

namespace {

// A CSV line read as Excel reads one: a value in double quotes holds anything, a doubled quote standing for one;
// any other value runs to the next comma. Null when the text is not such a line.
std::optional<QStringList> readCsvLine(const QString& line) {
    QStringList values;
    qsizetype p = 0;
    for (;;) {
        QString value;
        if (p < line.size() && line[p] == u'"') {
            for (++p;; ++p) {
                if (p >= line.size()) return std::nullopt;
                if (line[p] == u'"') {
                    if (p + 1 < line.size() && line[p + 1] == u'"') {
                        ++p;
                    } else {
                        ++p;
                        break;
                    }
                }
                value += line[p];
            }
            if (p < line.size() && line[p] != u',') return std::nullopt;
        } else {
            const qsizetype comma = line.indexOf(u',', p);
            value = line.mid(p, comma < 0 ? -1 : comma - p);
            if (value.contains(u'"')) return std::nullopt;
            p = comma < 0 ? line.size() : comma;
        }
        values << value;
        if (p >= line.size()) return values;
        ++p;  // the comma
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList fields = fuzz::textFrom(data, size).split(QChar(0));
    for (const QString& field : fields) FUZZ_CHECK(readCsvLine(csvValue(field)) == QStringList{field});

    const ExportRow row{fields.value(0), fields.value(1), fields.value(2), fields.value(3), fields.value(4),
                        fields.value(5), fields.value(6), fields.value(7), fields.value(8)};
    QString record;
    appendCsvRecord(record, row);
    FUZZ_CHECK(record.endsWith(u'\r'));
    record.chop(1);
    QStringList expected{row.code.mid(0, 1),
                         row.code.mid(1, 4),
                         row.code.mid(5, 2),
                         row.code.mid(7, 2),
                         row.code.mid(9, 2),
                         row.code.mid(11, 2),
                         row.minutes,
                         row.department,
                         row.name,
                         row.bodyPart,
                         row.sex,
                         row.age,
                         row.status,
                         trimBlanks(row.remarks).isEmpty() ? QString() : row.remarks,
                         QString()};  // after the last value's comma
    FUZZ_CHECK(readCsvLine(record) == expected);

    // The file holds the record in cp932: no character may turn into a comma, quote or line end there and shift the
    // columns after it.
    const QString written = Cp932::decode(Cp932::encode(record));
    for (QString& value : expected) value = Cp932::decode(Cp932::encode(value));
    FUZZ_CHECK(readCsvLine(written) == expected);
    return 0;
}
