#pragma once

#include <QDateTime>
#include <optional>

namespace ql {

// "Today" and "now" come from here, so tests can set the time.
class Clock
{
public:
    static QDateTime now();
    static QDate today() { return now().date(); }

    // Fixes the clock at `moment` until reset() (tests only).
    static void set(const QDateTime &moment);
    static void reset();

private:
    static std::optional<QDateTime> s_fixed;
};

} // namespace ql
