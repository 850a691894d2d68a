#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <mutex>
#include <stdexcept>

#include "store/Cp932.h"
#include "store/Cp932Forms.h"

namespace kesola::Cp932 {

namespace {

// ICU's own substitution writes nothing for a default-ignorable character without a form (U+200B, U+2063,
// variation selectors, pasted in with a name): it would vanish from a written file while the width check counts it
// as one byte. Here every character without a form becomes the substitute.
void substituteEveryCharacter(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                              UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
    *status = U_ZERO_ERROR;
    ucnv_cbFromUWriteSub(args, 0, status);
}

// ICU converters are not thread-safe; the program converts on the user-interface thread only, and the lock
// below keeps the rare other caller (a test, a benchmark) safe.
struct Converter {
    Converter() {
        UErrorCode status = U_ZERO_ERROR;
        handle = ucnv_open("windows-31j", &status);
        if (U_FAILURE(status)) throw std::runtime_error("cp932 converter unavailable");
        // No fallbacks: ICU's would write some kanji variants as other kanji, which Windows does not. The few
        // characters written one way are mapped first (Cp932Forms.h).
        ucnv_setFallback(handle, false);
        ucnv_setSubstChars(handle, "?", 1, &status);
        ucnv_setFromUCallBack(handle, substituteEveryCharacter, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status)) throw std::runtime_error("cp932 converter unavailable");
    }
    ~Converter() { ucnv_close(handle); }
    UConverter* handle = nullptr;
    std::mutex mutex;
};

Converter& converter() {
    static Converter c;
    return c;
}

}  // namespace

namespace {

// ASCII is its own cp932 form, U+001A, U+001C and U+007F included: Windows writes each control as its own byte.
// ICU's "windows-31j" follows IBM's table there, which exchanges those three (U+001A -> 7F, U+001C -> 1A,
// U+007F -> 1C), so the converter is never asked for ASCII. Microsoft's table also has single bytes that IBM's
// lacks: 80 for U+0080, and A0, FD, FE, FF for the private-use U+F8F0 to U+F8F3; and IBM's gives the private-use
// U+F86F the bytes of №, where Microsoft's has no form for it (the substitute). Returns -1 for the others.
int ownByte(char16_t c) {
    if (c < 0x80) return c;
    switch (c) {
        case 0x0080:
            return 0x80;
        case 0xF8F0:
            return 0xA0;
        case 0xF8F1:
            return 0xFD;
        case 0xF8F2:
            return 0xFE;
        case 0xF8F3:
            return 0xFF;
        case 0xF86F:
            return '?';
        default:
            return -1;
    }
}

// Undoes IBM's exchange on decoding: ICU reads 1A as U+001C, 1C as U+007F and 7F as U+001A. Those three
// characters come from no other byte sequence, so each can be mapped back by itself.
void undoControlExchange(QString& text) {
    for (QChar& c : text) {
        switch (c.unicode()) {
            case 0x1C:
                c = QChar(0x1A);
                break;
            case 0x7F:
                c = QChar(0x1C);
                break;
            case 0x1A:
                c = QChar(0x7F);
                break;
            default:
                break;
        }
    }
}

// Appends the cp932 form of characters none of which is its own form. Requires: the converter's lock held.
void appendConverted(QByteArray& out, UConverter* handle, const char16_t* text, qsizetype length) {
    ucnv_resetFromUnicode(handle);
    const qsizetype at = out.size();
    out.resize(at + length * 2 + 8);
    UErrorCode status = U_ZERO_ERROR;
    const int written = ucnv_fromUChars(handle, out.data() + at, static_cast<int32_t>(out.size() - at),
                                        reinterpret_cast<const UChar*>(text), static_cast<int32_t>(length), &status);
    out.truncate(U_FAILURE(status) ? at : at + written);
}

}  // namespace

QByteArray encode(const QString& text) {
    if (text.isEmpty()) return {};
    const QString forms = withRoundTripForms(text);
    // Most of what is written (codes, digits, commas) is ASCII: the converter is only asked for the runs between.
    const char16_t* chars = reinterpret_cast<const char16_t*>(forms.utf16());
    const qsizetype length = forms.size();
    QByteArray out;
    out.reserve(length + 16);
    Converter& c = converter();
    std::lock_guard guard(c.mutex);
    for (qsizetype i = 0; i < length;) {
        qsizetype end = i;
        for (int byte; end < length && (byte = ownByte(chars[end])) >= 0; ++end) out.append(static_cast<char>(byte));
        i = end;
        while (end < length && ownByte(chars[end]) < 0) ++end;
        if (end > i) appendConverted(out, c.handle, chars + i, end - i);
        i = end;
    }
    return out;
}

namespace {

QString decodeRun(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    Converter& c = converter();
    std::lock_guard guard(c.mutex);
    ucnv_resetToUnicode(c.handle);
    QString out(bytes.size() + 8, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int length = ucnv_toUChars(c.handle, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                                     bytes.constData(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return {};
    out.truncate(length);
    undoControlExchange(out);
    return out;
}

}  // namespace

QString decode(const QByteArray& bytes) { return decodeWithSingleBytes(bytes, decodeRun); }

}  // namespace kesola::Cp932
