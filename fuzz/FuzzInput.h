#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "store/Cp932.h"

// What the fuzz targets share: turning the fuzzer's bytes into text, and stopping at a broken promise.

// A promise of the code under test that the input broke: said on stderr, then abort(), which libFuzzer reports as
// a crash and keeps the input of.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "broken promise: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace kesola::fuzz {

// The input as text. Its first byte says how the rest is read: 'u' UTF-8 (what a file saved by an editor holds),
// 's' cp932 (what the system's own files hold), 'w' UTF-16LE code units as they are (which can hold what no file
// can: lone surrogates). Any other first byte picks one of the three by its value, so that every input is read.
inline QString textFrom(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {};
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const auto length = static_cast<qsizetype>(size - 1);
    switch (data[0] == 'u' ? 0 : data[0] == 's' ? 1 : data[0] == 'w' ? 2 : data[0] % 3) {
        case 0:
            return QString::fromUtf8(rest, length);
        case 1:
            return Cp932::decode(QByteArray(rest, length));
        default: {
            QString text;
            for (qsizetype i = 0; i + 1 < length; i += 2) {
                text += QChar(static_cast<char16_t>(static_cast<std::uint8_t>(rest[i]) |
                                                    static_cast<std::uint8_t>(rest[i + 1]) << 8));
            }
            return text;
        }
    }
}

}  // namespace kesola::fuzz
