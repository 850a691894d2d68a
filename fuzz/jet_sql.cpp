// A statement of the Jet dialect translated for both engines, and the prefix bound its LIKE ranges use.
#include "fuzz/FuzzInput.h"
#include "store/engine/JetSql.h"
#include "store/engine/PostgresDatabase.h"
#include "store/engine/SqliteDatabase.h"

using namespace kesola;

namespace {

// Outside its quoted literals the statement holds no '?': the windows write none, and one written there would be
// an engine placeholder without a value. Only such statements have a value for every placeholder.
bool questionMarksOnlyInLiterals(const QString& jetSql) {
    bool inLiteral = false;
    for (QChar c : jetSql) {
        if (c == u'\'') inLiteral = !inLiteral;  // a doubled quote leaves and re-enters at once
        if (c == u'?' && !inLiteral) return false;
    }
    return true;
}

void checkTranslation(const QString& jetSql, const JetDialect& dialect) {
    const TranslatedSql out = translateJetSql(jetSql, dialect);
    FUZZ_CHECK(!out.sql.endsWith(u';'));
    if (!questionMarksOnlyInLiterals(jetSql)) return;
    FUZZ_CHECK(out.sql.count(u'?') == out.params.size());
    for (const QVariant& param : out.params) FUZZ_CHECK(param.typeId() == QMetaType::QString);
}

// The engines compare the range's bounds as bytes of UTF-8, which is the order of the code points: the bound must
// be a text an engine can hold, above the prefix and above every text that begins with it.
void checkPrefixBound(const QString& prefix, const QString& suffix) {
    if (prefix.isEmpty() || prefix.back().unicode() == 0xFFFF || !prefix.isValidUtf16()) return;
    const QString upper = prefixUpperBound(prefix);
    FUZZ_CHECK(upper.isValidUtf16());
    FUZZ_CHECK(prefix.toUtf8() < upper.toUtf8());
    if (suffix.isValidUtf16()) FUZZ_CHECK((prefix + suffix).toUtf8() < upper.toUtf8());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString jetSql = fuzz::textFrom(data, size);
    checkTranslation(jetSql, SqliteDatabase::kJetDialect);
    checkTranslation(jetSql, PostgresDatabase::kJetDialect);
    const qsizetype half = jetSql.size() / 2;
    checkPrefixBound(jetSql.left(half), jetSql.mid(half));
    return 0;
}
