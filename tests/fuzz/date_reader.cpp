// Any text through the date readers: no crash, and a date that was read
// reads back the same from its own date text.
#include "core/store/dates.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::store;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    if (const auto date = readDate(text, us)) {
        if (!date->isValid())
            std::abort();
        if (date->year() < 100 || date->year() > 9999)
            return 0;
        const auto again = readDate(DateText(*date, us), us);
        if (!again || *again != *date)
            std::abort();
    }
    (void)StripWeekday(text);
    if (const auto when = readDateNumber(text)) {
        if (!when->isValid() || !readDateNumber(DateNumber(*when)))
            std::abort();
    }
    return 0;
}
