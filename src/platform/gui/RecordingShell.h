#pragma once

#include "platform/gui/Shell.h"

#include <vector>

namespace ql {

// The shell for tests: records every hand-off and launches nothing.
class RecordingShell final : public Shell
{
public:
    enum class Verb { Open, Explore };

    struct Call
    {
        Verb verb;
        QString target;

        bool operator==(const Call &other) const { return verb == other.verb && target == other.target; }
    };

    bool open(const QString &target) override;
    bool explore(const QString &folder) override;

    const std::vector<Call> &calls() const { return m_calls; }
    void clear() { m_calls.clear(); }
    // What open() and explore() report back (the desktop took the hand-off, or not).
    void setResult(bool result) { m_result = result; }

private:
    std::vector<Call> m_calls;
    bool m_result = true;
};

} // namespace ql
