#include "board/MasterLookup.h"

#include <algorithm>
#include <memory>

#include "store/MasterList.h"
#include "store/Numbers.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"

namespace kesola {

namespace {

void storeComponent(std::int16_t& entry, const QString& field) {
    if (const auto value = toInt16(field)) entry = static_cast<std::int16_t>(*value);
}

QColor colourOf(const std::array<std::int16_t, 3>& rgb) {
    auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    return QColor(clamp(rgb[0]), clamp(rgb[1]), clamp(rgb[2]));
}

}  // namespace

void MasterLookup::MST_READ(Database* db) {
    if (!db) return;
    try {
        forEachMasterRow(*db, QStringLiteral("KA"), [this](const RecordSet& row) {
            const QString name = row.field(QStringLiteral("KNAME"));
            const auto code = toInt16(row.field(QStringLiteral("CODE")));
            if (trimBlanks(name).isEmpty() || !code || !isCode(*code)) return;
            KA_NAME[*code] = name;
            storeComponent(KA_BRGB[*code][0], row.field(QStringLiteral("BR")));
            storeComponent(KA_BRGB[*code][1], row.field(QStringLiteral("BG")));
            storeComponent(KA_BRGB[*code][2], row.field(QStringLiteral("BB")));
            storeComponent(KA_FRGB[*code][0], row.field(QStringLiteral("FR")));
            storeComponent(KA_FRGB[*code][1], row.field(QStringLiteral("FG")));
            storeComponent(KA_FRGB[*code][2], row.field(QStringLiteral("FB")));
        });
    } catch (const DbError&) {
    }
    try {
        forEachMasterRow(*db, QStringLiteral("BU"), [this](const RecordSet& row) {
            const QString name = row.field(QStringLiteral("BNAME"));
            const auto code = toInt16(row.field(QStringLiteral("CODE")));
            if (trimBlanks(name).isEmpty() || !code || !isCode(*code)) return;
            BU_NAME[*code] = name;
        });
    } catch (const DbError&) {
    }
}

QColor MasterLookup::background(int code) const { return colourOf(KA_BRGB[code]); }
QColor MasterLookup::text(int code) const { return colourOf(KA_FRGB[code]); }

}  // namespace kesola
