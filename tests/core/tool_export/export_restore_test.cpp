#include "core/links/link_blob.h"
#include "core/store/database.h"
#include "core/store/section_list.h"
#include "core/tree/tree_store.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

using namespace vellicar;
using namespace vellicar::tree;
using store::NoteRecord;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out, err;
};

ToolRun runTool(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(VELLICAR_DB_TOOL), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

const QString kPilcrow(QChar(0x00B6));

// A notebook with three sections: sorted and unsorted branches, a deep chain,
// links, index values, non-ASCII text, and one record no tree reaches.
void makeNotebook(const QString& path) {
    store::DbState db;
    db.vmx.VmxCreate(path, 125, 8192, 0, 1);
    db.openResult = db.vmx.VmxOpen(path, 0, store::VmxModeReadWrite, db.DbHandle);
    ASSERT_TRUE(db.isOpen());
    auto put = [&](const QString& key, const NoteRecord& r) {
        ASSERT_TRUE(store::writeRecord(db, key, r).ok()) << key.toStdString();
    };
    auto note = [&](const QString& key, const QString& title, const QString& body = {},
                    const QList<links::Link>& ls = {}, const QString& index = {}) {
        NoteRecord r;
        r.Owner = "VLRA";
        r.Title = title;
        r.Body = body;
        r.Links = links::writeLinkBlob(ls).blob;
        r.IndexValue = index;
        r.Created = "45000.5";
        r.Modified = "45001.25";
        r.DueDate = "March 14, 2025";
        put(key, r);
    };

    NoteRecord sections;
    sections.Owner = "Desc";
    sections.Body = store::writeSectionList({{"VLRA", "Home"},
                                             {"VLRB", QString::fromUtf8("\u65e5\u672c \U0001F600")},
                                             {"VLRC", "Deep"}})
                        .text;
    put("Sections", sections);
    NoteRecord which;
    which.Owner = "WhichSection";
    which.Title = "02";
    put("WhichSection", which);
    NoteRecord status;
    status.Owner = "Status";
    status.Title = "004Home004work004Work";
    put("StatusValues", status);

    // Section A: sorted root, a sorted branch and an unsorted one.
    NoteTree a;
    TreeNode* ra = a.addTop("RVLRA", kPilcrow + " Home");
    a.setSorted(ra, true);
    a.setExpanded(ra, true);
    TreeNode* recipes = a.add(ra, Relation::LastChild, "K1", "Recipes");
    a.setSorted(recipes, true);
    a.setExpanded(recipes, true);
    a.add(recipes, Relation::LastChild, "K2", "Zucchini");
    a.add(recipes, Relation::LastChild, "K3", QString::fromUtf8("\u00c4pfel"));
    TreeNode* plans = a.add(ra, Relation::LastChild, "K4", "plans");
    a.add(plans, Relation::LastChild, "K5", "second");
    a.add(a.node("K5"), Relation::Previous, "K6", "first");
    UpdateImagesOnTree(a, false);
    ASSERT_TRUE(SaveSectionTree(db, a, "VLRA", "K2").ok());
    note("VLRA", kPilcrow + " Home");
    note("1", "Recipes", "{\\rtf1\\ansi Caf\\u233?\\par}", {{"Site", "https://example.org/a.htm"}},
         "Home");
    note("2", "Zucchini", {},
         {{"Plan", "C:\\Plan.doc"}, {"", ""}, {"tab\there", "a|b;c" + kPilcrow}});
    note("3", QString::fromUtf8("\u00c4pfel"), {}, {}, "work");
    note("4", "plans");
    note("5", "second");
    note("6", "first");

    // Section B: only a root, whose record was never saved.
    NoteTree b;
    b.addTop("RVLRB", kPilcrow + QString::fromUtf8(" \u65e5\u672c \U0001F600"));
    UpdateImagesOnTree(b, false);
    ASSERT_TRUE(SaveSectionTree(db, b, "VLRB", "RVLRB").ok());

    // Section C: a chain sixty levels deep.
    NoteTree c;
    TreeNode* n = c.addTop("RVLRC", kPilcrow + " Deep");
    for (int i = 1; i <= 60; ++i) {
        n = c.add(n, Relation::LastChild, "Kd" + QString::number(i), "level " + QString::number(i));
        note("d" + QString::number(i), "level " + QString::number(i));
    }
    UpdateImagesOnTree(c, false);
    ASSERT_TRUE(SaveSectionTree(db, c, "VLRC", "Kd60").ok());

    NoteRecord stray;
    stray.Owner = "VLRA";
    stray.Title = "lost note";
    put("99999.5", stray);
    db.vmx.VmxClose(db.DbHandle);
}

QJsonObject parse(const QByteArray& json) {
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << e.errorString().toStdString();
    return doc.object();
}

} // namespace

