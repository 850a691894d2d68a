// The board's start-up: settings file, database, title, selectors set to today, lookup tables, timer.
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>

#include "board/BoardTexts.h"
#include "board/Pro001.h"
#include "store/Clock.h"
#include "store/MasterList.h"
#include "store/Numbers.h"
#include "store/Schema.h"
#include "store/SettingsFile.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "tools/Pro008.h"
#include "ui/Controls.h"

namespace kesola {

using namespace board_texts;

void PRO001::Form_Load() {
    centreOnScreen(this, 220);
    if (ctx_.g.PATH_APP.isEmpty()) ctx_.g.PATH_APP = QCoreApplication::applicationDirPath();
    if (!ctx_.g.PATH_APP.endsWith(u'/')) ctx_.g.PATH_APP += u'/';
    // From here on a failing step is passed over and start-up goes on, so the board always opens.
    readSettings();
    openDatabase();
    readTitle();
    fillRooms();
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kWindowName));
    fillDateSelectors();
    selectToday();
    MST_READ();
    Timer1.start();
    if (databaseOpenFailed_) QTimer::singleShot(0, this, [this] { reportOpenFailure(); });
}

void PRO001::readSettings() {
    const QString path = ctx_.g.PATH_APP + texts::kSettingsFileName;
    std::optional<QString> location = readSettingsFile(path);
    if (!location) {
        showFreshWindow<PRO008>(ctx_.modal, ctx_, this);
        location = readSettingsFile(path);
    }
    ctx_.g.PATH_DB = location.value_or(QString());
}

void PRO001::openDatabase() {
    try {
        ctx_.g.DB = openStore(ctx_.g.PATH_DB);
    } catch (const DbError&) {
        ctx_.g.DB.reset();
        databaseOpenFailed_ = true;
    }
}

void PRO001::readTitle() {
    if (!ctx_.g.DB) return;
    try {
        auto table = openTable(*ctx_.g.DB, QStringLiteral("SYSTEM"));
        if (table->seek(QStringLiteral("1"))) {
            const QString title = table->field(QStringLiteral("SNAME"));
            if (!trimBlanks(title).isEmpty()) ctx_.g.SYS_TITLE = title;
        }
        table->close();
    } catch (const DbError&) {
    }
}

void PRO001::fillRooms() {
    if (!ctx_.g.DB) return;
    try {
        for (const MasterEntry& room : readMasterList(*ctx_.g.DB, QStringLiteral("ROOM"), QStringLiteral("RNAME"))) {
            CMB[0]->addItem(room.name);
        }
    } catch (const DbError&) {
    }
    CMB[0]->setCurrentIndex(-1);
}

void PRO001::fillDateSelectors() {
    const QSignalBlocker b1(CMB[1]), b2(CMB[2]), b3(CMB[3]);
    for (int y = kFirstYear; y <= kLastYear; ++y) CMB[1]->addItem(QString::number(y));
    for (int m = 1; m <= 12; ++m) CMB[2]->addItem(QString::number(m));
    for (int d = 1; d <= 31; ++d) CMB[3]->addItem(QString::number(d));
    for (int i = 1; i <= 3; ++i) CMB[i]->setCurrentIndex(-1);
}

void PRO001::selectToday() {
    const QDate today = ctx_.g.clock->today();
    // Each selection raises CMB_Click; the third finds all three set and shows the weekday.
    CMB[1]->setCurrentIndex(CMB[1]->findText(QString::number(today.year())));
    CMB[2]->setCurrentIndex(CMB[2]->findText(QString::number(today.month())));
    CMB[3]->setCurrentIndex(CMB[3]->findText(QString::number(today.day())));
}

void PRO001::reportOpenFailure() {
    ctx_.messages().notice(texts::kDatabaseNotOpened + u'\n' + texts::shortened(withoutPassword(ctx_.g.PATH_DB)),
                           windowTitle());
}

void PRO001::MST_READ() { masters_.MST_READ(ctx_.g.DB.get()); }

}  // namespace kesola
