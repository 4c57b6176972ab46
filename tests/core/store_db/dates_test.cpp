// Date numbers, date texts and the lenient date reader.
#include "core/store/dates.h"

#include <ctime>
#include <gtest/gtest.h>

using namespace vellicar::store;

namespace {
const QLocale US(QLocale::English, QLocale::UnitedStates);

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}
} // namespace

TEST(DateNumber, FormatsSerialDays) {
    struct Case {
        QDateTime when;
        const char* text;
    };
    const Case cases[] = {
        {at(1900, 1, 1, 12), "2.5"},
        {at(1900, 1, 1), "2."},
        {at(1900, 1, 1, 6), "2.25"},
        {at(1899, 12, 30), "0."},
        {at(1899, 12, 29), "-1."},
        {at(2000, 3, 14, 18), "36599.75"},
        {at(2000, 3, 14, 0, 0, 1), "36599.0000116"},  // seven decimals at most, rounded
        {at(2000, 3, 14, 23, 59, 59, 999), "36600."}, // rounds up into the next day
        {at(2024, 2, 29, 8, 15), "45351.34375"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateNumber(c.when), QString::fromLatin1(c.text)) << c.text;
}

TEST(DateNumber, ReaderTakesTheNumericValue) {
    struct Case {
        const char* text;
        QDateTime expected;
    };
    const Case cases[] = {
        {"2.5", at(1900, 1, 1, 12)},
        {"2.", at(1900, 1, 1)},
        {"2", at(1900, 1, 1)},
        {"2.25", at(1900, 1, 1, 6)},
        {" 36599.75 ", at(2000, 3, 14, 18)},
        {"36599,75", at(2000, 3, 14, 18)},
        {"36599.5208333333", at(2000, 3, 14, 12, 30)},
    };
    for (const Case& c : cases) {
        const auto read = readDateNumber(QString::fromLatin1(c.text));
        ASSERT_TRUE(read.has_value()) << c.text;
        EXPECT_EQ(*read, c.expected) << c.text;
    }
    for (const char* bad : {"", "  ", "abc", "2.5x", "1e300", "nan", "inf", "1.2.3"})
        EXPECT_FALSE(readDateNumber(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(DateNumber, RoundTripsWithinItsPrecision) {
    // Seven decimals of a day are 8.64 ms.
    for (const QDateTime& when : {at(1995, 7, 4, 23, 59, 58), at(2000, 1, 1, 0, 0, 1),
                                  at(2038, 1, 19, 3, 14, 7), at(1901, 6, 30, 13, 1, 59)}) {
        const auto back = readDateNumber(DateNumber(when));
        ASSERT_TRUE(back.has_value());
        EXPECT_LE(std::abs(back->msecsTo(when)), 5) << DateNumber(when).toStdString();
    }
}

TEST(StripWeekday, DropsTheWeekdayOfALongDate) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"", ""},
        {"March 14, 2000", "March 14, 2000"},
        {"Tuesday, March 14, 2000", "March 14, 2000"},
        {"Tuesday March 14 2000", "Tuesday March 14 2000"},   // no comma after the weekday
        {"Tuesday March 14, 2000", "Tuesday March 14, 2000"}, // the comma marks the year
        {"Dienstag, 14. M\xC3\xA4rz 2000", " 14  M\xC3\xA4rz 2000"},
        {"mardi 14 mars 2000", "mardi 14 mars 2000"},
        {"2000", "2000"},
        {",", ","},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StripWeekday(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(DateText, IsTheLongDateWithoutWeekday) {
    EXPECT_EQ(DateText(QDate(2000, 3, 14), US), QStringLiteral("March 14, 2000"));
    EXPECT_EQ(DateText(QDate(2024, 12, 1), US), QStringLiteral("December 1, 2024"));
}

TEST(ReadDate, AcceptsWhatUsersWrite) {
    struct Case {
        const char* text;
        QDate expected;
    };
    const QDate d(2000, 3, 14);
    const Case cases[] = {
        {"March 14, 2000", d},
        {"Tuesday, March 14, 2000", d},
        {"tuesday march 14 2000", d},
        {"Tue, Mar 14, 2000", d},
        {"  MARCH   14,  2000 ", d},
        {"3/14/00", d},
        {"3/14/2000", d},
        {"03/14/2000", d},
        {"2000-03-14", d},
        {"14 March 2000", d},
        {"14 Mar 2000", d},
        {"mar 14 2000", d},
        {"1/2/29", QDate(2029, 1, 2)},
        {"1/2/30", QDate(1930, 1, 2)},
    };
    for (const Case& c : cases) {
        const auto read = readDate(QString::fromLatin1(c.text), US);
        ASSERT_TRUE(read.has_value()) << c.text;
        EXPECT_EQ(*read, c.expected) << c.text;
    }
}

TEST(ReadDate, RefusesWhatIsNotADate) {
    for (const char* bad :
         {"", "   ", "hello", "February 30, 2000", "13/45/2000", "March", "2000-13-01", "Tuesday"})
        EXPECT_FALSE(readDate(QString::fromLatin1(bad), US).has_value()) << bad;
}

TEST(ReadDate, ReadsBackTheDateTextsOfSeveralLocales) {
    const QLocale locales[] = {US,
                               QLocale(QLocale::English, QLocale::UnitedKingdom),
                               QLocale(QLocale::German, QLocale::Germany),
                               QLocale(QLocale::French, QLocale::France),
                               QLocale(QLocale::Spanish, QLocale::Spain),
                               QLocale(QLocale::Japanese, QLocale::Japan)};
    const QDate dates[] = {QDate(2000, 3, 14), QDate(1999, 12, 31), QDate(2024, 2, 29),
                           QDate(2029, 7, 1)}; // short dates carry two-digit years
    for (const QLocale& locale : locales) {
        for (const QDate& date : dates) {
            const QString text = DateText(date, locale);
            const auto read = readDate(text, locale);
            ASSERT_TRUE(read.has_value())
                << locale.name().toStdString() << ": " << text.toStdString();
            EXPECT_EQ(*read, date) << locale.name().toStdString() << ": " << text.toStdString();
            const auto shortRead = readDate(locale.toString(date, QLocale::ShortFormat), locale);
            ASSERT_TRUE(shortRead.has_value()) << locale.name().toStdString();
            EXPECT_EQ(*shortRead, date) << locale.name().toStdString();
        }
    }
}

TEST(DateNumber, TimeSkippedByDaylightSavingStillReadsAsThatDay) {
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "America/New_York");
    tzset();
    // 2:30 on 12 March 2023 did not happen in New York (clocks went 2:00 -> 3:00).
    const auto when = readDateNumber(QStringLiteral("44997.1041667"));
    if (oldTz.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    ASSERT_TRUE(when.has_value());
    EXPECT_EQ(when->date(), QDate(2023, 3, 12));
    EXPECT_GE(when->time(), QTime(3, 0));
}