TEST(ExportRestore, ExportShowsTheWholeNotebookAndRestoreRebuildsItExactly) {
    QTemporaryDir dir;
    const QString original = dir.filePath("original.isd");
    makeNotebook(original);

    const ToolRun first = runTool({"export", original});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const QJsonObject json = parse(first.out);

    const QJsonArray sections = json["sections"].toArray();
    ASSERT_EQ(sections.size(), 3);
    EXPECT_EQ(sections[1].toObject()["title"].toString(),
              QString::fromUtf8("\u65e5\u672c \U0001F600"));
    const QJsonObject home = sections[0].toObject();
    EXPECT_EQ(home["key"].toString(), "VLRA");
    EXPECT_EQ(home["selectedKey"].toString(), "K2");
    const QJsonObject root = home["tree"].toObject();
    EXPECT_EQ(root["key"].toString(), "RVLRA");
    EXPECT_TRUE(root["sorted"].toBool());
    const QJsonArray top = root["children"].toArray();
    ASSERT_EQ(top.size(), 2);
    const QJsonObject recipes = top[1].toObject(); // "plans" sorts before "Recipes"
    EXPECT_EQ(recipes["note"].toObject()["IndexValue"].toString(), "Home");
    const QJsonArray recipeKids = recipes["children"].toArray();
    EXPECT_EQ(recipeKids[0].toObject()["text"].toString(), QString::fromUtf8("\u00c4pfel"));
    const QJsonArray zLinks = recipeKids[1].toObject()["note"].toObject()["links"].toArray();
    ASSERT_EQ(zLinks.size(), 3);
    EXPECT_EQ(zLinks[2].toObject()["description"].toString(), "tab\there");
    EXPECT_EQ(zLinks[2].toObject()["value"].toString(), "a|b;c" + kPilcrow);
    const QJsonArray planKids = top[0].toObject()["children"].toArray();
    EXPECT_EQ(planKids[0].toObject()["key"].toString(), "K6"); // unsorted: stored order
    EXPECT_FALSE(sections[1].toObject()["tree"].toObject().contains("note"));
    EXPECT_EQ(json["sectionShownLast"].toString(), "02");
    EXPECT_EQ(json["indexValues"].toArray().toVariantList(),
              QVariantList({"Home", "work", "Work"}));
    const QJsonArray unreached = json["unreached"].toArray();
    ASSERT_EQ(unreached.size(), 1);
    EXPECT_EQ(unreached[0].toObject()["key"].toString(), "99999.5");
    EXPECT_EQ(unreached[0].toObject()["Title"].toString(), "lost note");
    int depth = 0;
    for (QJsonObject n = sections[2].toObject()["tree"].toObject(); n.contains("children");
         n = n["children"].toArray()[0].toObject())
        ++depth;
    EXPECT_EQ(depth, 60);

    const QString copy = dir.filePath("copy.isd");
    const ToolRun restored = runTool({"restore", copy}, first.out);
    ASSERT_EQ(restored.exitCode, 0) << restored.err.toStdString();
    const ToolRun second = runTool({"export", copy});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(second.out, first.out);

    // The stored records themselves match too, not only what the export shows.
    const ToolRun dumpA = runTool({"dump", original});
    const ToolRun dumpB = runTool({"dump", copy});
    EXPECT_EQ(dumpA.out, dumpB.out);
}

TEST(ExportRestore, TextOptionAddsThePlainTextOfEachBody) {
    QTemporaryDir dir;
    const QString path = dir.filePath("n.isd");
    makeNotebook(path);
    const ToolRun run = runTool({"export", "--text", path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject recipes = parse(run.out)["sections"]
                                    .toArray()[0]
                                    .toObject()["tree"]
                                    .toObject()["children"]
                                    .toArray()[1]
                                    .toObject();
    const QString text = recipes["note"].toObject()["plainText"].toString();
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Caf\u00e9"))) << text.toStdString();
}

TEST(ExportRestore, RestoreRefusesExistingDatabasesAndBadInputWithoutMakingFiles) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("existing.isd");
    makeNotebook(existing);
    const QByteArray json = runTool({"export", existing}).out;
    const ToolRun over = runTool({"restore", existing}, json);
    EXPECT_EQ(over.exitCode, 3);
    EXPECT_TRUE(over.err.contains("exists already"));

    const struct {
        QByteArray input;
        const char* says;
    } bad[] = {
        {"{not json", "malformed JSON"},
        {"[]", "notebook object"},
        {R"({"format":"Vellicar Notes notebook","version":1,"sections":[{"key":"VLR1",
            "tree":{"key":"R1","children":[{"key":"K1"},{"key":"K1"}]}}]})",
         "appears twice"},
        {R"({"format":"Vellicar Notes notebook","version":1,"indexValues":[")" +
             QByteArray(1000, 'x') + R"("]})",
         "999"},
        {R"({"format":"Vellicar Notes notebook","version":1,"sections":[{"key":"VLR1",
            "tree":{"key":"R1","note":{"links":[{"description":7}]}}}]})",
         "must be text"},
    };
    for (const auto& b : bad) {
        const QString fresh = dir.filePath("fresh.isd");
        const ToolRun run = runTool({"restore", fresh}, b.input);
        EXPECT_EQ(run.exitCode, 3) << b.input.toStdString();
        EXPECT_TRUE(run.err.contains(b.says)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(fresh));
    }
}
