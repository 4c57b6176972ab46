// Opening, creating and reporting on notebook databases; record helpers.
#include "core/store/database.h"

#include "core/store/record_store.h"
#include "support/test_support.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

using namespace vellicar::store;
using vellicar::test::readAll;
using vellicar::test::writeAll;

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    QString programFolder = dir.filePath(QStringLiteral("program"));
    DbState db;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(programFolder));
    }
    void TearDown() override { CloseDatabase(db); }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString rememberedPath() {
        return settings.value(QStringLiteral("Main/DB Open Database")).toString();
    }
    static NoteRecord note(const QString& owner, const QString& title) {
        NoteRecord r;
        r.Owner = owner;
        r.Title = title;
        r.Body = QStringLiteral("{\\rtf1 body of ") + title + QLatin1Char('}');
        return r;
    }
};

} // namespace

TEST_F(DatabaseTest, EmptyPathCreatesTheDefaultDatabase) {
    const OpenOutcome outcome = OpenDatabaseFile(db, settings, QString(), programFolder);
    ASSERT_TRUE(outcome.ok()) << outcome.message.toStdString();
    EXPECT_TRUE(outcome.created);
    EXPECT_TRUE(outcome.message.isEmpty());
    const QString expected = programFolder + QStringLiteral("/databases/Introduction.isd");
    EXPECT_EQ(db.DatabasePath, expected);
    EXPECT_EQ(rememberedPath(), expected);
    EXPECT_TRUE(QFileInfo(expected).isFile());
    EXPECT_NE(db.DbHandle, 0);
    EXPECT_TRUE(db.isOpen());
    NoteRecord r;
    EXPECT_FALSE(readRecord(db, QStringLiteral("Sections"), r));
}

TEST_F(DatabaseTest, DatabasesFolderWithCapitalIsTheSameFolder) {
    ASSERT_TRUE(QDir(programFolder).mkdir(QStringLiteral("Databases")));
    const QString expected = programFolder + QStringLiteral("/Databases/Introduction.isd");
    EXPECT_EQ(defaultDatabasePath(programFolder), expected);
    ASSERT_TRUE(OpenDatabaseFile(db, settings, QString(), programFolder).ok());
    EXPECT_EQ(db.DatabasePath, expected);
    EXPECT_TRUE(QFileInfo(expected).isFile());
    EXPECT_FALSE(QFileInfo::exists(programFolder + QStringLiteral("/databases")));

    // With both present the lower-case one is the default.
    ASSERT_TRUE(QDir(programFolder).mkdir(QStringLiteral("databases")));
    EXPECT_EQ(defaultDatabasePath(programFolder),
              programFolder + QStringLiteral("/databases/Introduction.isd"));
}

TEST_F(DatabaseTest, MissingDatabaseIsCreatedAndRecordsSurviveReopening) {
    const QString file = path("Work.isd");
    OpenOutcome outcome = OpenDatabaseFile(db, settings, file, programFolder);
    ASSERT_TRUE(outcome.ok()) << outcome.message.toStdString();
    EXPECT_TRUE(outcome.created);
    EXPECT_EQ(db.DatabasePath, file);
    EXPECT_EQ(rememberedPath(), file);

    const NoteRecord first =
        note(QStringLiteral("VLR1"), QString::fromUtf8("Caf\xC3\xA9 \xF0\x9F\x92\xA1"));
    ASSERT_TRUE(writeRecord(db, QStringLiteral("36599.5"), first).ok());
    ASSERT_TRUE(writeRecord(db, QStringLiteral("36599.75"),
                            note(QStringLiteral("VLR1"), QStringLiteral("b")))
                    .ok());
    CloseDatabase(db);
    EXPECT_EQ(db.DbHandle, 0);

    outcome = OpenDatabaseFile(db, settings, file, programFolder);
    ASSERT_TRUE(outcome.ok());
    EXPECT_FALSE(outcome.created);
    NoteRecord read;
    ASSERT_TRUE(readRecord(db, QStringLiteral("36599.5"), read));
    EXPECT_EQ(read, first);
    EXPECT_TRUE(ownerInUse(db, QStringLiteral("VLR1")));
    EXPECT_FALSE(ownerInUse(db, QStringLiteral("VLR2")));

    ASSERT_TRUE(deleteRecord(db, QStringLiteral("36599.5")).ok());
    EXPECT_FALSE(recordExists(db, QStringLiteral("36599.5")));
    EXPECT_TRUE(recordExists(db, QStringLiteral("36599.75")));
    EXPECT_TRUE(deleteRecord(db, QStringLiteral("no such key")).ok());
}

TEST_F(DatabaseTest, ReadingAMissingRecordLeavesTheBufferAlone) {
    ASSERT_TRUE(OpenDatabaseFile(db, settings, path("a.isd"), programFolder).ok());
    NoteRecord buffer = note(QStringLiteral("VLR1"), QStringLiteral("kept"));
    const NoteRecord before = buffer;
    EXPECT_FALSE(readRecord(db, QStringLiteral("missing"), buffer));
    EXPECT_EQ(buffer, before);
}

