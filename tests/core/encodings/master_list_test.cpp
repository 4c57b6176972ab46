#include "core/attributes/master_list.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace vellicar::attributes;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

TEST(MasterList, WritesAndReadsInCaseInsensitiveListOrder) {
    QStringList list;
    for (const char* v : {"Work", "home", "Home", "apple", "work"})
        EXPECT_TRUE(addIndexValue(list, v)) << v;
    EXPECT_FALSE(addIndexValue(list, "Work")); // exact duplicate
    EXPECT_FALSE(addIndexValue(list, ""));
    EXPECT_EQ(list, QStringList({"apple", "home", "Home", "Work", "work"}));

    const MasterListWrite w = writeMasterList(list);
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(w.text, "005apple004home004Home004Work004work");
    const MasterListRead r = readMasterList(w.text);
    EXPECT_FALSE(r.damaged());
    EXPECT_EQ(r.entries, list);

    // Stored out of order (written elsewhere), shown in list order.
    EXPECT_EQ(readMasterList("004Work004Home").entries, QStringList({"Home", "Work"}));
}

TEST(MasterList, EmptyFormsAndLimits) {
    EXPECT_TRUE(writeMasterList({}).text.isEmpty());
    EXPECT_TRUE(writeMasterList({""}).text.isEmpty()); // one empty entry is the empty list
    EXPECT_EQ(writeMasterList({"", "a"}).text, "000001a");
    EXPECT_TRUE(readMasterList("").entries.isEmpty());

    const QString longest = QString::fromUtf8("\u00e9\U0001F600").repeated(499) + "x";
    const MasterListWrite w = writeMasterList({"12 digits first", longest});
    ASSERT_TRUE(w.ok());
    EXPECT_TRUE(w.text.contains("999" + longest));
    EXPECT_EQ(readMasterList(w.text).entries, QStringList({"12 digits first", longest}));

    const MasterListWrite refused = writeMasterList({"ok", QString(1000, QChar('x'))});
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.text.isEmpty());
}

TEST(MasterList, MalformedTextEndsReadingWithoutLosingWhatWasRead) {
    const struct {
        const char* stored;
        QStringList entries;
    } cases[] = {
        {"004Home00xWork", {"Home"}}, {"004Home010Wo", {"Home", "Wo"}},
        {"004Home01", {"Home"}},      {"abc", {}},
        {"004Home000", {"", "Home"}},
    };
    for (const auto& c : cases) {
        const MasterListRead r = readMasterList(QString::fromLatin1(c.stored));
        EXPECT_EQ(r.entries, c.entries) << c.stored;
        EXPECT_EQ(r.damaged(), QString::fromLatin1(c.stored) != "004Home000") << c.stored;
    }
}
