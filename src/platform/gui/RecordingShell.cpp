#include "platform/gui/RecordingShell.h"

namespace ql {

bool RecordingShell::open(const QString &target)
{
    m_calls.push_back({ Verb::Open, target });
    return m_result;
}

bool RecordingShell::explore(const QString &folder)
{
    m_calls.push_back({ Verb::Explore, folder });
    return m_result;
}

} // namespace ql
