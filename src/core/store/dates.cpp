#include "core/store/dates.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>
#include <cmath>

namespace vellicar::store {

namespace {
const QDate& epoch() {
    static const QDate day0(1899, 12, 30);
    return day0;
}
constexpr double MsPerDay = 86400000.0;
// Keeps QDate arithmetic well inside its range (about years -6000 to 10000).
constexpr double MaxAbsDays = 3.0e6;
} // namespace

double serialDayNumber(const QDateTime& when) {
    const double days = static_cast<double>(epoch().daysTo(when.date()));
    return days + when.time().msecsSinceStartOfDay() / MsPerDay;
}

QDateTime fromSerialDayNumber(double days) {
    if (!std::isfinite(days) || std::fabs(days) > MaxAbsDays)
        return {};
    double whole = std::floor(days);
    auto ms = static_cast<qint64>(std::llround((days - whole) * MsPerDay));
    if (ms >= static_cast<qint64>(MsPerDay)) {
        whole += 1;
        ms = 0;
    }
    const QDate date = epoch().addDays(static_cast<qint64>(whole));
    const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
    QDateTime when(date, time);
    // A wall-clock time skipped by a daylight-saving change still names that
    // day: take the first valid time after it rather than no date at all.
    for (int hour = 1; !when.isValid() && hour <= 3; ++hour)
        when = QDateTime(date, time.addSecs(3600 * hour));
    return when;
}

QString DateNumber(const QDateTime& when) {
    QString text = QString::number(serialDayNumber(when), 'f', 7);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    // A value that rounds to zero below the epoch would read "-0."
    if (text == QLatin1String("-0."))
        text = QStringLiteral("0.");
    return text;
}

std::optional<QDateTime> readDateNumber(const QString& text) {
    QString t = text.trimmed();
    // Numbers written under a locale with a decimal comma read the same.
    if (!t.contains(QLatin1Char('.')) && t.count(QLatin1Char(',')) == 1)
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    QDateTime dt = fromSerialDayNumber(value);
    if (!dt.isValid())
        return std::nullopt;
    return dt;
}

QString StripWeekday(const QString& s) {
    qsizetype p = s.indexOf(QLatin1Char(',')); // 0-based; the 1-based position is p + 1
    if (p < 0)
        p = s.indexOf(QLatin1Char(' '));
    const qsizetype after = p + 1; // characters up to and including position p
    const QString rest = s.mid(after);
    if (rest.contains(QLatin1Char(',')))
        return s.mid(after + 1);
    if (rest.contains(QLatin1Char('.'))) {
        QString out = rest;
        out[out.indexOf(QLatin1Char('.'))] = QLatin1Char(' ');
        return out;
    }
    return s;
}

QString DateText(const QDate& date, const QLocale& locale) {
    return StripWeekday(locale.toString(date, QLocale::LongFormat));
}

namespace {

QString dotsToSpaces(QString s) {
    return s.replace(QLatin1Char('.'), QLatin1Char(' ')).simplified();
}

// The locale's format without its weekday part ("dddd, " or trailing "dddd").
QString withoutWeekday(const QString& format) {
    static const QRegularExpression weekday(QStringLiteral("(^|[^d])d{3,4}(?!d)[,.\\s]*"));
    QString out = format;
    out.replace(weekday, QStringLiteral("\\1"));
    return out.trimmed();
}

QStringList candidateFormats(const QLocale& locale) {
    QStringList formats;
    auto add = [&formats](const QString& f) {
        if (!f.isEmpty() && !formats.contains(f))
            formats.append(f);
    };
    const QLocale::FormatType types[] = {QLocale::ShortFormat, QLocale::LongFormat,
                                         QLocale::NarrowFormat};
    for (const QLocale::FormatType type : types) {
        const QString f = locale.dateFormat(type);
        const QString bare = withoutWeekday(f);
        add(f);
        add(bare);
        add(dotsToSpaces(bare));
        // Users type four-digit years into a short date with two.
        if (bare.contains(QLatin1String("yy")) && !bare.contains(QLatin1String("yyyy"))) {
            QString four = bare;
            four.replace(QLatin1String("yy"), QLatin1String("yyyy"));
            add(four);
        }
    }
    const char* const fixed[] = {"yyyy-MM-dd",  "yyyy-M-d",    "yyyy/M/d",     "MMMM d, yyyy",
                                 "MMMM d yyyy", "d MMMM yyyy", "d MMMM, yyyy", "MMM d, yyyy",
                                 "MMM d yyyy",  "d MMM yyyy",  "d-MMM-yyyy",   "d MMM, yyyy"};
    for (const char* f : fixed)
        add(QString::fromLatin1(f));
    return formats;
}

// The text with a leading weekday name (long or short, the locale's or
// English) and its punctuation removed; the text itself when it has none.
QString dropLeadingWeekday(const QString& s, const QLocale& locale) {
    const QLocale locales[] = {locale, QLocale::c()};
    for (const QLocale& l : locales) {
        for (int day = 1; day <= 7; ++day) {
            const QString names[] = {l.dayName(day, QLocale::LongFormat),
                                     l.dayName(day, QLocale::ShortFormat)};
            for (const QString& name : names) {
                if (name.isEmpty() || !s.startsWith(name, Qt::CaseInsensitive))
                    continue;
                qsizetype i = name.size();
                if (i < s.size() && s.at(i).isLetter())
                    continue; // a longer word, not this weekday
                while (i < s.size() && (s.at(i).isSpace() || s.at(i) == QLatin1Char(',') ||
                                        s.at(i) == QLatin1Char('.')))
                    ++i;
                if (i > name.size() || i == s.size())
                    return s.mid(i);
            }
        }
    }
    return s;
}

QDate fixTwoDigitYear(QDate date, const QString& format) {
    if (format.contains(QLatin1String("yyyy")) || !format.contains(QLatin1String("yy")))
        return date;
    if (date.year() >= 1900 && date.year() < 1930)
        return date.addYears(100);
    return date;
}

} // namespace

std::optional<QDate> readDate(const QString& text, const QLocale& locale) {
    const QString simple = text.simplified();
    if (simple.isEmpty())
        return std::nullopt;
    QStringList inputs;
    auto addInput = [&inputs](const QString& s) {
        if (!s.isEmpty() && !inputs.contains(s))
            inputs.append(s);
    };
    const QString bare = dropLeadingWeekday(simple, locale);
    addInput(simple);
    addInput(bare);
    addInput(dotsToSpaces(simple));
    addInput(dotsToSpaces(bare));

    const QDate iso = QDate::fromString(bare, Qt::ISODate);
    if (iso.isValid())
        return iso;

    const QStringList formats = candidateFormats(locale);
    const QLocale parsers[] = {locale, QLocale::c()};
    for (const QString& input : inputs) {
        for (const QString& format : formats) {
            for (const QLocale& parser : parsers) {
                const QDate d = parser.toDate(input, format);
                if (d.isValid())
                    return fixTwoDigitYear(d, format);
            }
        }
    }
    return std::nullopt;
}

} // namespace vellicar::store
