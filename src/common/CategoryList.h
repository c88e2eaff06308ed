#pragma once

#include <QStringList>
#include <utility>

namespace ql {

// The one list of category names for every task list, in the order the user gave them. The program
// creates it at start-up and hands it to the windows that use it: the Categories dialog loads it
// from the settings file and edits it (an edit counts at once, saved or not), a new list's quick-add
// box copies it, and the grid's Category column offers it.
class CategoryList final
{
public:
    const QStringList &Lines() const { return m_lines; }
    void SetLines(QStringList lines) { m_lines = std::move(lines); }

private:
    QStringList m_lines;
};

} // namespace ql
