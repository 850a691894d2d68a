#include "store/CsvValue.h"

namespace kesola {

namespace {

bool needsQuotes(QStringView value) {
    for (QChar c : value) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') return true;
    }
    return false;
}

}  // namespace

void appendCsvValue(QString& out, QStringView value) {
    if (!needsQuotes(value)) {
        out += value;
    } else {
        out += u'"';
        for (QChar c : value) {
            if (c == u'"') out += u'"';
            out += c;
        }
        out += u'"';
    }
    out += u',';
}

QString csvValue(const QString& value) {
    QString out;
    appendCsvValue(out, value);
    out.chop(1);
    return out;
}

}  // namespace kesola
