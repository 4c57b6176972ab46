// The section list in the "Sections" record: writing, reading and damage.
#include "core/store/section_list.h"

#include <gtest/gtest.h>

using namespace vellicar::store;

namespace {
const QString Bulb = QString::fromUtf8("\xF0\x9F\x92\xA1"); // one code point, two UTF-16 units
}

TEST(SectionList, WritesTabsInOrderAndReadsThemBack) {
    const QList<SectionEntry> tabs = {{QStringLiteral("VLR1A2F"), QStringLiteral("Home")},
                                      {QStringLiteral("VLR1A30"), QStringLiteral("Work Items")}};
    const SectionListWrite written = writeSectionList(tabs);
    ASSERT_TRUE(written.ok()) << written.error.toStdString();
    EXPECT_EQ(written.text, QStringLiteral("07VLR1A2F04Home07VLR1A3010Work Items"));
    const SectionListRead read = readSectionList(written.text);
    EXPECT_FALSE(read.damaged());
    EXPECT_EQ(read.entries, tabs);
}

TEST(SectionList, LengthsCountCodePoints) {
    const QString caption = QStringLiteral("Ideas ") + Bulb + QString::fromUtf8("\xC3\xA9");
    const SectionListWrite written = writeSectionList({{QStringLiteral("VLR1"), caption}});
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.text, QStringLiteral("04VLR108") + caption);
    const SectionListRead read = readSectionList(written.text + QStringLiteral("04VLR202ok"));
    EXPECT_FALSE(read.damaged());
    ASSERT_EQ(read.entries.size(), 2);
    EXPECT_EQ(read.entries[0].caption, caption);
    EXPECT_EQ(read.entries[1].key, QStringLiteral("VLR2"));
    EXPECT_EQ(read.entries[1].caption, QStringLiteral("ok"));
}

TEST(SectionList, CurrentTabMarkerIsNotStored) {
    const QString pilcrow{QChar(CurrentTabMarkerChar)};
    const SectionListWrite written =
        writeSectionList({{QStringLiteral("VLR1"), pilcrow + QStringLiteral(" Home")},
                          {QStringLiteral("VLR2"), pilcrow + QStringLiteral("XWork")},
                          {QStringLiteral("VLR3"), QStringLiteral("Plain")}});
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.text, QStringLiteral("04VLR104Home04VLR204Work04VLR305Plain"));
}

TEST(SectionList, WriterRefusesWhatDoesNotFitRatherThanBreakingTheList) {
    const QString key99 = QStringLiteral("VLR") + QString(96, QLatin1Char('A'));
    const QString caption99 = QString(98, QLatin1Char('c')) + Bulb; // 99 code points
    const SectionListWrite fits = writeSectionList({{key99, caption99}});
    ASSERT_TRUE(fits.ok());
    EXPECT_EQ(readSectionList(fits.text).entries, (QList<SectionEntry>{{key99, caption99}}));

    const QList<SectionEntry> refused[] = {
        {{QStringLiteral("VLR1"), QString(100, QLatin1Char('c'))}},
        {{QStringLiteral("VLR1"), QStringLiteral("ok")},
         {key99 + QLatin1Char('A'), QStringLiteral("x")}},
        {{QString(), QStringLiteral("No key")}},
    };
    for (const auto& entries : refused) {
        const SectionListWrite w = writeSectionList(entries);
        EXPECT_FALSE(w.ok());
        EXPECT_TRUE(w.text.isEmpty());
    }
    EXPECT_TRUE(writeSectionList({{QStringLiteral("VLR1"), QString(100, QLatin1Char('c'))}})
                    .error.contains(QStringLiteral("longer than 99")));
}

TEST(SectionList, EmptyTextHasNoEntriesAndNoDamage) {
    const SectionListRead read = readSectionList(QString());
    EXPECT_TRUE(read.entries.isEmpty());
    EXPECT_FALSE(read.damaged());
}

TEST(SectionList, MalformedTextKeepsWhatWasReadAndReportsDamage) {
    struct Case {
        QString text;
        int entriesKept;
    };
    const Case cases[] = {
        {QStringLiteral("0"), 0},
        {QStringLiteral("7VLR1"), 0},
        {QStringLiteral("xx"), 0},
        {QStringLiteral("07VLR"), 0},
        {QStringLiteral("07VLR1A2F"), 0},
        {QStringLiteral("07VLR1A2F0"), 0},
        {QStringLiteral("07VLR1A2F04Hom"), 0},
        {QStringLiteral("99"), 0},
        {QStringLiteral("07VLR1A2F04Home07VLR1A30"), 1},
        {QStringLiteral("07VLR1A2F04Home0"), 1},
        {QStringLiteral("04VLR102ab04VLR2-1x"), 1},
        {QStringLiteral("04VLR102ab00") + QStringLiteral("02cd04VLR302ef"), 2},
    };
    for (const Case& c : cases) {
        const SectionListRead read = readSectionList(c.text);
        EXPECT_TRUE(read.damaged()) << c.text.toStdString();
        EXPECT_EQ(read.entries.size(), c.entriesKept) << c.text.toStdString();
    }
    const SectionListRead kept = readSectionList(QStringLiteral("07VLR1A2F04Home07VLR1A30"));
    ASSERT_EQ(kept.entries.size(), 1);
    EXPECT_EQ(kept.entries[0], (SectionEntry{QStringLiteral("VLR1A2F"), QStringLiteral("Home")}));
}

TEST(SectionList, LoneSurrogateCountsAsOneCharacter) {
    const QString lone{QChar(0xD83D)}; // high surrogate with nothing after it
    const SectionListRead read =
        readSectionList(QStringLiteral("04VLR101") + lone + QStringLiteral("04VLR201z"));
    EXPECT_FALSE(read.damaged());
    ASSERT_EQ(read.entries.size(), 2);
    EXPECT_EQ(read.entries[0].caption, lone);
    EXPECT_EQ(codePointCount(lone + Bulb), 2);
}
