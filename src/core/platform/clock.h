#pragma once
// The current date and time, replaceable in tests so keys, stamps and "today"
// are predictable.
#include <QtCore/QDateTime>
#include <functional>

namespace vellicar::platform {

struct Clock {
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

} // namespace vellicar::platform
