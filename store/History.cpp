#include "store/History.h"

#include <QDateTime>
#include <QSysInfo>
#include <algorithm>
#include <iterator>
#include <utility>

#include "store/Schema.h"
#include "store/engine/Database.h"

namespace kesola {

namespace {

// Each character that would break a row text, and the letter that follows the backslash in its place.
constexpr std::pair<char16_t, char16_t> kEscapes[] = {{u'\\', u'\\'}, {u'\t', u't'}, {u'\r', u'r'}, {u'\n', u'n'}};

QString escapedValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [c](const auto& e) { return e.first == c.unicode(); });
        if (escape == std::end(kEscapes)) {
            out += c;
        } else {
            out += u'\\';
            out += QChar(escape->second);
        }
    }
    return out;
}

std::optional<QString> unescaped(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) return std::nullopt;
        const QChar letter = value[i];
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [letter](const auto& e) { return e.second == letter.unicode(); });
        if (escape == std::end(kEscapes)) return std::nullopt;
        out += QChar(escape->first);
    }
    return out;
}

QString operatingSystemUser() {
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

}  // namespace

QString escapedHistoryValue(const QString& value) { return escapedValue(value); }

bool isFiledUnderReservationKey(const QString& table) {
    return table == QStringLiteral("KESOLA") || table == patientIdTable().name;
}

QString rowText(const RowFields& fields) {
    QStringList parts;
    for (const auto& [name, value] : fields) parts << name + u'=' + escapedValue(value);
    return parts.join(u'\t');
}

std::optional<RowFields> parseRowText(const QString& text) {
    RowFields fields;
    if (text.isEmpty()) return fields;
    for (const QString& part : text.split(u'\t')) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals <= 0) return std::nullopt;
        const std::optional<QString> value = unescaped(part.mid(equals + 1));
        if (!value) return std::nullopt;
        fields.append({part.left(equals), *value});
    }
    return fields;
}

HistoryWriter::HistoryWriter(Database& db, std::optional<HistoryActor> actor)
    : db_(db),
      actor_(actor.value_or(HistoryActor{QSysInfo::machineHostName(), operatingSystemUser()})),
      recording_(hasHistoryTable(db)) {}

QString HistoryWriter::rowUnder(const TableSchema& table, const QString& key) {
    if (!recording_) return {};
    auto keyed = db_.openTable(table);
    RowFields fields;
    if (keyed->seek(key)) {
        for (const QString& column : table.columns) fields.append({column, keyed->field(column)});
    }
    keyed->close();
    return rowText(fields);
}

void HistoryWriter::record(const QString& action, const TableSchema& table, const QString& key, const QString& before) {
    if (!recording_) return;
    const QString after = rowUnder(table, key);
    db_.execute(QStringLiteral("INSERT INTO RIREKI (NICHIJI, TANMATSU, RIYOSHA, SOSA, TBL, CODE, MAE, ATO) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                {QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), actor_.terminal,
                 actor_.user, action, table.name, key, before, after});
}

}  // namespace kesola
