#include "core/shell/settings_lists.h"

#include <gtest/gtest.h>

using namespace vellicar::shell;

TEST(DatabaseList, WritesTheDocumentedForm) {
    const QString value =
        encodeDatabaseList(2, {{QStringLiteral("C:\\N\\Home.isd"), QStringLiteral("Home")},
                               {QStringLiteral("C:\\N\\Work.isd"), QStringLiteral("Work")}});
    EXPECT_EQ(value, QStringLiteral("0213C:\\N\\Home.isd04Home13C:\\N\\Work.isd04Work"));
    const DatabaseList back = decodeDatabaseList(value);
    EXPECT_EQ(back.position, 2);
    ASSERT_EQ(back.entries.size(), 2);
    EXPECT_EQ(back.entries[1].path, QStringLiteral("C:\\N\\Work.isd"));
    EXPECT_EQ(back.entries[1].caption, QStringLiteral("Work"));
    EXPECT_FALSE(back.damaged);
}

TEST(DatabaseList, NoEntriesIsTheEmptyString) {
    EXPECT_EQ(encodeDatabaseList(1, {}), QString());
    const DatabaseList empty = decodeDatabaseList(QString());
    EXPECT_EQ(empty.position, 0);
    EXPECT_TRUE(empty.entries.isEmpty());
    EXPECT_FALSE(empty.damaged);
}

TEST(DatabaseList, EntryTooLongForItsLengthIsLeftOut) {
    const QString longPath = QStringLiteral("/") + QString(99, QLatin1Char('p'));
    const QString value = encodeDatabaseList(
        1, {{longPath, QStringLiteral("Long")}, {QStringLiteral("/a.isd"), QStringLiteral("a")}});
    EXPECT_EQ(value, QStringLiteral("0106/a.isd01a"));
}

TEST(DatabaseList, LengthsCountCharactersNotBytes) {
    const QString caption = QStringLiteral("Notizen \u00fc \U0001F600");
    const QString value = encodeDatabaseList(1, {{QStringLiteral("/n.isd"), caption}});
    EXPECT_TRUE(value.contains(QStringLiteral("11Notizen")));
    const DatabaseList back = decodeDatabaseList(value);
    ASSERT_EQ(back.entries.size(), 1);
    EXPECT_EQ(back.entries[0].caption, caption);
}

struct MalformedCase {
    const char* value;
    int position;
    int entries;
};

class MalformedDatabaseList : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDatabaseList, KeepsWhatIsSoundAndStops) {
    const MalformedCase c = GetParam();
    const DatabaseList list = decodeDatabaseList(QString::fromUtf8(c.value));
    EXPECT_TRUE(list.damaged);
    EXPECT_EQ(list.position, c.position);
    EXPECT_EQ(list.entries.size(), c.entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedDatabaseList,
    ::testing::Values(MalformedCase{"x1", 0, 0},                       // position not digits
                      MalformedCase{"0", 0, 0},                        // position cut short
                      MalformedCase{"0199/a.isd", 1, 0},               // path runs past the end
                      MalformedCase{"0106/a.isd01a06/b.isd9", 1, 1},   // second caption length cut
                      MalformedCase{"0106/a.isd01a0x/b.isd01b", 1, 1}, // non-digit length
                      MalformedCase{"0106/a.isd", 1, 0},               // caption missing
                      MalformedCase{"01-1/a.isd01a", 1, 0}));          // sign in a length

TEST(RunOpenList, RoundTripsAndSkipsEmptyEntries) {
    const RunOpenList list =
        decodeRunOpenList(QStringLiteral("05notes00") + QStringLiteral("19https://example.org"));
    EXPECT_EQ(list.entries,
              QStringList({QStringLiteral("notes"), QStringLiteral("https://example.org")}));
    EXPECT_FALSE(list.damaged);
    EXPECT_EQ(encodeRunOpenList(list.entries), QStringLiteral("05notes19https://example.org"));
}

TEST(RunOpenList, KeepsTheFirstTwentyFive) {
    QStringList entries;
    for (int i = 1; i <= 30; ++i)
        entries.append(QStringLiteral("e%1").arg(i, 2, 10, QLatin1Char('0')));
    const RunOpenList back = decodeRunOpenList(encodeRunOpenList(entries));
    ASSERT_EQ(back.entries.size(), 25);
    EXPECT_EQ(back.entries.front(), QStringLiteral("e01"));
    EXPECT_EQ(back.entries.back(), QStringLiteral("e25"));
}

TEST(RunOpenList, DamagedTailIsDropped) {
    const RunOpenList list = decodeRunOpenList(QStringLiteral("03abc50short"));
    EXPECT_EQ(list.entries, QStringList({QStringLiteral("abc")}));
    EXPECT_TRUE(list.damaged);
    EXPECT_EQ(decodeRunOpenList(QStringLiteral("ab")).entries.size(), 0);
}

TEST(WholeNumbers, ZeroIsWrittenEmptyAndReadBackWithAFallback) {
    EXPECT_EQ(formatWhole(0), QString());
    EXPECT_EQ(formatWhole(9690), QStringLiteral("9690"));
    EXPECT_EQ(formatWhole(-15), QStringLiteral("-15"));
    EXPECT_EQ(readWhole(QString(), 7), 7);
    EXPECT_EQ(readWhole(QStringLiteral(" 3545 "), 7), 3545);
    EXPECT_EQ(readWhole(QStringLiteral("12ab"), 7), 7);
}
