#pragma once
// Date conventions of the notebook: Date numbers (serial day numbers, stored
// in Created and Modified) and date texts (the locale's long date without
// its weekday, stored in DueDate and shown to the user).
#include <QtCore/QDate>
#include <QtCore/QDateTime>
#include <QtCore/QLocale>
#include <QtCore/QString>
#include <optional>

namespace vellicar::store {

// Days since 30 December 1899 with the time of day as the fraction.
double serialDayNumber(const QDateTime& when);
QDateTime fromSerialDayNumber(double days);

// "########.#######": no leading zeros, at most seven decimals, trailing
// zeros dropped, a bare point when none remain. Noon of 1 Jan 1900 -> "2.5",
// its midnight -> "2.".
QString DateNumber(const QDateTime& when);
// Reads a Date number (or any serial day number text, e.g. a clock key) by
// its numeric value. nullopt for text that is not a number or out of range.
std::optional<QDateTime> readDateNumber(const QString& text);

// Drops the weekday from a long date: "Tuesday, March 14, 2000" -> "March 14,
// 2000"; a text without a weekday comes back unchanged; "" stays "".
QString StripWeekday(const QString& s);

// The date text of `date`: the locale's long date through StripWeekday.
QString DateText(const QDate& date, const QLocale& locale = QLocale());

// Reads a date the way users write it: date texts, long dates with or
// without weekday, the locale's short date, ISO dates (2000-03-14), month
// names (locale's or English, full or short, any case). Two-digit years are
// 1930-2029. nullopt when the text is not a date.
std::optional<QDate> readDate(const QString& text, const QLocale& locale = QLocale());

} // namespace vellicar::store
