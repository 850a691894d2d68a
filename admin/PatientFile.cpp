#include "admin/PatientFile.h"

#include <QHash>
#include <QStringDecoder>
#include <array>

#include "store/Cp932.h"
#include "store/CsvValue.h"
#include "store/PatientId.h"
#include "store/TextWidth.h"

namespace kesola {

namespace {

// The header's names of the five columns, in the order the export writes them.
enum Column { kId, kName, kKana, kBirthDate, kSex, kColumnCount };
const std::array<QString, kColumnCount> kHeaderNames = {QStringLiteral("ID"), QStringLiteral("氏名"),
                                                        QStringLiteral("カナ氏名"), QStringLiteral("生年月日"),
                                                        QStringLiteral("性別")};

QString decodedText(const QByteArray& bytes, QString& encoding) {
    const QByteArray bom("\xEF\xBB\xBF");
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes.startsWith(bom) ? bytes.mid(bom.size()) : bytes);
    if (bytes.startsWith(bom) || !utf8.hasError()) {
        encoding = QStringLiteral("UTF-8");
        return text;
    }
    // Shift-JIS text is almost never valid UTF-8: a lead byte of 0x81 to 0x9F cannot start a UTF-8 sequence.
    encoding = QStringLiteral("cp932");
    return Cp932::decode(bytes);
}

// The values of one CSV line: a value may be put in double quotes, with its own quotes doubled.
std::optional<QStringList> csvValues(QStringView line) {
    QStringList values;
    QString value;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != u'"') {
                value += c;
            } else if (i + 1 < line.size() && line[i + 1] == u'"') {
                value += c;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == u',') {
            values << value;
            value.clear();
            wasQuoted = false;
        } else if (c == u'"' && value.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else {
            value += c;
        }
    }
    if (quoted) return std::nullopt;
    values << value;
    return values;
}

// A number of 1 to 4 ASCII digits, read digit by digit: a million dates are read in one import.
std::optional<int> digitsValue(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 4) return std::nullopt;
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// YYYYMMDD, or YYYY/MM/DD and YYYY-MM-DD, whose month and day may also have one digit (Excel writes 1990/1/5), as
// YYYYMMDD.
std::optional<QString> birthDateOf(const QString& text) {
    const QStringView t(text);
    const QChar separator = t.size() > 4 ? t[4] : QChar();
    QStringView parts[3];
    if (separator == u'/' || separator == u'-') {
        const qsizetype second = t.indexOf(separator, 5);
        if (second < 0) return std::nullopt;
        parts[0] = t.left(4), parts[1] = t.mid(5, second - 5), parts[2] = t.mid(second + 1);
        if (parts[1].size() > 2 || parts[2].size() > 2) return std::nullopt;
    } else if (t.size() == 8) {
        parts[0] = t.left(4), parts[1] = t.mid(4, 2), parts[2] = t.mid(6, 2);
    } else {
        return std::nullopt;
    }
    const auto year = digitsValue(parts[0]), month = digitsValue(parts[1]), day = digitsValue(parts[2]);
    if (parts[0].size() != 4 || !year || !month || !day || !QDate(*year, *month, *day).isValid()) return std::nullopt;
    return QString::number(*year * 10000 + *month * 100 + *day).rightJustified(8, u'0');
}

std::optional<QString> sexCodeOf(const QString& text) {
    static const QHash<QString, QString> codes = {
        {QStringLiteral("1"), QStringLiteral("1")},    {QStringLiteral("2"), QStringLiteral("2")},
        {QStringLiteral("M"), QStringLiteral("1")},    {QStringLiteral("F"), QStringLiteral("2")},
        {QStringLiteral("男"), QStringLiteral("1")},   {QStringLiteral("女"), QStringLiteral("2")},
        {QStringLiteral("男性"), QStringLiteral("1")}, {QStringLiteral("女性"), QStringLiteral("2")}};
    const auto found = codes.constFind(text.toUpper());
    if (found == codes.cend()) return std::nullopt;
    return *found;
}

int widthOf(QString text) { return ZEN_COUNT(text) * 2 + HAN_COUNT(text); }

// Which field of a line holds each of the five columns; problems when the header lacks one.
std::array<int, kColumnCount> columnPlaces(const QStringList& header, QStringList& missing) {
    std::array<int, kColumnCount> places{};
    for (int c = 0; c < kColumnCount; ++c) {
        places[c] = -1;
        for (int i = 0; i < header.size(); ++i) {
            if (header[i].trimmed() == kHeaderNames[c]) places[c] = i;
        }
        if (places[c] < 0) missing << kHeaderNames[c];
    }
    return places;
}

// The patient of one line, or why it cannot be taken.
struct LineReader {
    std::array<int, kColumnCount> places;
    qsizetype fieldCount;
    QDate today;

