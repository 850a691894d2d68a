#include "store/engine/JetSql.h"

#include <QRegularExpression>

namespace kesola {

namespace {

// Splits the statement into its text with '?' in place of each literal, and the literals.
TranslatedSql extractLiterals(const QString& jetSql) {
    TranslatedSql out;
    out.sql.reserve(jetSql.size());
    for (qsizetype i = 0; i < jetSql.size(); ++i) {
        const QChar c = jetSql[i];
        if (c != u'\'') {
            out.sql += c;
            continue;
        }
        QString literal;
        ++i;
        for (; i < jetSql.size(); ++i) {
            if (jetSql[i] == u'\'') {
                if (i + 1 < jetSql.size() && jetSql[i + 1] == u'\'') {
                    literal += u'\'';
                    ++i;
                    continue;
                }
                break;
            }
            literal += jetSql[i];
        }
        out.sql += u'?';
        out.params.append(literal);
    }
    return out;
}

QString rewriteFunctions(QString sql) {
    static const QRegularExpression left(QStringLiteral(R"(LEFT\$\(\s*(\w+)\s*,\s*(\d+)\s*\))"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression mid(QStringLiteral(R"(MID\$\(\s*(\w+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\))"),
                                        QRegularExpression::CaseInsensitiveOption);
    sql.replace(left, QStringLiteral("substr(\\1,1,\\2)"));
    sql.replace(mid, QStringLiteral("substr(\\1,\\2,\\3)"));
    return sql;
}

bool isJetWildcard(QChar c) { return c == u'*' || c == u'?' || c == u'#' || c == u'['; }

bool onlyStars(const QString& pattern) {
    for (QChar c : pattern) {
        if (c != u'*') return false;
    }
    return true;
}

// The literal text before a single trailing '*', or a null string when the pattern is not of that shape.
QString plainPrefix(const QString& pattern) {
    if (!pattern.endsWith(u'*')) return {};
    const QString head = pattern.left(pattern.size() - 1);
    for (QChar c : head) {
        if (isJetWildcard(c)) return {};
    }
    if (head.isEmpty() || head.back().unicode() == 0xFFFF || head.endsWith(QStringLiteral("\U0010FFFF"))) return {};
    return head;
}

bool hasWildcard(const QString& pattern) {
    for (QChar c : pattern) {
        if (isJetWildcard(c)) return true;
    }
    return false;
}

QString toGlob(const QString& pattern) {
    QString out;
    for (QChar c : pattern) {
        if (c == u'#') {
            out += QStringLiteral("[0-9]");
        } else {
            out += c;
        }
    }
    return out;
}

QString toSqlLike(const QString& pattern) {
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'*') {
            out += u'%';
        } else if (c == u'?' || c == u'#') {
            out += u'_';  // '#' loses its digit-only meaning here; the system never uses it
        } else if (c == u'%' || c == u'_' || c == u'\\') {
            out += u'\\';
            out += c;
        } else if (c == u'[') {
            const qsizetype close = pattern.indexOf(u']', i + 1);
            if (close == i + 2) {  // [*] [?] [#]: an escaped single character
                const QChar escaped = pattern[i + 1];
                if (escaped == u'%' || escaped == u'_' || escaped == u'\\') out += u'\\';
                out += escaped;
                i = close;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

struct LikeRewrite {
    QString sql;
    QVariantList params;
};

LikeRewrite rewriteLike(const QString& expr, bool bareColumn, const QString& pattern, const JetDialect& dialect) {
    if (onlyStars(pattern) && !pattern.isEmpty()) return {expr + QStringLiteral(" IS NOT NULL"), {}};
    if (bareColumn) {
        const QString prefix = plainPrefix(pattern);
        if (!prefix.isNull()) {
            // The range stands for a prefix only in byte order; an engine may compare other columns in the
            // database's language order. On CODE (byte-ordered already) the index still serves.
            const QString bound = QStringLiteral("?") + dialect.byteOrderCollation;
            return {QStringLiteral("(%1 >= %2 AND %1 < %2)").arg(expr, bound), {prefix, prefixUpperBound(prefix)}};
        }
    }
    if (!hasWildcard(pattern)) return {expr + QStringLiteral(" = ?"), {pattern}};
    if (dialect.hasGlob) return {expr + QStringLiteral(" GLOB ?"), {toGlob(pattern)}};
    return {expr + QStringLiteral(" LIKE ? ESCAPE '\\'"), {toSqlLike(pattern)}};
}

}  // namespace

QString prefixUpperBound(const QString& prefix) {
    QString upper = prefix;
    const qsizetype last = upper.size() - 1;
    const char16_t unit = upper[last].unicode();
    if (QChar::isLowSurrogate(unit) && last > 0 && upper[last - 1].isHighSurrogate()) {
        // A character beyond the BMP is raised as the one character it is: its low half alone would overflow into
        // a text no engine can hold.
        const char32_t next = QChar::surrogateToUcs4(upper[last - 1], upper[last]) + 1;
        upper[last - 1] = QChar(QChar::highSurrogate(next));
        upper[last] = QChar(QChar::lowSurrogate(next));
    } else {
        // The surrogates are no characters: U+E000 follows U+D7FF.
        upper[last] = QChar(unit == 0xD7FF ? char16_t{0xE000} : static_cast<char16_t>(unit + 1));
    }
    return upper;
}

TranslatedSql translateJetSql(const QString& jetSql, const JetDialect& dialect) {
    TranslatedSql extracted = extractLiterals(jetSql);
    const QString sql = rewriteFunctions(extracted.sql);

    static const QRegularExpression like(QStringLiteral(R"((substr\([^)]*\)|\b\w+)\s+LIKE\s+\?)"),
                                         QRegularExpression::CaseInsensitiveOption);
    TranslatedSql out;
    qsizetype copied = 0;
    qsizetype paramIndex = 0;
    auto copyUpTo = [&](qsizetype end) {
        for (qsizetype i = copied; i < end; ++i) {
            out.sql += sql[i];
            if (sql[i] == u'?') out.params.append(extracted.params.value(paramIndex++));
        }
        copied = end;
    };
    for (auto it = like.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        copyUpTo(m.capturedStart());
        const QString expr = m.captured(1);
        const QString pattern = extracted.params.value(paramIndex++).toString();
        const LikeRewrite rewritten =
            rewriteLike(expr, !expr.startsWith(QStringLiteral("substr"), Qt::CaseInsensitive), pattern, dialect);
        out.sql += rewritten.sql;
        out.params += rewritten.params;
        copied = m.capturedEnd();
    }
    copyUpTo(sql.size());

    out.sql = out.sql.trimmed();
    while (out.sql.endsWith(u';')) out.sql.chop(1);
    return out;
}

}  // namespace kesola
