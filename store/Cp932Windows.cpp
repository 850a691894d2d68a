#include <windows.h>

#include "store/Cp932.h"
#include "store/Cp932Forms.h"

// Windows' own conversion, the one the program this system replaces wrote with: Microsoft's table, each control
// its own byte. Best fit stays off, as there: a character without a form of its own becomes "?", never a look-alike.
namespace kesola::Cp932 {

namespace {

constexpr UINT kCodePage = 932;

// Appends one run of UTF-16 code units without surrogates.
void appendConverted(QByteArray& out, const wchar_t* text, int length) {
    if (length == 0) return;
    const int size = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, nullptr);
    const qsizetype at = out.size();
    out.resize(at + size);
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, length, out.data() + at, size, nullptr, nullptr);
}

bool isTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// The length of the cp932 character that starts at bytes[at]: two for a lead byte followed by a trail byte. A lead
// byte followed by anything else is one invalid character, and the next byte starts a character of its own.
qsizetype characterLength(const QByteArray& bytes, qsizetype at) {
    const bool lead = IsDBCSLeadByteEx(kCodePage, static_cast<BYTE>(bytes[at]));
    return lead && at + 1 < bytes.size() && isTrailByte(static_cast<unsigned char>(bytes[at + 1])) ? 2 : 1;
}

// Decodes bytes that are all valid; false when any is not.
bool decodeValid(const char* bytes, int length, QString& out) {
    const int size = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
    if (size <= 0) return false;
    const qsizetype at = out.size();
    out.resize(at + size);
    MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, length, reinterpret_cast<wchar_t*>(out.data() + at),
                        size);
    return true;
}

QString decodeRun(const QByteArray& bytes) {
    QString out;
    if (bytes.isEmpty() || decodeValid(bytes.constData(), static_cast<int>(bytes.size()), out)) return out;
    // Some sequence is invalid: one character at a time, each invalid one a U+FFFD.
    out.clear();
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = characterLength(bytes, at);
        if (!decodeValid(bytes.constData() + at, static_cast<int>(length), out)) out.append(QChar(0xFFFD));
        at += length;
    }
    return out;
}

}  // namespace

QByteArray encode(const QString& text) {
    const QString forms = withRoundTripForms(text);
    // A character beyond the Basic Multilingual Plane has no cp932 form; Windows would write a "?" for each of its
    // two UTF-16 units. It is one character, so it becomes one substitute here.
    const auto* units = reinterpret_cast<const wchar_t*>(forms.utf16());
    QByteArray out;
    out.reserve(text.size() * 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < forms.size(); ++i) {
        if (!forms.at(i).isSurrogate()) continue;
        appendConverted(out, units + start, static_cast<int>(i - start));
        out.append('?');
        if (forms.at(i).isHighSurrogate() && i + 1 < forms.size() && forms.at(i + 1).isLowSurrogate()) ++i;
        start = i + 1;
    }
    appendConverted(out, units + start, static_cast<int>(forms.size() - start));
    return out;
}

QString decode(const QByteArray& bytes) { return decodeWithSingleBytes(bytes, decodeRun); }

}  // namespace kesola::Cp932
