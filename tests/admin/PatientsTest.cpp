#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/Cp932.h"
#include "store/PatientRegister.h"
#include "store/engine/OpenDatabase.h"
#include "tests/admin/AdminSupport.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

using namespace kesola;
using namespace kesola::test;

namespace {

// The register's rows, each as ID|kanji|kana|birth date|sex, in ID order.
QStringList registerRows(const QString& location) {
    auto db = openDatabase(location);
    QStringList rows;
    forEachRegisteredPatient(*db, [&](const RegisteredPatient& p) {
        rows << QStringList{p.KANJYAID, p.SHIMEI, p.KANA, p.SEINENGAPPI, p.SEX}.join(u'|');
    });
    return rows;
}

int historyRows(const QString& location, const QString& action) {
    auto rs = openDatabase(location)->selectNative(QStringLiteral("SELECT count(*) AS N FROM RIREKI WHERE SOSA = ?"),
                                                   {action});
    return rs->field(QStringLiteral("N")).toInt();
}

class Patients : public ::testing::Test {
  protected:
    AdminRun import(const QByteArray& bytes, bool dryRun = false) {
        writeFile(csv, bytes);
        QStringList args{QStringLiteral("patients"), QStringLiteral("import"), db.path(), csv};
        if (dryRun) args << QStringLiteral("--dry-run");
        return runAdminCommand(args);
    }
    TestDatabase db;
    const QString csv = db.folder() + QStringLiteral("/patients.csv");
};

const QString kGoodFile = QStringLiteral(
    "ID,氏名,カナ氏名,生年月日,性別\r\n"
    "P-001,山田　太郎,ヤマダ　タロウ,1970/4/1,1\r\n"
    "\"P-002\",\"佐藤 花子\",ｻﾄｳ ﾊﾅｺ,1985/12/31,F\r\n"
    "P-003,鈴木一郎,すずき いちろう,2000-02-29,男\r\n");
const QStringList kGoodRows = {QStringLiteral("P-001|山田　太郎|ヤマダ　タロウ|19700401|1"),
                               QStringLiteral("P-002|佐藤 花子|サトウ　ハナコ|19851231|2"),
                               QStringLiteral("P-003|鈴木一郎|スズキ　イチロウ|20000229|1")};

}  // namespace

TEST_F(Patients, AGoodFileIsTakenInEveryEncodingAndExportedAsItWasRead) {
    const struct {
        const char* encoding;
        QByteArray bytes;
    } files[] = {{"cp932", Cp932::encode(kGoodFile)},
                 {"UTF-8", kGoodFile.toUtf8()},
                 {"UTF-8", QByteArray("\xEF\xBB\xBF") + kGoodFile.toUtf8()}};
    for (const auto& f : files) {
        db.connect()->execute(QStringLiteral("DELETE FROM KANJYAMST"));
        const AdminRun run = import(f.bytes);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("(%1) の患者 3 人: 追加 3、更新 0、変更なし 0").arg(f.encoding)))
            << run.out.toStdString();
        EXPECT_EQ(registerRows(db.path()), kGoodRows) << f.encoding;
    }
    const QString exported = db.folder() + QStringLiteral("/out.csv");
    const AdminRun out = runAdminCommand({QStringLiteral("patients"), QStringLiteral("export"), db.path(), exported});
    ASSERT_EQ(out.status, 0) << out.err.toStdString();
    EXPECT_EQ(Cp932::decode(readAll(exported)),
              QStringLiteral("ID,氏名,カナ氏名,生年月日,性別\r\n") +
                  QStringList(kGoodRows).replaceInStrings(QStringLiteral("|"), QStringLiteral(",")).join(u"\r\n") +
                  QStringLiteral("\r\n"));
    // What was exported imports as it stands and changes nothing.
    const AdminRun again = import(readAll(exported));
    EXPECT_TRUE(again.out.contains(QStringLiteral("追加 0、更新 0、変更なし 3"))) << again.out.toStdString();
}

