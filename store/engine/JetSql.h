#pragma once

#include <QString>
#include <QVariantList>

namespace kesola {

// How one engine spells what the Jet statements need. Each engine supplies its own (SqliteDatabase::kJetDialect,
// PostgresDatabase::kJetDialect); the translation asks what the engine can do, never which engine it is.
struct JetDialect {
    // Written after each bound of a prefix range, so that the bounds compare as bytes, the only order in which a
    // range stands for a prefix ("" where every comparison already is one).
    QString byteOrderCollation;
    // True when the engine matches patterns with GLOB ('*', '?', '[...]'); otherwise they become LIKE with '%', '_'.
    bool hasGlob = false;
};

struct TranslatedSql {
    QString sql;          // native statement with positional '?' placeholders
    QVariantList params;  // the statement's literals, in placeholder order
};

// Translates a statement of the Jet dialect that the windows are written in into the engine's own SQL.
// - Every quoted literal becomes a bound parameter, so statement shapes repeat and can be prepared once.
// - LEFT$(x,n) and MID$(x,s,n) become substr().
// - `col LIKE 'abc*'` on a bare column becomes the range `col >= 'abc' AND col < 'abd'`: neither SQLite's nor
//   PostgreSQL's LIKE can use the MAIN_KEY index, and the board runs this twice a second. (The bounds carry the
//   dialect's byte-order collation.)
// - `x LIKE '*'` matches every non-NULL value; a pattern without wildcards becomes equality; any other pattern
//   becomes GLOB or LIKE with '%' and '_', as the dialect has them. Jet's '?' and '#' wildcards are kept.
// - A trailing ';' is dropped.
TranslatedSql translateJetSql(const QString& jetSql, const JetDialect& dialect);

// The smallest text greater than every text that starts with prefix (its last character raised by one, past the
// surrogates: U+D7FF becomes U+E000, a character beyond the BMP the next one).
// Requires: a non-empty prefix whose last character is neither U+FFFF nor U+10FFFF.
QString prefixUpperBound(const QString& prefix);

}  // namespace kesola
