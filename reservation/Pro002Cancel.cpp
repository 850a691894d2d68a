// "削除": the booking of the chosen cell is removed entirely after the user confirms.

#include <QLabel>

#include "reservation/Pro002.h"
#include "reservation/ReservationTexts.h"
#include "store/BookingStore.h"
#include "store/MessageService.h"
#include "store/Numbers.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"

namespace kesola {

using namespace reservation_texts;

// The key comes from the board's selectors and the start-time captions only: edits made in the window since
// it opened play no part. Only the booking the window showed is deleted, never one stored there meanwhile.
void PRO002::RSV_CANCEL() {
    if (!ctx_.messages().confirm(cancelQuestion(), windowTitle())) return;
    try {
        switch (deleteBooking(database(), slotKey(), shown_)) {
            case CancelOutcome::Cancelled:
                break;
            case CancelOutcome::NothingToCancel:
                refuse(kNothingToCancel);
                return;
            case CancelOutcome::ChangedMeanwhile:
                refuse(kChangedMeanwhile);
                return;
        }
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
        return;
    }
    accept();
}

// "ＭＲＩ室 の2005年03月07日09時30分の予約を取り消しますか？"
QString PRO002::cancelQuestion() const {
    return board_.roomText() + kCancelRoomSeparator + board_.yearText() + texts::kYearUnit +
           twoDigits(board_.monthText()) + texts::kMonthUnit + twoDigits(board_.dayText()) + texts::kDayUnit +
           twoDigits(SLBL[0]->text()) + kHourUnit + twoDigits(SLBL[1]->text()) + kCancelQuestionEnd;
}

}  // namespace kesola
