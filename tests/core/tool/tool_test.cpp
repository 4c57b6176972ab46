// The vellicar-db tool, run as users run it.
#include "core/store/database.h"
#include "core/store/record_store.h"
#include "support/test_support.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

using vellicar::test::readAll;
using vellicar::test::writeAll;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

ToolRun runTool(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(VELLICAR_DB_TOOL), args);
    ToolRun run;
    if (!p.waitForStarted())
        return run;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.out = p.readAllStandardOutput();
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QJsonObject record(const QString& key, const QString& owner, const QString& title,
                   const QString& body) {
    QJsonObject o;
    o.insert(QStringLiteral("key"), key);
    o.insert(QStringLiteral("Owner"), owner);
    o.insert(QStringLiteral("Title"), title);
    o.insert(QStringLiteral("Body"), body);
    return o;
}

// The record as dump prints it: every field present.
QJsonObject complete(QJsonObject o) {
    for (const char* f : {"Owner", "Title", "Body", "Links", "IndexValue", "Created", "Modified",
                          "DueDate", "Reserved1", "Reserved2", "Reserved3"}) {
        if (!o.contains(QLatin1String(f)))
            o.insert(QLatin1String(f), QString());
    }
    return o;
}

class ToolTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file;
    QJsonArray records;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("notes.isd"));
        records = {
            record(QStringLiteral("VLR1"), QString(), QStringLiteral("Home"), QString()),
            record(QStringLiteral("36599.5208333333"), QStringLiteral("VLR1"),
                   QString::fromUtf8("Caf\xC3\xA9 \xF0\x9F\x92\xA1 \"quoted\""),
                   QStringLiteral("{\\rtf1\\ansi UNIQUE-MARKER-TEXT \\u233?}")),
            record(QStringLiteral("Sections"), QStringLiteral("Desc"), QString(),
                   QStringLiteral("04VLR104Home")),
        };
        QJsonObject full = complete(record(QStringLiteral("11111112"), QStringLiteral("VLR1"),
                                           QStringLiteral("t"), QStringLiteral("b")));
        full.insert(QStringLiteral("DueDate"), QStringLiteral("March 14, 2000"));
        full.insert(QStringLiteral("Created"), QStringLiteral("36599.5"));
        full.insert(QStringLiteral("Links"), QString::fromUtf16(u"a\u0000b\nc", 5));
        records.append(full);
    }

    QByteArray json(const QJsonArray& a) const { return QJsonDocument(a).toJson(); }
    void importAll() {
        const ToolRun r = runTool({QStringLiteral("import"), file}, json(records));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    QJsonArray dump() {
        const ToolRun r = runTool({QStringLiteral("dump"), file});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QJsonParseError e;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out, &e);
        EXPECT_EQ(e.error, QJsonParseError::NoError) << r.out.toStdString();
        return doc.array();
    }
};

QJsonArray sortedComplete(const QJsonArray& in) {
    QList<QJsonObject> list;
    for (const QJsonValue& v : in)
        list.append(complete(v.toObject()));
    std::sort(list.begin(), list.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value(QStringLiteral("key")).toString() <
               b.value(QStringLiteral("key")).toString();
    });
    QJsonArray out;
    for (const QJsonObject& o : list)
        out.append(o);
    return out;
}

} // namespace

TEST_F(ToolTest, HelpListsEveryCommand) {
    const ToolRun r = runTool({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* c : {"dump", "import", "check", "compact"})
        EXPECT_TRUE(r.out.contains(QByteArray("  ") + c + " FILE.isd")) << c;
}

TEST_F(ToolTest, ImportThenDumpGivesBackEveryRecordSortedByKey) {
    importAll();
    EXPECT_TRUE(QFileInfo::exists(file));
    const QJsonArray dumped = dump();
    EXPECT_EQ(dumped, sortedComplete(records)) << QJsonDocument(dumped).toJson().toStdString();
    ASSERT_EQ(dumped.size(), 4);
    EXPECT_EQ(dumped[0].toObject().value(QStringLiteral("key")).toString(),
              QStringLiteral("11111112"));

    // A second import replaces records with the same key and adds the others.
    const QJsonArray changes = {
        record(QStringLiteral("VLR1"), QString(), QStringLiteral("Home, renamed"), QString()),
        record(QStringLiteral("VLR2"), QString(), QStringLiteral("Work"), QString())};
    const ToolRun r = runTool({QStringLiteral("import"), file}, json(changes));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonArray expected = records;
    expected[0] = changes[0];
    expected.append(changes[1]);
    EXPECT_EQ(dump(), sortedComplete(expected));
}

TEST_F(ToolTest, DumpReadsWhatTheProgramWrote) {
    {
        vellicar::store::DbState db;
        QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        ASSERT_TRUE(vellicar::store::OpenDatabaseFile(db, settings, file, dir.path()).ok());
        vellicar::store::NoteRecord n;
        n.Owner = QStringLiteral("VLR9");
        n.Title = QString::fromUtf8("\xE4\xB8\xAD\xE6\x96\x87");
        ASSERT_TRUE(vellicar::store::writeRecord(db, QStringLiteral("42"), n).ok());
        vellicar::store::CloseDatabase(db);
    }
    const QJsonArray dumped = dump();
    ASSERT_EQ(dumped.size(), 1);
    const QJsonObject o = dumped[0].toObject();
    EXPECT_EQ(o.value(QStringLiteral("key")).toString(), QStringLiteral("42"));
    EXPECT_EQ(o.value(QStringLiteral("Owner")).toString(), QStringLiteral("VLR9"));
    EXPECT_EQ(o.value(QStringLiteral("Title")).toString(),
              QString::fromUtf8("\xE4\xB8\xAD\xE6\x96\x87"));
    EXPECT_EQ(o.size(), 12);
}

TEST_F(ToolTest, CheckPassesASoundDatabase) {
    importAll();
    const ToolRun r = runTool({QStringLiteral("check"), file});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("sound, 4 records")) << r.out.toStdString();
}

