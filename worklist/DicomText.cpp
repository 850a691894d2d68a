#include "worklist/DicomText.h"

#include <algorithm>
#include <array>
#include <utility>

#include "store/Cp932.h"
#include "store/Cp932Forms.h"

namespace kesola::worklist {

namespace {

constexpr char kEscape = '\x1b';
const QByteArray kToJisX0208 = QByteArrayLiteral("\x1b$B");
const QByteArray kToAscii = QByteArrayLiteral("\x1b(B");
const QByteArray kToJisX0201Roman = QByteArrayLiteral("\x1b(J");
constexpr char32_t kGeta = U'\u3013';  // 〓: the mark Japanese systems print for a character they cannot

// Variants common in names that cp932 holds outside JIS X 0208, and the form everyone writes instead.
constexpr std::array<std::pair<char32_t, char32_t>, 24> kNameVariants{{
    {U'髙', U'高'},     {U'\uFA11', U'崎'}, {U'德', U'徳'},     {U'濵', U'浜'},     {U'栁', U'柳'},
    {U'黑', U'黒'},     {U'桒', U'桑'},     {U'淸', U'清'},     {U'昻', U'昂'},     {U'\uFA10', U'塚'},
    {U'\uFA12', U'晴'}, {U'\uFA19', U'神'}, {U'\uFA1A', U'祥'}, {U'\uFA1B', U'福'}, {U'\uFA1C', U'靖'},
    {U'\uFA1D', U'精'}, {U'\uFA1E', U'羽'}, {U'\uFA22', U'諸'}, {U'\uFA25', U'逸'}, {U'\uFA26', U'都'},
    {U'\uFA2A', U'飯'}, {U'\uFA2C', U'館'}, {U'\uFA2D', U'鶴'}, {U'\uF9DC', U'隆'},
}};

// The JIS X 0208 row and cell (both 1 to 94) of a character, from its cp932 bytes; none for a character that JIS X
// 0208 does not hold (cp932's NEC row 13 and the IBM extensions lie outside rows 1-8 and 16-84). A character that
// cp932 writes in the form of another (〜 as ～, 剝 as 剥) takes that one's position, as in every file we write.
std::optional<std::pair<int, int>> jisX0208Position(char32_t c) {
    const QString text = Cp932::characterText(Cp932::roundTripForm(c));
    const QByteArray bytes = Cp932::encode(text);
    if (bytes.size() != 2 || Cp932::decode(bytes) != text) return std::nullopt;
    const int lead = static_cast<unsigned char>(bytes[0]);
    const int trail = static_cast<unsigned char>(bytes[1]);
    const int pair = lead <= 0x9F ? lead - 0x81 : lead - 0xC1;
    int row = 0;
    int cell = 0;
    if (trail >= 0x9F) {
        row = pair * 2 + 2;
        cell = trail - 0x9E;
    } else {
        row = pair * 2 + 1;
        cell = trail - (trail >= 0x80 ? 0x40 : 0x3F);
    }
    const bool assignedRow = (row >= 1 && row <= 8) || (row >= 16 && row <= 84);
    if (!assignedRow || cell < 1 || cell > 94) return std::nullopt;
    return std::pair{row, cell};
}

// The character at a JIS X 0208 row and cell, through its cp932 bytes; none for an empty position.
std::optional<QString> characterAt(int row, int cell) {
    if (row < 1 || row > 94 || cell < 1 || cell > 94) return std::nullopt;
    const int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
    const int trail = row % 2 == 1 ? cell + (cell <= 63 ? 0x3F : 0x40) : cell + 0x9E;
    QByteArray bytes;
    bytes.append(static_cast<char>(lead)).append(static_cast<char>(trail));
    const QString text = Cp932::decode(bytes);
    if (text.contains(QChar(0xFFFD))) return std::nullopt;
    return text;
}

bool isAscii(char32_t c) { return c < 0x80; }

bool isHalfWidthKatakana(char32_t c) { return c >= 0xFF61 && c <= 0xFF9F; }

// The code points of a text; a lone surrogate stays one (and fits no character set).
std::vector<char32_t> codePoints(const QString& text) {
    std::vector<char32_t> points;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            points.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            points.push_back(c.unicode());
        }
    }
    return points;
}

bool fitsIso2022Ir87(char32_t c) { return isAscii(c) || jisX0208Position(c).has_value(); }