TEST_F(Patients, AFileWithWrongLinesChangesNothingAndNamesEveryLine) {
    ASSERT_EQ(import(kGoodFile.toUtf8()).status, 0);
    const QStringList before = registerRows(db.path());
    const AdminRun run = import(QStringLiteral("ID,氏名,カナ氏名,生年月日,性別\n"
                                               "P-010,新規　一,シンキ　ハジメ,19990101,2\n"
                                               "P-011,日付　違,ヒヅケ,1999/2/30,1\n"
                                               "P-012,性別　違,セイベツ,19990101,X\n"
                                               "P-010,重複　二,チョウフク,19990101,1\n"
                                               "P-013,長い長い長い長い長い名前,ナガイ,19990101,1\n"
                                               "P-014,列不足\n"
                                               "P 015,漢字,かんじ漢字,20990101,1\n")
                                    .toUtf8());
    EXPECT_EQ(run.status, 1);
    const QStringList expected = {
        csv + QStringLiteral(":3: 生年月日「1999/2/30」は日付ではありません（YYYYMMDD、YYYY/MM/DD、YYYY-MM-DD）"),
        csv + QStringLiteral(":4: 性別「X」は 1/2、M/F、男/女 のどれでもありません"),
        csv + QStringLiteral(":5: ID「P-010」は 2 行目と重複しています"),
        csv + QStringLiteral(":6: 氏名「長い長い長い長い長い名前」は 24 バイトで、20 バイトを超えています"),
        csv + QStringLiteral(":7: 列が足りません（5 列のところ 2 列）"),
        csv + QStringLiteral(":8: ID「P 015」は 16 文字までの英数字とハイフンではありません、"
                             "カナ氏名「かんじ漢字」はカタカナではありません、生年月日「20990101」は今日より後です"),
        QStringLiteral("kesola-admin: ") + csv +
            QStringLiteral(" の 6 行に誤りがあるため、患者を1人も取り込んでいません"),
    };
    EXPECT_EQ(run.err.split(u'\n', Qt::SkipEmptyParts), expected);
    EXPECT_EQ(registerRows(db.path()), before);

    const AdminRun noHeader = import(QByteArray("ID,NAME\nP-1,x\n"));
    EXPECT_EQ(noHeader.status, 1);
    EXPECT_TRUE(
        noHeader.err.contains(QStringLiteral(":1: 見出し行に列「氏名」「カナ氏名」「生年月日」「性別」がありません")))
        << noHeader.err.toStdString();
}

TEST_F(Patients, AChangedPatientIsUpdatedWithItsHistoryRowAndADryRunWritesNothing) {
    ASSERT_EQ(import(kGoodFile.toUtf8()).status, 0);
    const QByteArray changed =
        QStringLiteral(
            "ID,氏名,カナ氏名,生年月日,性別\nP-002,田中 花子,タナカ ハナコ,19851231,2\nP-004,新,シン,20040101,2\n")
            .toUtf8();
    const AdminRun dry = import(changed, true);
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.startsWith(QStringLiteral("確認のみ（何も書き込んでいません）: ")));
    EXPECT_TRUE(dry.out.contains(QStringLiteral("の患者 2 人: 追加 1、更新 1、変更なし 0"))) << dry.out.toStdString();
    EXPECT_EQ(registerRows(db.path()), kGoodRows);
    EXPECT_EQ(historyRows(db.path(), QStringLiteral("患者変更")), 0);

    ASSERT_EQ(import(changed).status, 0);
    EXPECT_EQ(registerRows(db.path()).value(1), QStringLiteral("P-002|田中 花子|タナカ　ハナコ|19851231|2"));
    EXPECT_EQ(registerRows(db.path()).size(), 4);
    auto rs = db.connect()->selectNative(QStringLiteral("SELECT TBL, CODE, MAE, ATO FROM RIREKI WHERE SOSA = ?"),
                                         {QStringLiteral("患者変更")});
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->field(QStringLiteral("TBL")), QStringLiteral("KANJYAMST"));
    EXPECT_EQ(rs->field(QStringLiteral("CODE")), QStringLiteral("P-002"));
    EXPECT_TRUE(rs->field(QStringLiteral("MAE")).contains(QStringLiteral("SHIMEI=佐藤 花子")));
    EXPECT_TRUE(rs->field(QStringLiteral("ATO")).contains(QStringLiteral("SHIMEI=田中 花子")));
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
}

TEST(PatientAge, CountsWholeYearsToTheBookingsDay) {
    const struct {
        QDate born, day;
        int age;
    } cases[] = {{{1970, 4, 1}, {2026, 3, 31}, 55},  {{1970, 4, 1}, {2026, 4, 1}, 56},
                 {{2000, 2, 29}, {2025, 2, 28}, 24}, {{2000, 2, 29}, {2025, 3, 1}, 25},
                 {{2026, 12, 8}, {2026, 12, 8}, 0},  {{2026, 12, 9}, {2026, 12, 8}, -1}};
    for (const auto& c : cases) EXPECT_EQ(ageOn(c.born, c.day), c.age) << c.born.toString().toStdString();
}
