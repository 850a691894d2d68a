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

// The user part ends at the first '@' that comes before any '/'; the position of that '@', or -1 without one.
qsizetype userPartEnd(const QByteArray& uri, qsizetype start) {
    qsizetype p = start;
    while (p < uri.size() && uri[p] != '@' && uri[p] != '/') ++p;
    return p < uri.size() && uri[p] == '@' ? p : -1;
}

// Returns where the hosts begin.
qsizetype parseUser(const QByteArray& uri, qsizetype start, QList<ConnectionSetting>& settings) {
    const qsizetype p = userPartEnd(uri, start);
    if (p < 0) return start;
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

// After the hosts, at p: the position of the '?' that opens the query, or the URI's end without one.
qsizetype databaseEnd(const QByteArray& uri, qsizetype p) {
    if (p < uri.size() && uri[p] == '/') {
        ++p;
        while (p < uri.size() && uri[p] != '?') ++p;
    }
    return p < uri.size() && uri[p] == '?' ? p : uri.size();
}

// Where the query of a URI begins, found as the parser finds it: a '?' inside the user part or an IPv6 address
// opens none. A URI too malformed to be parsed (it is only ever shown, never opened) takes its first '?' after
// the user part.
qsizetype queryStart(const QByteArray& uri, qsizetype hostsStart) {
    try {
        QByteArray hosts;
        QByteArray ports;
        return databaseEnd(uri, parseHosts(uri, hostsStart, hosts, ports));
    } catch (const DbError&) {
        const qsizetype mark = uri.indexOf('?', hostsStart);
        return mark < 0 ? uri.size() : mark;
    }
}

}  // namespace

bool isPostgresUri(const QString& location) { return location.startsWith(kPostgresUriScheme); }

QList<ConnectionSetting> parsePostgresUri(const QString& uri) {
    if (!isPostgresUri(uri)) malformed(QStringLiteral("it does not begin with %1").arg(kPostgresUriScheme));
    // libpq takes every setting as a C string: a NUL (a damaged settings file) would cut the value it stands in
    // short without a word, and the workstation would connect with what is left.
    if (uri.contains(QChar(0))) malformed(QStringLiteral("it holds a NUL character"));
    const QByteArray bytes = uri.toUtf8();
    QList<ConnectionSetting> settings;
    qsizetype p = parseUser(bytes, kPostgresUriScheme.size(), settings);

    QByteArray hosts;
    QByteArray ports;
    p = parseHosts(bytes, p, hosts, ports);
    if (!hosts.isEmpty()) store(settings, QStringLiteral("host"), decode(hosts));
    if (!ports.isEmpty()) store(settings, QStringLiteral("port"), decode(ports));

    const qsizetype query = databaseEnd(bytes, p);
    if (p < bytes.size() && bytes[p] == '/') {
        // An empty name would force libpq's default (the user's name) over PGDATABASE, so it is left out.
        const QString database = decode(bytes.mid(p + 1, query - p - 1));
        if (!database.isEmpty()) store(settings, QStringLiteral("dbname"), database);
    }
    if (query < bytes.size()) parseQuery(bytes.mid(query + 1), settings);
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
    // Worked on in the parser's own form, so that a part is the part the parser sees.
    QByteArray out = location.toUtf8();
    const QByteArray hidden = kHidden.toUtf8();
    const qsizetype start = kPostgresUriScheme.size();
    const qsizetype at = userPartEnd(out, start);
    const qsizetype hostsStart = at < 0 ? start : at + 1;
    const qsizetype query = queryStart(out, hostsStart);
    // The query first: hiding the user part's password moves what follows it.
    if (query < out.size()) {
        QList<QByteArray> parameters = out.mid(query + 1).split('&');
        for (QByteArray& parameter : parameters) {
            const qsizetype equals = parameter.indexOf('=');
            const QByteArray keyword = equals < 0 ? parameter : parameter.left(equals);
            bool isPassword = false;
            try {
                isPassword = decode(keyword) == kPassword;
            } catch (const DbError&) {
                isPassword = QString::fromUtf8(keyword).contains(kPassword, Qt::CaseInsensitive);
            }
            if (isPassword) parameter = keyword + '=' + hidden;
        }
        QByteArray shownQuery = parameters.join('&');
        // Without a user part, the first '/' may have been inside a hidden value; an '@' after it would then open
        // a user part in the shown text. Written as %40 it reads as the same value and opens none.
        if (at < 0 && userPartEnd(out.left(query + 1) + shownQuery, start) >= 0) shownQuery.replace("@", "%40");
        out = out.left(query + 1) + shownQuery;
    }
    if (at >= 0) {
        const qsizetype colon = out.indexOf(':', start);
        if (colon >= 0 && colon < at) out.replace(colon + 1, at - colon - 1, hidden);
    }
    return QString::fromUtf8(out);
}

}  // namespace kesola
