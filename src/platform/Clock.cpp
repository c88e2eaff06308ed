#include "platform/Clock.h"

namespace ql {

std::optional<QDateTime> Clock::s_fixed;

QDateTime Clock::now()
{
    return s_fixed ? *s_fixed : QDateTime::currentDateTime();
}

void Clock::set(const QDateTime &moment)
{
    s_fixed = moment;
}

void Clock::reset()
{
    s_fixed.reset();
}

} // namespace ql
