// The board's start-up: settings file, database, title, selectors set to today, lookup tables, timer.
#include <QComboBox>
#include <QDir>
#include <QLabel>

#include "board/BoardTexts.h"
#include "board/Pro001.h"
#include "store/AppFolders.h"
#include "store/Clock.h"
#include "store/MasterList.h"
#include "store/Numbers.h"
#include "store/Schema.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "tools/Pro008.h"
#include "ui/Controls.h"
#include "ui/WindowKit.h"

namespace kesola {

using namespace board_texts;

void PRO001::Form_Load() {
    centreOnScreen(this, 220);
    if (ctx_.g.PATH_APP.isEmpty()) {
        const AppFolders folders = thisProgramsFolders();
        ctx_.g.PATH_APP = choosePathApp(folders);
        ctx_.g.systemSettingsFile = folders.systemSettingsFile;
    }
    if (!ctx_.g.PATH_APP.endsWith(u'/')) ctx_.g.PATH_APP += u'/';
    // From here on a failing step is passed over and start-up goes on, so the board always opens.
    readSettings();
    openDatabase();
    readTitle();
    fillRooms();
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kWindowName));
    fillDateSelectors(CMB[1], CMB[2], CMB[3], false);
    selectToday();
    MST_READ();
    Timer1.start();
    if (!ctx_.g.DB) QTimer::singleShot(0, this, [this] { reportOpenFailure(); });
    // Past the steps above: a database that cannot be opened yet (a mapped drive reconnected only after logon, a
    // server still starting) is looked for every two seconds and painted once it opens; one that refuses writes is
    // said at once, before anyone types a booking that cannot be stored.
    if (!ctx_.g.DB && !ctx_.g.PATH_DB.isEmpty()) {
        ctx_.g.storeGone = true;
        sinceLookedForStore_.start();
    }
    showUnreadable(!ctx_.g.DB);
    if (ctx_.g.DB) QTimer::singleShot(0, this, [this] { warnIfReadOnly(); });
}

void PRO001::readSettings() {
    std::optional<QString> location = readStartupSettings(ctx_.g.PATH_APP, ctx_.g.systemSettingsFile);
    if (!location) {
        showFreshWindow<PRO008>(ctx_.modal, ctx_, this);
        location = readStartupSettings(ctx_.g.PATH_APP, ctx_.g.systemSettingsFile);
    }
    ctx_.g.PATH_DB = location.value_or(QString());
}

void PRO001::openDatabase() {
    try {
        ctx_.g.DB = openStore(ctx_.g.PATH_DB);
    } catch (const DbError&) {
        ctx_.g.DB.reset();
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
    try {
        fillRoomSelector(CMB[0], ctx_.g.DB.get(), false);
    } catch (const DbError&) {
    }
}

void PRO001::selectToday() {
    const QDate today = ctx_.g.clock->today();
    // Each selection raises CMB_Click; the third finds all three set and shows the weekday.
    CMB[1]->setCurrentIndex(CMB[1]->findText(QString::number(today.year())));
    CMB[2]->setCurrentIndex(CMB[2]->findText(QString::number(today.month())));
    CMB[3]->setCurrentIndex(CMB[3]->findText(QString::number(today.day())));
}

namespace {

// A file's path as the platform writes it ("S:\\ＭＲＩ室\\KESOLA.MDB" on Windows); a server's URI without its password.
QString shownLocation(const QString& location) {
    return isPostgresUri(location) ? withoutPassword(location) : QDir::toNativeSeparators(location);
}

}  // namespace

void PRO001::reportOpenFailure() {
    ctx_.messages().notice(texts::kDatabaseNotOpened + u'\n' + texts::shortened(shownLocation(ctx_.g.PATH_DB)),
                           windowTitle());
}

void PRO001::warnIfReadOnly() {
    if (!ctx_.g.DB || !storeRefusesWrites(*ctx_.g.DB)) return;
    ctx_.messages().notice(texts::kDatabaseReadOnly + texts::kBookingsCannotBeChanged + u'\n' +
                               texts::shortened(shownLocation(ctx_.g.PATH_DB)),
                           windowTitle());
}

void PRO001::storeChanged() {
    if (ctx_.g.DB) sinceLookedForStore_.invalidate();
    MST_READ();
    if (!ctx_.g.DB || CMB[0]->count() > 0) return;
    readTitle();
    fillRooms();
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kWindowName));
}

void PRO001::MST_READ() { masters_.MST_READ(ctx_.g.DB.get()); }

}  // namespace kesola