TEST_F(ToolTest, CheckReportsDamageAndChangesNothing) {
    importAll();
    const QString index = vellicar::store::RecordStore::indexPathFor(file);
    QByteArray data = readAll(file);
    const qsizetype at = data.indexOf("UNIQUE-MARKER-TEXT");
    ASSERT_GT(at, 0);
    data[at + 2] = 'Z';
    ASSERT_TRUE(writeAll(file, data));
    const QByteArray indexBefore = readAll(index);

    const ToolRun r = runTool({QStringLiteral("check"), file});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("damaged")) << r.out.toStdString();
    EXPECT_EQ(readAll(file), data);
    EXPECT_EQ(readAll(index), indexBefore);
}

TEST_F(ToolTest, CheckReportsAMissingIndexFile) {
    importAll();
    ASSERT_TRUE(QFile::remove(vellicar::store::RecordStore::indexPathFor(file)));
    const ToolRun r = runTool({QStringLiteral("check"), file});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(vellicar::store::RecordStore::indexPathFor(file)));
}

TEST_F(ToolTest, CompactKeepsEveryRecord) {
    importAll();
    for (int i = 0; i < 3; ++i) // replaced records leave dead frames behind
        ASSERT_EQ(runTool({QStringLiteral("import"), file}, json(records)).exitCode, 0);
    const QJsonArray before = dump();
    const ToolRun r = runTool({QStringLiteral("compact"), file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(runTool({QStringLiteral("check"), file}).exitCode, 0);
}

TEST_F(ToolTest, ErrorsAreClearAndExitNonZero) {
    const QString missing = dir.filePath(QStringLiteral("missing.isd"));
    const QString letter = dir.filePath(QStringLiteral("letter.isd"));
    ASSERT_TRUE(writeAll(letter, QByteArray("Dear reader, this is no notebook.\n").repeated(30)));
    struct Case {
        QStringList args;
        QByteArray input;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, {}, 2, "no command"},
        {{QStringLiteral("frobnicate"), file}, {}, 2, "unknown command"},
        {{QStringLiteral("dump")}, {}, 2, "usage"},
        {{QStringLiteral("dump"), missing}, {}, 3, "no such database"},
        {{QStringLiteral("check"), missing}, {}, 3, "no such database"},
        {{QStringLiteral("compact"), missing}, {}, 3, "no such database"},
        {{QStringLiteral("dump"), letter}, {}, 3, "not a Vellicar Notes database"},
        {{QStringLiteral("check"), letter}, {}, 3, "not a Vellicar Notes database"},
        {{QStringLiteral("import"), letter}, "[]", 3, "not a Vellicar Notes database"},
        {{QStringLiteral("import"), missing}, "[{\"key\": \"a\",", 3, "malformed JSON"},
        {{QStringLiteral("import"), missing}, "{\"key\": \"a\"}", 3, "expected an array"},
        {{QStringLiteral("import"), missing}, "[{\"Title\": \"no key\"}]", 3, "\"key\""},
        {{QStringLiteral("import"), missing}, "[{\"key\": \"a\", \"Titel\": \"x\"}]", 3, "Titel"},
        {{QStringLiteral("import"), missing}, "[{\"key\": \"a\", \"Title\": 5}]", 3, "not text"},
    };
    for (const Case& c : cases) {
        const ToolRun r = runTool(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message)))
            << c.message << ": " << r.err.toStdString();
    }
    // Refused input creates nothing, and the foreign file is left alone.
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(readAll(letter), QByteArray("Dear reader, this is no notebook.\n").repeated(30));
}

TEST_F(ToolTest, LockedDatabaseIsRefused) {
    importAll();
    vellicar::store::DbState db;
    QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    ASSERT_TRUE(vellicar::store::OpenDatabaseFile(db, settings, file, dir.path()).ok());
    for (const char* command : {"dump", "import", "check", "compact"}) {
        const ToolRun r = runTool({QLatin1String(command), file}, "[]");
        EXPECT_EQ(r.exitCode, 3) << command;
        EXPECT_TRUE(r.err.contains(QStringLiteral("locked")))
            << command << ": " << r.err.toStdString();
    }
    vellicar::store::CloseDatabase(db);
}
