#include "core/links/link_blob.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace vellicar::links;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vellicar::links {
inline void PrintTo(const Link& l, std::ostream* os) {
    *os << "{" << l.description.toStdString() << " | " << l.value.toStdString() << "}";
}
} // namespace vellicar::links

TEST(LinkBlob, WritesTheDocumentedFormAndReadsItBack) {
    const QList<Link> links{{"Plan", "C:\\Plan.doc"}, {"", ""}};
    const LinkBlobWrite w = writeLinkBlob(links);
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(w.blob, "004Plan011C:\\Plan.doc000000");
    const LinkBlobRead r = readLinkBlob(w.blob);
    EXPECT_FALSE(r.damaged());
    EXPECT_EQ(r.links, links);
    EXPECT_TRUE(writeLinkBlob({}).blob.isEmpty());
    EXPECT_TRUE(readLinkBlob("").links.isEmpty());
}

TEST(LinkBlob, AnyTextSurvivesUpToTheLimit) {
    const QString pilcrow(QChar(0x00B6));
    const QList<Link> links{
        {QString(999, QChar('d')), "v"},
        {"123 starts with digits", "a\tb|c;d" + pilcrow + "e"},
        {QString::fromUtf8("\U0001F4C5 Termine \u65e5\u672c"),
         QString::fromUtf8("\U0001F600").repeated(999)},
    };
    const LinkBlobWrite w = writeLinkBlob(links);
    ASSERT_TRUE(w.ok()) << w.error.toStdString();
    EXPECT_TRUE(w.blob.startsWith("999ddd"));
    EXPECT_TRUE(w.blob.contains("999" + QString::fromUtf8("\U0001F600")));
    const LinkBlobRead r = readLinkBlob(w.blob);
    EXPECT_FALSE(r.damaged());
    EXPECT_EQ(r.links, links);
}

TEST(LinkBlob, RefusesAFieldLongerThanItsLengthField) {
    for (const Link& l : {Link{QString(1000, QChar('x')), "v"},
                          Link{"d", QString::fromUtf8("\U0001F600").repeated(1000)}}) {
        const LinkBlobWrite w = writeLinkBlob({{"ok", "fine"}, l});
        EXPECT_FALSE(w.ok());
        EXPECT_TRUE(w.blob.isEmpty());
    }
}

TEST(LinkBlob, MalformedTextEndsReadingAndKeepsThePartialLink) {
    struct Case {
        const char* blob;
        QList<Link> links;
        bool damaged;
    };
    const Case cases[] = {
        {"xyzABC003val", {{"", ""}, {"val", ""}}, true}, // not a number counts as 0
        {"004Plan", {{"Plan", ""}}, true},               // the value's length is missing
        {"004Plan01", {{"Plan", "01"}}, true},           // a short length field
        {"004Plan009C:\\x", {{"Plan", "C:\\x"}}, true},  // the value runs past the end
        {"010Pl", {{"Pl", ""}}, true},                   // the description runs past the end
        {"00", {{"00", ""}}, true},
        {"999", {{"", ""}}, true},
    };
    for (const Case& c : cases) {
        const LinkBlobRead r = readLinkBlob(QString::fromLatin1(c.blob));
        EXPECT_EQ(r.links, c.links) << c.blob;
        EXPECT_EQ(r.damaged(), c.damaged) << c.blob;
    }
}

TEST(WhichIcon, FirstMatchingTestDecidesIgnoringCase) {
    const QString pilcrow(QChar(0x00B6));
    const struct {
        QString value;
        int icon;
    } cases[] = {
        {"Inbox" + pilcrow + "0001", 14},
        {"MAILTO:someone@example.org", 24},
        {"https://example.org/page.htm", 6},
        {"C:\\Windows\\EXPLORER.EXE /n,/e,C:\\Data", 23},
        {"budget.XLS", 30},
        {"stock.mdb", 33},
        {"logo.Gif", 29},
        {"favicon.ico", 29},
        {"page.htm", 28},
        {"notes.txt", 27},
        {"letter.doc", 5},
        {"old.WRI", 5},
        {"setup.exe", 25},
        {"report.DOC.EXE", 5},
        {"/home/me/folder", 26},
        {"", 26},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WhichIcon(c.value), c.icon) << c.value.toStdString();
}
