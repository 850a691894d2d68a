#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace kesola {

// kesola-admin without-id DATABASE [--from YYYY-MM-DD] [--days N]: the bookings still to be done that have no
// patient ID, from the day given (today by default) for N days (1 by default), one line each in key order: what
// reception must complete before a scanner can take them. args starts with "without-id".
int runWithoutId(const QStringList& args, QTextStream& out, QTextStream& err, QDate today);

}  // namespace kesola
