#pragma once

#include <QString>
#include <QStringView>

namespace kesola {

// The system's CSV files (the export, the history): a value is written exactly as stored, except that a value
// holding a comma, a double quote, CR or LF is put in double quotes with its quotes doubled, so that it cannot
// shift the columns after it. Excel reads both forms.

// Appends the value and the comma that follows it.
void appendCsvValue(QString& out, QStringView value);

// The value as it is written, without the comma.
QString csvValue(const QString& value);

}  // namespace kesola
