// Text to and from cp932, and the widths counted from it: any text a user can type or a file can hold.
#include "store/Cp932.h"

#include <QList>

#include "fuzz/FuzzInput.h"
#include "store/MessageService.h"
#include "store/Numbers.h"
#include "store/TextWidth.h"

using namespace kesola;

namespace {

class CountingMessages : public MessageService {
  public:
    MsgAnswer show(const QString&, MsgIcon, MsgButtons, const QString&) override {
        ++shown;
        return MsgAnswer::Ok;
    }
    int shown = 0;
};

// Longer texts are measured whole but not character by character, which would slow the fuzzer without finding more.
constexpr qsizetype kCheckedCharacters = 512;

// cp932 has no shift state: a text is encoded as its characters one by one are.
void checkEncoding(const QString& text) {
    const QByteArray bytes = Cp932::encode(text);
    FUZZ_CHECK(Cp932::byteWidth(text) == bytes.size());
    if (text.size() > kCheckedCharacters) return;
    QByteArray each;
    bool substituted = false;
    for (char32_t c : text.toUcs4()) {
        const QByteArray one = Cp932::encode(Cp932::characterText(c));
        FUZZ_CHECK(one.size() == (Cp932::isDoubleByte(c) ? 2 : 1));
        // A character has a form exactly when it is written as something other than the substitute.
        const bool withoutForm = one == "?" && c != U'?';
        FUZZ_CHECK(Cp932::hasForm(c) == !withoutForm);
        substituted = substituted || withoutForm;
        each += one;
    }
    FUZZ_CHECK(bytes == each);
    FUZZ_CHECK(Cp932::firstWithoutForm(text).has_value() == substituted);
    // What was written is read back as written: a character with a form of its own comes back as itself (or, for
    // the one-way fallbacks, as the character Windows reads there), and decoding again changes nothing.
    const QString back = Cp932::decode(bytes);
    FUZZ_CHECK(Cp932::encode(back) == bytes);
}

void checkWidths(const QString& text) {
    QString zenText = text;
    QString hanText = text;
    const int zen = ZEN_COUNT(zenText);
    const int han = HAN_COUNT(hanText);
    const QString trimmed = trimBlanks(text);
    FUZZ_CHECK(zenText == trimmed && hanText == trimmed);
    FUZZ_CHECK(zen >= 0 && han >= 0);
    FUZZ_CHECK(zen + han == trimmed.toUcs4().size());
    const int width = zen * 2 + han;
    FUZZ_CHECK(width == Cp932::byteWidth(trimmed));

    for (const int maximum : {0, 1, 20, 40}) {
        CountingMessages messages;
        QString reported = text;
        const QString refused = LEN_CHECK(2, maximum, reported, messages, QString());
        FUZZ_CHECK(reported == trimmed);
        FUZZ_CHECK(messages.shown == (width > maximum ? 1 : 0));
        FUZZ_CHECK(width > maximum ? refused == QStringLiteral("NG") : refused == trimmed);

        QString cut = text;
        const QString kept = LEN_CHECK(1, maximum, cut, messages, QString());
        // A lone surrogate (which no typed text holds) is cut as the character U+FFFD, so the cut is no prefix.
        if (width <= maximum || !text.isValidUtf16()) continue;
        FUZZ_CHECK((trimmed + QString(maximum, u' ')).startsWith(kept));
        QString measured = kept;
        FUZZ_CHECK(ZEN_COUNT(measured) * 2 + HAN_COUNT(measured) <= maximum);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = fuzz::textFrom(data, size);
    checkEncoding(text);
    checkWidths(text);

    // The bytes as a cp932 file holds them: each byte gives at most one character, and what they decode to is
    // written back to bytes that decode the same.
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString decoded = Cp932::decode(raw);
    FUZZ_CHECK(decoded.size() <= raw.size());
    if (!decoded.contains(QChar(0xFFFD))) FUZZ_CHECK(Cp932::decode(Cp932::encode(decoded)) == decoded);
    return 0;
}
