#pragma once

#include <QString>
#include <QVariantList>

namespace kesola {

enum class SqlDialect { Sqlite, PostgreSql };

struct TranslatedSql {
    QString sql;          // native statement with positional '?' placeholders
    QVariantList params;  // the statement's literals, in placeholder order
};

// Translates a statement of the Jet dialect that the windows are written in into the engine's own SQL.
// - Every quoted literal becomes a bound parameter, so statement shapes repeat and can be prepared once.
// - LEFT$(x,n) and MID$(x,s,n) become substr().
// - `col LIKE 'abc*'` on a bare column becomes the range `col >= 'abc' AND col < 'abd'`: neither SQLite's nor
//   PostgreSQL's LIKE can use the MAIN_KEY index, and the board runs this twice a second. (PostgreSQL compares the
//   bounds with COLLATE "C", the byte order in which a range is a prefix.)
// - `x LIKE '*'` matches every non-NULL value; a pattern without wildcards becomes equality; any other pattern
//   becomes GLOB (SQLite) or LIKE with '%' and '_' (PostgreSQL). Jet's '?' and '#' wildcards are kept.
// - A trailing ';' is dropped.
TranslatedSql translateJetSql(const QString& jetSql, SqlDialect dialect);

// The smallest text greater than every text that starts with prefix (its last character raised by one).
// Requires: a non-empty prefix whose last character is not U+FFFF.
QString prefixUpperBound(const QString& prefix);

}  // namespace kesola
