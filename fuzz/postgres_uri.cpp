// The settings line when it names a PostgreSQL server: parsed, turned into libpq's connection string, and shown
// with its password hidden.
#include <QMap>

#include "fuzz/FuzzInput.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"

using namespace kesola;

namespace {

using Settings = QMap<QString, QString>;

Settings asMap(const QList<ConnectionSetting>& settings) {
    Settings map;
    for (const auto& [keyword, value] : settings) map.insert(keyword, value);
    return map;
}

// libpq's reading of a keyword/value connection string: keyword = 'value', a backslash taking the next character
// as it is. Null when the text is not one.
std::optional<QList<ConnectionSetting>> readConnectionString(const QString& text) {
    QList<ConnectionSetting> settings;
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < text.size() && text[p].isSpace()) ++p;
    };
    for (skipBlanks(); p < text.size(); skipBlanks()) {
        const qsizetype equals = text.indexOf(u'=', p);
        if (equals < 0) return std::nullopt;
        const QString keyword = text.mid(p, equals - p).trimmed();
        p = equals + 1;
        skipBlanks();
        if (p >= text.size() || text[p] != u'\'') return std::nullopt;
        QString value;
        for (++p; p < text.size() && text[p] != u'\''; ++p) {
            if (text[p] == u'\\' && ++p >= text.size()) return std::nullopt;
            value += text[p];
        }
        if (p >= text.size()) return std::nullopt;
        ++p;
        settings.append({keyword, value});
    }
    return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = fuzz::textFrom(data, size);
    if (!isPostgresUri(text)) FUZZ_CHECK(withoutPassword(text) == text);
    // Most inputs would stop at the scheme; the fuzzer's effort goes into what follows it.
    const QString uri = isPostgresUri(text) ? text : kPostgresUriScheme + text;

    QList<ConnectionSetting> settings;
    try {
        settings = parsePostgresUri(uri);
    } catch (const DbError& e) {
        FUZZ_CHECK(e.message().startsWith(QStringLiteral("malformed PostgreSQL connection URI: ")));
        return 0;
    }
    const Settings map = asMap(settings);
    FUZZ_CHECK(map.size() == settings.size());  // a later setting replaces an earlier one
    for (const auto& [keyword, value] : settings) {
        FUZZ_CHECK(!keyword.isEmpty());
        for (QChar c : keyword) FUZZ_CHECK((c >= u'a' && c <= u'z') || c == u'_');
        // libpq reads every value as a C string; a NUL would cut it short there.
        FUZZ_CHECK(!value.contains(QChar(0)));
    }

    // Hiding the password changes nothing else: the shown text names the same server the same way.
    const QString shown = withoutPassword(uri);
    Settings expected = map;
    if (expected.contains(QStringLiteral("password"))) expected[QStringLiteral("password")] = QStringLiteral("****");
    Settings reread;
    try {
        reread = asMap(parsePostgresUri(shown));
    } catch (const DbError&) {
        FUZZ_CHECK(!"the location with its password hidden no longer parses");
    }
    // An empty password is not a setting, but it is hidden all the same.
    if (!expected.contains(QStringLiteral("password")) &&
        reread.value(QStringLiteral("password")) == QStringLiteral("****"))
        reread.remove(QStringLiteral("password"));
    FUZZ_CHECK(reread == expected);

    QString connection;
    bool holdsSemicolon = false;
    for (const auto& setting : settings) holdsSemicolon = holdsSemicolon || setting.second.contains(u';');
    try {
        connection = toConnectionString(settings);
    } catch (const DbError&) {
        FUZZ_CHECK(holdsSemicolon);
        return 0;
    }
    FUZZ_CHECK(!holdsSemicolon);
    FUZZ_CHECK(readConnectionString(connection) == settings);
    return 0;
}