TEST_F(DatabaseTest, OpeningAnotherDatabaseClosesTheFirst) {
    const QString a = path("a.isd"), b = path("b.isd");
    ASSERT_TRUE(OpenDatabaseFile(db, settings, a, programFolder).ok());
    ASSERT_TRUE(OpenDatabaseFile(db, settings, b, programFolder).ok());
    EXPECT_EQ(db.DatabasePath, b);
    EXPECT_EQ(rememberedPath(), b);
    // Were `a` still open here, a second opener would find it locked.
    DbState other;
    const OpenOutcome again = OpenDatabaseFile(other, settings, a, programFolder);
    EXPECT_TRUE(again.ok()) << again.message.toStdString();
    EXPECT_FALSE(again.readOnly);
    CloseDatabase(other);
}

TEST_F(DatabaseTest, FailedOpensAreReportedWithFileAndReason) {
    const QString garbage = path("letter.isd");
    ASSERT_TRUE(
        writeAll(garbage, QByteArray("Dear reader,\nthis is not a notebook.\n").repeated(20)));
    const QString locked = path("locked.isd");
    DbState holder;
    ASSERT_TRUE(OpenDatabaseFile(holder, settings, locked, programFolder).ok());
    const QString unreachable = dir.filePath(QStringLiteral("no/such/folder/x.isd"));

    struct Case {
        QString file;
        const char* reason;
    };
    const Case cases[] = {
        {garbage, "not a Vellicar Notes database"},
        {locked, "in use by another running copy"},
        {unreachable, "could not be created"},
    };
    for (const Case& c : cases) {
        const OpenOutcome outcome = OpenDatabaseFile(db, settings, c.file, programFolder);
        EXPECT_FALSE(outcome.ok()) << c.reason;
        EXPECT_TRUE(outcome.message.contains(QDir::toNativeSeparators(c.file)))
            << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(QLatin1String(c.reason)))
            << outcome.message.toStdString();
        // The path is remembered whatever the outcome, and nothing pretends to be open.
        EXPECT_EQ(db.DatabasePath, c.file);
        EXPECT_EQ(rememberedPath(), c.file);
        EXPECT_EQ(db.DbHandle, 0);
        EXPECT_FALSE(db.isOpen());
        const WriteResult w = writeRecord(db, QStringLiteral("k"), NoteRecord{});
        EXPECT_FALSE(w.ok());
        EXPECT_FALSE(w.message.isEmpty());
    }
    // The file that is not ours is left exactly as it was.
    EXPECT_EQ(readAll(garbage), QByteArray("Dear reader,\nthis is not a notebook.\n").repeated(20));
    CloseDatabase(holder);
}

TEST_F(DatabaseTest, DamageSkippedWhileOpeningIsCounted) {
    const QString file = path("damaged.isd");
    ASSERT_TRUE(OpenDatabaseFile(db, settings, file, programFolder).ok());
    ASSERT_TRUE(
        writeRecord(db, QStringLiteral("1"), note(QStringLiteral("VLR1"), QStringLiteral("before")))
            .ok());
    NoteRecord victim = note(QStringLiteral("VLR1"), QStringLiteral("victim"));
    victim.Body = QStringLiteral("UNIQUE-MARKER-TEXT");
    ASSERT_TRUE(writeRecord(db, QStringLiteral("2"), victim).ok());
    ASSERT_TRUE(
        writeRecord(db, QStringLiteral("3"), note(QStringLiteral("VLR1"), QStringLiteral("after")))
            .ok());
    CloseDatabase(db);

    QByteArray bytes = readAll(file);
    const qsizetype at = bytes.indexOf("UNIQUE-MARKER-TEXT");
    ASSERT_GT(at, 0);
    bytes[at + 3] = 'X';
    ASSERT_TRUE(writeAll(file, bytes));
    ASSERT_TRUE(QFile::remove(RecordStore::indexPathFor(file))); // make the open scan the frames

    const OpenOutcome outcome = OpenDatabaseFile(db, settings, file, programFolder);
    ASSERT_TRUE(outcome.ok()) << outcome.message.toStdString();
    EXPECT_GE(outcome.skippedRecords, 1);
    EXPECT_EQ(outcome.skippedRecords, outcome.damage.size());
    NoteRecord r;
    EXPECT_FALSE(readRecord(db, QStringLiteral("2"), r));
    ASSERT_TRUE(readRecord(db, QStringLiteral("1"), r));
    EXPECT_EQ(r.Title, QStringLiteral("before"));
    ASSERT_TRUE(readRecord(db, QStringLiteral("3"), r));
    EXPECT_EQ(r.Title, QStringLiteral("after"));
}
