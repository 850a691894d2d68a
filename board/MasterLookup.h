#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <cstdint>

namespace kesola {

class Database;

// The board's in-memory copies of the department and body-part masters, indexed by the code read as a number
// (1..99), so that painting needs no master query per reservation.
struct MasterLookup {
    static constexpr int kSize = 100;

    std::array<QString, kSize> KA_NAME;
    std::array<std::array<std::int16_t, 3>, kSize> KA_BRGB{};
    std::array<std::array<std::int16_t, 3>, kSize> KA_FRGB{};
    std::array<QString, kSize> BU_NAME;

    // Loads both masters. Overwrites the entries of the codes it reads and leaves every other entry as it was;
    // rows with a blank name, a code outside 1..99, and fields that are no number are passed over one by one.
    // Database failures end the load silently.
    void MST_READ(Database* db);

    // The department's colours, each component clamped to 0..255.
    QColor background(int code) const;
    QColor text(int code) const;

    static bool isCode(int code) { return code >= 1 && code < kSize; }
};

}  // namespace kesola