char32_t substituteFor(char32_t c) {
    for (const auto& [variant, usual] : kNameVariants) {
        if (c == variant) return usual;
    }
    const QString compatible = Cp932::characterText(c).normalized(QString::NormalizationForm_KC);
    const auto points = codePoints(compatible);
    if (points.size() == 1 && fitsIso2022Ir87(points[0])) return points[0];
    return kGeta;
}

// What a Specific Character Set value says about how bytes are read.
struct CharsetTerms {
    bool utf8 = false;
    bool latin1 = false;
    bool jisX0201Katakana = false;  // bytes A1-DF are half-width katakana
    bool iso2022 = false;           // escapes switch to JIS X 0208
};

std::optional<CharsetTerms> termsOf(const QString& specificCharacterSet) {
    CharsetTerms terms;
    for (const QString& raw : specificCharacterSet.split(u'\\')) {
        const QString term = raw.trimmed();
        if (term.isEmpty() || term == QStringLiteral("ISO_IR 6") || term == QStringLiteral("ISO 2022 IR 6")) continue;
        if (term == QStringLiteral("ISO_IR 192")) {
            terms.utf8 = true;
        } else if (term == QStringLiteral("ISO_IR 100") || term == QStringLiteral("ISO 2022 IR 100")) {
            terms.latin1 = true;
        } else if (term == QStringLiteral("ISO_IR 13") || term == QStringLiteral("ISO 2022 IR 13")) {
            terms.jisX0201Katakana = true;
        } else if (term == QStringLiteral("ISO 2022 IR 87")) {
            terms.iso2022 = true;
        } else {
            return std::nullopt;
        }
    }
    return terms;
}

std::optional<QString> decodeIso2022(const QByteArray& bytes, bool katakanaInG1) {
    QString out;
    bool inJisX0208 = false;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == static_cast<unsigned char>(kEscape)) {
            const QByteArray sequence = bytes.mid(i, 3);
            if (sequence == kToJisX0208) {
                inJisX0208 = true;
            } else if (sequence == kToAscii || sequence == QByteArrayLiteral("\x1b(J")) {
                inJisX0208 = false;
            } else if (sequence == QByteArrayLiteral("\x1b)I")) {
                katakanaInG1 = true;
            } else {
                return std::nullopt;
            }
            i += 3;
            continue;
        }
        if (b >= 0x80) {
            if (!katakanaInG1 || b < 0xA1 || b > 0xDF) return std::nullopt;
            out += Cp932::decode(QByteArray(1, static_cast<char>(b)));
            ++i;
        } else if (inJisX0208) {
            if (i + 1 >= bytes.size()) return std::nullopt;
            const auto character = characterAt(b - 0x20, static_cast<unsigned char>(bytes[i + 1]) - 0x20);
            if (!character) return std::nullopt;
            out += *character;
            i += 2;
        } else {
            out += QChar(b);
            ++i;
        }
    }
    return out;
}

// ISO 2022 with JIS X 0208 switched into G0 for its runs. The G0 set each value starts and ends with is ASCII, or
// JIS X 0201's roman half when the first value of Specific Character Set is ISO 2022 IR 13; there half-width
// katakana stay in G1, written as bytes A1 to DF without any escape.
QByteArray encodeIso2022(const QString& text, bool jisX0201) {
    const QByteArray& toInitial = jisX0201 ? kToJisX0201Roman : kToAscii;
    QByteArray out;
    bool inJisX0208 = false;
    for (char32_t c : codePoints(text)) {
        if (isAscii(c)) {
            if (inJisX0208) out += toInitial;
            inJisX0208 = false;
            out += static_cast<char>(c);
            continue;
        }
        if (jisX0201 && isHalfWidthKatakana(c)) {
            // GR does not change with G0; still, readers that take any byte after ESC $ B as JIS X 0208 are spared.
            if (inJisX0208) out += toInitial;
            inJisX0208 = false;
            out += static_cast<char>(c - 0xFF61 + 0xA1);
            continue;
        }
        const auto position = jisX0208Position(c);
        if (!position) continue;  // excluded by the requirement; never written as broken bytes
        if (!inJisX0208) out += kToJisX0208;
        inJisX0208 = true;
        out += static_cast<char>(position->first + 0x20);
        out += static_cast<char>(position->second + 0x20);
    }
    if (inJisX0208) out += toInitial;
    return out;
}

}  // namespace

