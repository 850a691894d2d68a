#include "store/engine/PostgresUri.h"

#include <QStringList>

#include "store/engine/DbError.h"

namespace kesola {

namespace {

const QString kPassword = QStringLiteral("password");
const QString kHidden = QStringLiteral("****");

[[noreturn]] void malformed(const QString& what) {
    throw DbError(QStringLiteral("malformed PostgreSQL connection URI: %1").arg(what));
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX decoding as libpq does it: '+' stays '+', a stray '%' or an encoded NUL is an error.
QString decode(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) malformed(QStringLiteral("invalid percent-encoded token"));
        const char c = static_cast<char>(high * 16 + low);
        if (c == '\0') malformed(QStringLiteral("forbidden value %00 in percent-encoded value"));
        out += c;
        i += 2;
    }
    return QString::fromUtf8(out);
}

// Later settings replace earlier ones, as a query parameter overrides the URI's own host or user in libpq.
void store(QList<ConnectionSetting>& settings, const QString& keyword, const QString& value) {
    for (ConnectionSetting& s : settings) {
        if (s.first == keyword) {
            s.second = value;
            return;
        }
    }
    settings.append({keyword, value});
}

bool isKeyword(const QString& keyword) {
    if (keyword.isEmpty()) return false;
    for (QChar c : keyword) {
        if (!(c.isLower() && c.unicode() < 128) && c != u'_') return false;
    }
    return true;
}

void parseQuery(const QByteArray& query, QList<ConnectionSetting>& settings) {
    if (query.isEmpty()) return;
    for (const QByteArray& parameter : query.split('&')) {
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0) malformed(QStringLiteral("missing \"=\" in a query parameter"));
        if (parameter.indexOf('=', equals + 1) >= 0) malformed(QStringLiteral("extra \"=\" in a query parameter"));
        QString keyword = decode(parameter.left(equals));
        QString value = decode(parameter.mid(equals + 1));
        if (keyword == QStringLiteral("ssl") && value == QStringLiteral("true")) {
            keyword = QStringLiteral("sslmode");
            value = QStringLiteral("require");
        }
        if (!isKeyword(keyword)) malformed(QStringLiteral("invalid query parameter \"%1\"").arg(keyword));
        store(settings, keyword, value);
    }
}

// host[:port] or [ipv6][:port], comma separated; returns the position just after the host list.
qsizetype parseHosts(const QByteArray& uri, qsizetype p, QByteArray& hosts, QByteArray& ports) {
    for (;;) {
        if (p < uri.size() && uri[p] == '[') {
            const qsizetype close = uri.indexOf(']', p + 1);
            if (close < 0) malformed(QStringLiteral("no \"]\" after an IPv6 host address"));
            if (close == p + 1) malformed(QStringLiteral("empty IPv6 host address"));
            hosts += uri.mid(p + 1, close - p - 1);
            p = close + 1;
            if (p < uri.size() && !QByteArray(":/?,").contains(uri[p]))
                malformed(QStringLiteral("unexpected character after an IPv6 host address"));
        } else {
            const qsizetype start = p;
            while (p < uri.size() && !QByteArray(":/?,").contains(uri[p])) ++p;
            hosts += uri.mid(start, p - start);
        }
        if (p < uri.size() && uri[p] == ':') {
            const qsizetype start = ++p;
            while (p < uri.size() && !QByteArray("/?,").contains(uri[p])) ++p;
            ports += uri.mid(start, p - start);
        }
        if (p >= uri.size() || uri[p] != ',') return p;
        ++p;
        hosts += ',';
        ports += ',';
    }
}

// The user part ends at the first '@' that comes before any '/'; returns where the hosts begin.
qsizetype parseUser(const QByteArray& uri, qsizetype start, QList<ConnectionSetting>& settings) {
    qsizetype p = start;
    while (p < uri.size() && uri[p] != '@' && uri[p] != '/') ++p;
    if (p >= uri.size() || uri[p] != '@') return start;
    const QByteArray credentials = uri.mid(start, p - start);
    const qsizetype colon = credentials.indexOf(':');
    const QString user = decode(colon < 0 ? credentials : credentials.left(colon));
    if (!user.isEmpty()) store(settings, QStringLiteral("user"), user);
    if (colon >= 0) {
        const QString password = decode(credentials.mid(colon + 1));
        if (!password.isEmpty()) store(settings, kPassword, password);
    }
    return p + 1;
}

}  // namespace

bool isPostgresUri(const QString& location) { return location.startsWith(kPostgresUriScheme); }

QList<ConnectionSetting> parsePostgresUri(const QString& uri) {
    if (!isPostgresUri(uri)) malformed(QStringLiteral("it does not begin with %1").arg(kPostgresUriScheme));
    const QByteArray bytes = uri.toUtf8();
    QList<ConnectionSetting> settings;
    qsizetype p = parseUser(bytes, kPostgresUriScheme.size(), settings);

    QByteArray hosts;
    QByteArray ports;
    p = parseHosts(bytes, p, hosts, ports);
    if (!hosts.isEmpty()) store(settings, QStringLiteral("host"), decode(hosts));
    if (!ports.isEmpty()) store(settings, QStringLiteral("port"), decode(ports));

    if (p < bytes.size() && bytes[p] == '/') {
        const qsizetype start = ++p;
        while (p < bytes.size() && bytes[p] != '?') ++p;
        // An empty name would force libpq's default (the user's name) over PGDATABASE, so it is left out.
        const QString database = decode(bytes.mid(start, p - start));
        if (!database.isEmpty()) store(settings, QStringLiteral("dbname"), database);
    }
    if (p < bytes.size() && bytes[p] == '?') parseQuery(bytes.mid(p + 1), settings);
    return settings;
}

QString toConnectionString(const QList<ConnectionSetting>& settings) {
    QStringList parts;
    for (const auto& [keyword, value] : settings) {
        if (value.contains(u';')) {
            throw DbError(
                QStringLiteral("the connection setting %1 holds \";\", which cannot be passed on").arg(keyword));
        }
        QString quoted = value;
        quoted.replace(u'\\', QStringLiteral("\\\\"));
        quoted.replace(u'\'', QStringLiteral("\\'"));
        parts << keyword + QStringLiteral("='") + quoted + u'\'';
    }
    return parts.join(u' ');
}

QString withoutPassword(const QString& location) {
    if (!isPostgresUri(location)) return location;
    QString out = location;
    const qsizetype start = kPostgresUriScheme.size();
    qsizetype p = start;
    while (p < out.size() && out[p] != u'@' && out[p] != u'/') ++p;
    if (p < out.size() && out[p] == u'@') {
        const qsizetype colon = out.indexOf(u':', start);
        if (colon >= 0 && colon < p) out.replace(colon + 1, p - colon - 1, kHidden);
    }
    const qsizetype query = out.indexOf(u'?', start);
    if (query < 0) return out;
    QStringList parameters = out.mid(query + 1).split(u'&');
    for (QString& parameter : parameters) {
        const qsizetype equals = parameter.indexOf(u'=');
        const QString keyword = equals < 0 ? parameter : parameter.left(equals);
        bool isPassword = false;
        try {
            isPassword = decode(keyword.toUtf8()) == kPassword;
        } catch (const DbError&) {
            isPassword = keyword.contains(kPassword, Qt::CaseInsensitive);
        }
        if (isPassword) parameter = keyword + u'=' + kHidden;
    }
    return out.left(query + 1) + parameters.join(u'&');
}

}  // namespace kesola
