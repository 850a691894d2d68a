#pragma once

#include <QList>
#include <QString>
#include <utility>

namespace kesola {

// The settings file's line names a PostgreSQL server when it is a libpq connection URI:
//   postgresql://[user@][host][:port][,host2[:port2]...][/database][?keyword=value&...]
// Everything else is the path of a database file.

inline const QString kPostgresUriScheme = QStringLiteral("postgresql://");

bool isPostgresUri(const QString& location);

using ConnectionSetting = std::pair<QString, QString>;  // libpq keyword, value

// Splits a URI into libpq's keyword/value settings the way libpq itself reads it: user, password, host, port and
// dbname from the URI's parts, the rest from its query (where `ssl=true` means `sslmode=require`), %XX decoded.
// Settings the URI leaves out stay libpq's own defaults (PGHOST, PGUSER, .pgpass, ...).
// Throws DbError for a malformed URI; the message never repeats a password.
QList<ConnectionSetting> parsePostgresUri(const QString& uri);

// The settings as a libpq keyword/value string, each value quoted.
// Throws DbError for a value holding ';', which Qt's driver would turn into a space.
QString toConnectionString(const QList<ConnectionSetting>& settings);

// The location as it may be shown to a user or printed: a password written into a URI is replaced by "****".
// Any other text is returned unchanged.
QString withoutPassword(const QString& location);

}  // namespace kesola