std::optional<char32_t> firstOutsideJisX0208(const QString& text) {
    for (char32_t c : codePoints(text)) {
        if (!fitsIso2022Ir87(c)) return c;
    }
    return std::nullopt;
}

QByteArray encodeIso2022Ir87(const QString& text) { return encodeIso2022(text, false); }

QByteArray encodeIso2022Ir13Ir87(const QString& text) { return encodeIso2022(text, true); }

bool holdsHalfWidthKatakana(const QString& text) {
    const auto points = codePoints(text);
    return std::any_of(points.begin(), points.end(), isHalfWidthKatakana);
}

std::optional<char32_t> firstOutsideJisX0201AndJisX0208(const QString& text) {
    for (char32_t c : codePoints(text)) {
        if (!fitsIso2022Ir87(c) && !isHalfWidthKatakana(c)) return c;
    }
    return std::nullopt;
}

QString substituteOutsideJisX0208(const QString& text, std::vector<Substitution>* made, bool keepHalfWidthKatakana) {
    const auto record = [made](const QString& from, const QString& to) {
        if (made) made->push_back({from, to});
    };
    QString out;
    const std::vector<char32_t> points = codePoints(text);
    for (size_t i = 0; i < points.size(); ++i) {
        const char32_t c = points[i];
        if (fitsIso2022Ir87(c) || (keepHalfWidthKatakana && isHalfWidthKatakana(c))) {
            out += Cp932::characterText(c);
            continue;
        }
        if (isHalfWidthKatakana(c)) {
            QString run;
            while (i < points.size() && isHalfWidthKatakana(points[i])) run += Cp932::characterText(points[i++]);
            --i;
            const QString full = run.normalized(QString::NormalizationForm_KC);
            const QString usable = firstOutsideJisX0208(full) ? substituteOutsideJisX0208(full) : full;
            record(run, usable);
            out += usable;
            continue;
        }
        const QString usual = Cp932::characterText(substituteFor(c));
        record(Cp932::characterText(c), usual);
        out += usual;
    }
    return out;
}

QString describeSubstitutions(const std::vector<Substitution>& made) {
    QStringList parts;
    for (const Substitution& s : made) parts << s.from + QStringLiteral("→") + s.to;
    return parts.join(QStringLiteral(", "));
}

std::optional<QString> decodeDicomText(const QByteArray& bytes, const QString& specificCharacterSet) {
    const bool plainAscii = std::all_of(bytes.begin(), bytes.end(),
                                        [](char b) { return static_cast<unsigned char>(b) < 0x80 && b != kEscape; });
    if (plainAscii) return QString::fromLatin1(bytes);
    const auto terms = termsOf(specificCharacterSet);
    if (!terms) return std::nullopt;
    if (terms->utf8) {
        const QString text = QString::fromUtf8(bytes);
        if (text.contains(QChar(0xFFFD)) || text.toUtf8() != bytes) return std::nullopt;
        return text;
    }
    if (terms->latin1 && !terms->iso2022 && !bytes.contains(kEscape)) return QString::fromLatin1(bytes);
    if (!terms->iso2022 && !terms->jisX0201Katakana) return std::nullopt;
    return decodeIso2022(bytes, terms->jisX0201Katakana);
}

QString personNameOf(const QString& storedName) {
    QString name;
    for (QChar c : storedName) {
        const bool breaksName = c == u'^' || c == u'=' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F;
        name += breaksName ? QChar(u' ') : c;
    }
    const auto isBlank = [](QChar c) { return c == u' ' || c == QChar(0x3000); };
    while (!name.isEmpty() && isBlank(name.front())) name.remove(0, 1);
    while (!name.isEmpty() && isBlank(name.back())) name.chop(1);
    const auto space = std::find_if(name.begin(), name.end(), isBlank);
    if (space != name.end()) {
        const qsizetype at = space - name.begin();
        QString given = name.mid(at + 1);
        while (!given.isEmpty() && isBlank(given.front())) given.remove(0, 1);
        name = name.left(at) + u'^' + given;
    }
    const bool singleByte = std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() < 0x80 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F);
    });
    return singleByte ? name : u'=' + name;
}

}  // namespace kesola::worklist
