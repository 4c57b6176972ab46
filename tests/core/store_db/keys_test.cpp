// Record keys for new notes, pasted notes, links and sections.
#include "core/store/keys.h"

#include "core/store/record_keys.h"
#include "support/test_support.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

using namespace vellicar::store;

TEST(ClockKey, IsTheSerialDayNumberWithFifteenSignificantDigits) {
    struct Case {
        QDateTime when;
        const char* key;
    };
    const Case cases[] = {
        {QDateTime(QDate(2000, 3, 14), QTime(12, 30)), "36599.5208333333"},
        {QDateTime(QDate(2000, 3, 14), QTime(0, 0)), "36599"},
        {QDateTime(QDate(2000, 3, 14), QTime(18, 0)), "36599.75"},
        {QDateTime(QDate(1900, 1, 1), QTime(6, 0)), "2.25"},
        {QDateTime(QDate(1900, 1, 1), QTime(0, 0, 1)), "2.00001157407407"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clockKeyText(c.when), QString::fromLatin1(c.key)) << c.key;
}

TEST(LinkKey, FollowsTheFormulaAndAvoidsKeysInUse) {
    QRandomGenerator first(42);
    const QString key = newlinkkey(first);
    bool ok = false;
    const qlonglong value = key.toLongLong(&ok);
    ASSERT_TRUE(ok);
    EXPECT_GE(value, 22222222);
    EXPECT_LE(value, 22222222 + 99999999);

    QRandomGenerator again(42);
    const QString other = newlinkkey(again, {key});
    EXPECT_FALSE(other.isEmpty());
    EXPECT_NE(other, key);
}

namespace {

class KeysTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    QString tempFolder = dir.filePath(QStringLiteral("tmp"));
    DbState db;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(tempFolder));
        ASSERT_TRUE(
            OpenDatabaseFile(db, settings, dir.filePath(QStringLiteral("n.isd")), dir.path()).ok());
    }
    void TearDown() override { CloseDatabase(db); }

    void put(const QString& key, const QString& owner = QString()) {
        NoteRecord r;
        r.Owner = owner;
        ASSERT_TRUE(writeRecord(db, key, r).ok());
    }
    void cleanTempFolder() {
        QDir t(tempFolder);
        for (const QString& f : t.entryList(QDir::Files))
            ASSERT_TRUE(t.remove(f));
    }
};

} // namespace

TEST_F(KeysTest, NotesCreatedInTheSameTickGetDistinctKeys) {
    const QDateTime now(QDate(2000, 3, 14), QTime(12, 30));
    vellicar::platform::Clock clock;
    clock.now = [now] { return now; };
    QSet<QString> made;
    for (int i = 0; i < 3; ++i) {
        const QString key = NewNoteKey(db, clock);
        ASSERT_FALSE(key.isEmpty());
        EXPECT_FALSE(made.contains(key)) << key.toStdString();
        made.insert(key);
        put(key, QStringLiteral("VLR1"));
        bool ok = false;
        const double days = key.toDouble(&ok);
        ASSERT_TRUE(ok);
        EXPECT_NEAR(days, 36599.5208333333, 1.0 / 86400); // within a second of the clock
    }
    EXPECT_TRUE(made.contains(QStringLiteral("36599.5208333333")));
    // Keys handed out but not written yet are avoided too.
    const QString pending = NewNoteKey(db, clock, made);
    EXPECT_FALSE(made.contains(pending));
}

TEST_F(KeysTest, NewkeyNeverRepeatsAKeyInUse) {
    QRandomGenerator first(7);
    const QString key = newkey(db, first);
    bool ok = false;
    const qlonglong value = key.toLongLong(&ok);
    ASSERT_TRUE(ok);
    EXPECT_GE(value, 11111111);
    EXPECT_LE(value, 11111111 + 99999999);
    put(key);

    QRandomGenerator same(7); // would draw `key` again first
    const QString second = newkey(db, same);
    EXPECT_FALSE(second.isEmpty());
    EXPECT_NE(second, key);

    QRandomGenerator third(7);
    const QString avoided = newkey(db, third, {second});
    EXPECT_NE(avoided, key);
    EXPECT_NE(avoided, second);
}

