#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ui/QtMessageService.h"
#include "ui/QtTranslation.h"

using namespace kesola;

namespace {

QStringList buttonTexts(const QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* button : box.buttons()) texts << button->text();
    texts.sort();
    return texts;
}

}  // namespace

TEST(MessageBox, QuestionsOfferOkAndCancelInJapaneseEscapeMeaningCancel) {
    const auto question =
        buildMessageBox(QStringLiteral("q"), MsgIcon::Exclamation, MsgButtons::OkCancel, QStringLiteral("t"), nullptr);
    EXPECT_EQ(buttonTexts(*question), (QStringList{QStringLiteral("OK"), QStringLiteral("キャンセル")}));
    EXPECT_EQ(question->defaultButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(question->icon(), QMessageBox::Warning);
    question->show();
    QTest::keyClick(question.get(), Qt::Key_Escape);
    ASSERT_NE(question->clickedButton(), nullptr);
    EXPECT_EQ(question->clickedButton()->text(), QStringLiteral("キャンセル"));

    const auto notice =
        buildMessageBox(QStringLiteral("n"), MsgIcon::Exclamation, MsgButtons::Ok, QStringLiteral("t"), nullptr);
    EXPECT_EQ(buttonTexts(*notice), QStringList{QStringLiteral("OK")});
}

TEST(MessageBox, ShowsAStoredNameThatLooksLikeMarkupAsItIs) {
    const QString question = QStringLiteral("<b>第２</b> 2026/12/08 09:00分の予約を取り消しますか？");
    const auto box =
        buildMessageBox(question, MsgIcon::Exclamation, MsgButtons::OkCancel, QStringLiteral("t"), nullptr);
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), question);
}

TEST(MessageBox, QtsOwnTextsAreJapaneseWhenTheTranslationIsThere) {
    const QTemporaryDir empty;
    EXPECT_FALSE(installQtTranslation(empty.path()));
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));
    ASSERT_TRUE(installQtTranslation()) << "qtbase_ja.qm comes with qt6-translations-l10n";
    EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));
}
