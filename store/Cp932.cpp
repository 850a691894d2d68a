#include "store/Cp932.h"

#include <bitset>

#include "store/Cp932Forms.h"

// What does not depend on the converter; encode() and decode() come from Cp932Icu.cpp (Linux) or
// Cp932Windows.cpp (Windows' own conversion), one of which the build chooses.
namespace kesola::Cp932 {

namespace {

constexpr char kSubstitute = '?';

using BmpSet = std::bitset<0x10000>;

bool writtenAsSubstitute(QChar c, const QByteArray& bytes) { return bytes == QByteArray(1, kSubstitute) && c != u'?'; }

// Which characters of the Basic Multilingual Plane the converter writes as something other than the substitute.
// Every character is encoded at once, in one text: cp932 has no shift state and every character gives one byte or
// a lead byte and a trail byte, so the bytes split back into characters unambiguously.
BmpSet charactersWithForm() {
    QString all;
    all.reserve(0x10000);
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (!QChar::isSurrogate(c)) all += QChar(static_cast<char16_t>(c));
    }
    const QByteArray bytes = encode(all);
    BmpSet set;
    qsizetype at = 0;
    bool aligned = true;
    for (const QChar c : all) {
        if (at >= bytes.size()) {
            aligned = false;
            break;
        }
        const qsizetype length = isLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
        set[c.unicode()] = !writtenAsSubstitute(c, bytes.mid(at, length));
        at += length;
    }
    // Should the converter ever write a character otherwise (more bytes, or none), the bytes do not add up: then
    // each character is asked alone.
    if (!aligned || at != bytes.size()) {
        for (const QChar c : all) set[c.unicode()] = !writtenAsSubstitute(c, encode(QString(c)));
    }
    return set;
}

const BmpSet& bmpWithForm() {
    static const BmpSet set = charactersWithForm();
    return set;
}

}  // namespace

int byteWidth(const QString& text) { return static_cast<int>(encode(text).size()); }

QString characterText(char32_t codePoint) { return QStringView(QChar::fromUcs4(codePoint)).toString(); }

bool isDoubleByte(char32_t codePoint) { return encode(characterText(codePoint)).size() > 1; }

bool hasForm(char32_t codePoint) {
    const char32_t form = roundTripForm(codePoint);
    return form < 0x10000 && bmpWithForm()[form];
}

std::optional<char32_t> firstWithoutForm(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) continue;  // ASCII, most of an export's text, is its own form
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (!hasForm(c)) return c;
    }
    return std::nullopt;
}

}  // namespace kesola::Cp932