TEST_F(KeysTest, SectionKeysHaveTheirFormAndDiffer) {
    const QRegularExpression form(QStringLiteral("^VLR[0-9A-F]{1,4}$"));
    const QString a = MakeSectionKey(db, {}, tempFolder);
    const QString b = MakeSectionKey(db, {a}, tempFolder);
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_TRUE(form.match(b).hasMatch()) << b.toStdString();
    EXPECT_NE(a, b);
    EXPECT_TRUE(QFileInfo::exists(QDir(tempFolder).filePath(a + QStringLiteral(".TMP"))));
}

TEST_F(KeysTest, CleanedTempFolderDoesNotHandOutAKeyInUse) {
    // Each way a section key can be in use once its temporary file is gone.
    enum Use { InSectionList, RootRecord, TreeRecord, CategoriesRecord, NoteOwner };
    for (Use use : {InSectionList, RootRecord, TreeRecord, CategoriesRecord, NoteOwner}) {
        cleanTempFolder();
        const QString first = MakeSectionKey(db, {}, tempFolder);
        ASSERT_FALSE(first.isEmpty());
        QStringList sections;
        switch (use) {
        case InSectionList:
            sections = {first};
            break;
        case RootRecord:
            put(first);
            break;
        case TreeRecord:
            put(treeKey(first), QStringLiteral("SectionTree"));
            break;
        case CategoriesRecord:
            put(categoriesKey(first));
            break;
        case NoteOwner:
            put(QStringLiteral("4000%1").arg(static_cast<int>(use)), first);
            break;
        }
        cleanTempFolder();
        QString error;
        const QString second = MakeSectionKey(db, sections, tempFolder, &error);
        EXPECT_FALSE(second.isEmpty()) << error.toStdString();
        EXPECT_NE(second, first) << "use " << use;
        // Clean up so the next case starts from the same numbers.
        ASSERT_TRUE(deleteRecord(db, first).ok());
        ASSERT_TRUE(deleteRecord(db, treeKey(first)).ok());
        ASSERT_TRUE(deleteRecord(db, categoriesKey(first)).ok());
        ASSERT_TRUE(deleteRecord(db, QStringLiteral("4000%1").arg(static_cast<int>(use))).ok());
    }
}

TEST_F(KeysTest, SectionKeyFailsClearlyWithoutATempFolder) {
    QString error;
    const QString key = MakeSectionKey(db, {}, dir.filePath(QStringLiteral("missing")), &error);
    EXPECT_TRUE(key.isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("missing"))) << error.toStdString();
}

TEST(TempFiles, PrivateFolderAndExclusiveFiles) {
    const QString folder = privateTempFolder();
    ASSERT_FALSE(folder.isEmpty());
    const QFileInfo info(folder);
    EXPECT_TRUE(info.isDir());
    EXPECT_FALSE(info.isSymLink());
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(info.permissions() & others, QFileDevice::Permissions());

    QTemporaryDir dir;
    const QString a = createUniqueTempFile(dir.path(), QStringLiteral("TRX~"));
    const QString b = createUniqueTempFile(dir.path(), QStringLiteral("TRX~"));
    ASSERT_FALSE(a.isEmpty());
    ASSERT_FALSE(b.isEmpty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(QFileInfo(a).fileName().startsWith(QStringLiteral("TRX")));
    EXPECT_TRUE(a.endsWith(QStringLiteral(".TMP")));
    EXPECT_EQ(QFileInfo(a).size(), 0);
    EXPECT_EQ(QFileInfo(a).permissions() & others, QFileDevice::Permissions());
}