    RegisteredPatient read(const QStringList& fields, QStringList& why) const {
        if (fields.size() < fieldCount) {
            why << QStringLiteral("列が足りません（%1 列のところ %2 列）").arg(fieldCount).arg(fields.size());
            return {};
        }
        const auto value = [&](Column c) { return fields[places[c]].trimmed(); };
        RegisteredPatient p{value(kId), value(kName), registerKana(value(kKana)), {}, {}};
        if (p.KANJYAID.isEmpty()) {
            why << QStringLiteral("ID がありません");
        } else if (!isValidPatientId(p.KANJYAID)) {
            why << QStringLiteral("ID「%1」は %2 文字までの英数字とハイフンではありません")
                       .arg(p.KANJYAID)
                       .arg(kPatientIdMaxLength);
        }
        if (p.SHIMEI.isEmpty()) {
            why << QStringLiteral("氏名がありません");
        } else if (const int w = widthOf(p.SHIMEI); w > kRegisterNameBytes) {
            why << QStringLiteral("氏名「%1」は %2 バイトで、%3 バイトを超えています")
                       .arg(p.SHIMEI)
                       .arg(w)
                       .arg(kRegisterNameBytes);
        }
        if (!isRegisterKana(p.KANA)) {
            why << QStringLiteral("カナ氏名「%1」はカタカナではありません").arg(value(kKana));
        } else if (const int w = widthOf(p.KANA); w > kRegisterKanaBytes) {
            why << QStringLiteral("カナ氏名「%1」は %2 バイトで、%3 バイトを超えています")
                       .arg(p.KANA)
                       .arg(w)
                       .arg(kRegisterKanaBytes);
        }
        if (const auto date = birthDateOf(value(kBirthDate)); !date) {
            why << QStringLiteral("生年月日「%1」は日付ではありません（YYYYMMDD、YYYY/MM/DD、YYYY-MM-DD）")
                       .arg(value(kBirthDate));
        } else if (QDate::fromString(*date, QStringLiteral("yyyyMMdd")) > today) {
            why << QStringLiteral("生年月日「%1」は今日より後です").arg(value(kBirthDate));
        } else {
            p.SEINENGAPPI = *date;
        }
        if (const auto sex = sexCodeOf(value(kSex))) {
            p.SEX = *sex;
        } else {
            why << QStringLiteral("性別「%1」は 1/2、M/F、男/女 のどれでもありません").arg(value(kSex));
        }
        return p;
    }
};

}  // namespace

PatientFileContents readPatientFile(const QByteArray& bytes, QDate today) {
    PatientFileContents contents;
    const QString text = decodedText(bytes, contents.encoding);
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    const auto lineText = [&](qsizetype i) {
        QStringView line = lines[i];
        return line.endsWith(u'\r') ? line.chopped(1) : line;
    };
    const std::optional<QStringList> header = lines.isEmpty() ? std::nullopt : csvValues(lineText(0));
    QStringList missing;
    const auto places = columnPlaces(header.value_or(QStringList()), missing);
    if (!missing.isEmpty()) {
        contents.problems.push_back(
            {1, QStringLiteral("見出し行に列「%1」がありません（ID,氏名,カナ氏名,生年月日,性別）")
                    .arg(missing.join(QStringLiteral("」「")))});
        return contents;
    }
    const LineReader reader{places, header->size(), today};
    QHash<QString, int> lineOfId;
    contents.patients.reserve(lines.size());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringView line = lineText(i);
        if (line.isEmpty()) continue;
        const int number = static_cast<int>(i + 1);
        QStringList why;
        const std::optional<QStringList> fields = csvValues(line);
        RegisteredPatient p;
        if (!fields) {
            why << QStringLiteral("引用符が閉じていません");
        } else {
            p = reader.read(*fields, why);
        }
        if (!p.KANJYAID.isEmpty()) {
            const int earlier = lineOfId.value(p.KANJYAID, 0);
            if (earlier > 0) {
                why << QStringLiteral("ID「%1」は %2 行目と重複しています").arg(p.KANJYAID).arg(earlier);
            } else {
                lineOfId.insert(p.KANJYAID, number);
            }
        }
        if (why.isEmpty()) {
            contents.patients.push_back(std::move(p));
        } else {
            contents.problems.push_back({number, why.join(QStringLiteral("、"))});
        }
    }
    return contents;
}

QByteArray patientFileHeader() {
    QString line;
    for (const QString& name : kHeaderNames) appendCsvValue(line, name);
    line.chop(1);
    return Cp932::encode(line + QStringLiteral("\r\n"));
}

QByteArray patientFileLine(const RegisteredPatient& p) {
    QString line;
    for (const QString& value : {p.KANJYAID, p.SHIMEI, p.KANA, p.SEINENGAPPI, p.SEX}) appendCsvValue(line, value);
    line.chop(1);
    return Cp932::encode(line + QStringLiteral("\r\n"));
}

}  // namespace kesola
