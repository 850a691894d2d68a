#include "worklist/WorklistSettings.h"

#include <QFile>
#include <QSet>
#include <algorithm>

namespace kesola::worklist {

namespace {

const QString kWorklistSection = QStringLiteral("worklist");
const QString kStationsSection = QStringLiteral("stations");

// A comment starts at ';' or '#' at the beginning of a line, or at a ';' after a blank: a database path may hold a
// ';' or '#' of its own, but not one after a blank.
QString withoutComment(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u';') || trimmed.startsWith(u'#')) return {};
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (line[i] == u';' && (line[i - 1] == u' ' || line[i - 1] == u'\t')) return line.left(i).trimmed();
    }
    return trimmed;
}

class Parser {
  public:
    explicit Parser(const QString& fileName) : fileName_(fileName) {}

    SettingsRead parse(const QString& text) {
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(u'\r')) line.chop(1);
            if (!parseLine(withoutComment(line), static_cast<int>(i + 1))) return {std::nullopt, error_};
        }
        if (settings_.database.isEmpty()) return failed(QStringLiteral("[worklist] に database = の行がありません"));
        if (settings_.stations.empty()) return failed(QStringLiteral("[stations] に検査室が一つもありません"));
        return {settings_, {}};
    }

  private:
    SettingsRead failed(const QString& what) { return {std::nullopt, fileName_ + QStringLiteral(": ") + what}; }

    bool fail(int line, const QString& what) {
        error_ = QStringLiteral("%1:%2: %3").arg(fileName_).arg(line).arg(what);
        return false;
    }

    bool parseLine(const QString& line, int number) {
        if (line.isEmpty()) return true;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) return fail(number, QStringLiteral("節の名前が ] で閉じていません"));
            section_ = line.mid(1, line.size() - 2).trimmed();
            if (section_ != kWorklistSection && section_ != kStationsSection) {
                return fail(number,
                            QStringLiteral("[%1] という節はありません ([worklist] か [stations])").arg(section_));
            }
            return true;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) return fail(number, QStringLiteral("「キー = 値」の形ではありません"));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (section_.isEmpty()) return fail(number, QStringLiteral("%1 = が節 ([worklist]) の前にあります").arg(key));
        if (section_ == kStationsSection) return parseStation(key, value, number);
        if (seenKeys_.contains(key)) return fail(number, QStringLiteral("%1 = が二度書かれています").arg(key));
        seenKeys_.insert(key);
        return parseWorklistKey(key, value, number);
    }

    bool parseWorklistKey(const QString& key, const QString& value, int number) {
        if (key == QStringLiteral("database")) {
            if (value.isEmpty()) return fail(number, QStringLiteral("database = の値が空です"));
            settings_.database = value;
        } else if (key == QStringLiteral("aetitle")) {
            if (!isValidAeTitle(value)) return fail(number, notAeTitle(value));
            settings_.aeTitle = value;
        } else if (key == QStringLiteral("port")) {
            bool ok = false;
            const uint port = value.toUInt(&ok);
            if (!ok || port < 1 || port > 65535) {
                return fail(number, QStringLiteral("port の値「%1」は 1 から 65535 までの数ではありません").arg(value));
            }
            settings_.port = static_cast<quint16>(port);
        } else if (key == QStringLiteral("accept")) {
            const QStringList titles = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString& title : titles) {
                if (!isValidAeTitle(title)) return fail(number, notAeTitle(title));
            }
            settings_.accept = titles;
        } else if (key == QStringLiteral("charset")) {
            if (value == QStringLiteral("ISO 2022 IR 87")) {
                settings_.charset = AnswerCharset::Iso2022Ir87;
            } else if (value == QStringLiteral("ISO_IR 192")) {
                settings_.charset = AnswerCharset::Utf8;
            } else {
                return fail(
                    number,
                    QStringLiteral("charset の値「%1」は ISO 2022 IR 87 でも ISO_IR 192 でもありません").arg(value));
            }
        } else if (key == QStringLiteral("outside")) {
            if (value == QStringLiteral("utf8")) {
                settings_.outside = OutsideJisX0208::AnswerInUtf8;
            } else if (value == QStringLiteral("substitute")) {
                settings_.outside = OutsideJisX0208::Substitute;
            } else {
                return fail(number,
                            QStringLiteral("outside の値「%1」は utf8 でも substitute でもありません").arg(value));
            }
        } else if (key == QStringLiteral("mpps_days") || key == QStringLiteral("without_id")) {
            return parseIdentityKey(key, value, number);
        } else {
            return fail(number, QStringLiteral("[worklist] に %1 というキーはありません").arg(key));
        }
        return true;
    }

    // The keys that decide which bookings the scanners may take and report.
    bool parseIdentityKey(const QString& key, const QString& value, int number) {
        if (key == QStringLiteral("mpps_days")) {
            bool ok = false;
            const uint days = value.toUInt(&ok);
            if (!ok || days > kMaxMppsDays) {
                return fail(number, QStringLiteral("mpps_days の値「%1」は 0 から %2 までの数ではありません")
                                        .arg(value)
                                        .arg(kMaxMppsDays));
            }
            settings_.mppsDays = static_cast<int>(days);
        } else if (value == QStringLiteral("skip") || value == QStringLiteral("serve")) {
            settings_.withoutId = value == QStringLiteral("skip") ? WithoutPatientId::Skip : WithoutPatientId::Serve;
        } else {
            return fail(number, QStringLiteral("without_id の値「%1」は skip でも serve でもありません").arg(value));
        }
        return true;
    }

    bool parseStation(const QString& aeTitle, const QString& room, int number) {
        if (!isValidAeTitle(aeTitle)) return fail(number, notAeTitle(aeTitle));
        if (settings_.roomOfStation(aeTitle)) {
            return fail(number, QStringLiteral("検査装置 %1 が二度書かれています").arg(aeTitle));
        }
        if (room.size() != 1 || room[0] < u'1' || room[0] > u'9') {
            return fail(
                number,
                QStringLiteral("%1 の検査室「%2」は 1 から 9 までの部屋コードではありません").arg(aeTitle, room));
        }
        settings_.stations.push_back({aeTitle, room});
        return true;
    }

    static QString notAeTitle(const QString& value) {
        return QStringLiteral("「%1」は AE タイトル (英数字など 16 文字まで) ではありません").arg(value);
    }

    QString fileName_;
    QString section_;
    QSet<QString> seenKeys_;
    WorklistSettings settings_;
    QString error_;
};

}  // namespace

std::optional<QString> WorklistSettings::roomOfStation(const QString& title) const {
    const auto found =
        std::find_if(stations.begin(), stations.end(), [&](const Station& s) { return s.aeTitle == title; });
    if (found == stations.end()) return std::nullopt;
    return found->roomCode;
}

bool isValidAeTitle(const QString& aeTitle) {
    if (aeTitle.isEmpty() || aeTitle.size() > 16 || aeTitle.trimmed().isEmpty()) return false;
    return std::all_of(aeTitle.begin(), aeTitle.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'\\'; });
}

SettingsRead parseWorklistSettings(const QByteArray& bytes, const QString& fileName) {
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    return Parser(fileName).parse(QString::fromUtf8(text));
}

SettingsRead readWorklistSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, QStringLiteral("%1: 設定ファイルを開けません (%2)").arg(path, file.errorString())};
    }
    return parseWorklistSettings(file.readAll(), path);
}

}  // namespace kesola::worklist
