// Building a filtered view in steps: the rows are tested a slice at a time while the table keeps
// showing the view it has, and the new view is put in place at the end in one step. The rows that
// change meanwhile are followed, so the result is the view that filtering at the end would give.

#include "storage/ClientTable.h"

#include "platform/SystemFormats.h"
#include "storage/ClientTableOrder.h"
#include "storage/FilterExpr.h"
#include "storage/RowSequence.h"

#include <algorithm>

namespace ql {

namespace {

// Tells a filter build that a newer one, or a change of the table, went past it.
std::atomic<quint64> nextFilterBuildTicket { 1 };

} // namespace

// A view being built: the filter, the rows it tests and which of them pass. Rows are tested by id,
// not by position, so a change of order or of the view in place while it runs leaves what was
// tested valid.
class ClientTable::FilterBuild
{
public:
    quint64 ticket = 0;
    QString expression;
    std::unique_ptr<FilterExpr> filter; // none: every row passes
    // Narrowing: the rows in view when the build began, which alone can pass; otherwise every row
    // whose id is below idSpan.
    bool narrowing = false;
    std::vector<int> candidates;
    size_t idSpan = 0;
    size_t next = 0; // the next candidate (narrowing) or row id to test
    std::vector<char> passes; // by row id
    bool tested = false;
    // The ids of one step, kept from step to step so that a step allocates nothing.
    std::vector<int> ids;
};

void ClientTable::dropFilterBuild()
{
    m_filterBuildTicket = 0;
    m_changedSinceFilterBuild.clear();
}

void ClientTable::noteRowChanged(int rowId)
{
    if (m_filterBuildTicket != 0)
        m_changedSinceFilterBuild.push_back(rowId);
}

// Marks in `passes` the rows of `ids` that pass `filter`. Each row's values live in an allocation of
// their own: on a large list the walk waits on memory, so the values the filter reads are fetched
// some rows ahead, and, nearer, the characters of those that are texts.
void ClientTable::testFilterRows(
    const FilterExpr *filter, const std::vector<int> &ids, std::vector<char> &passes) const
{
    if (!filter) {
        for (int id : ids)
            passes[size_t(id)] = 1;
        return;
    }
    const std::vector<int> &fields = filter->fieldsRead();
    constexpr size_t ValuesAhead = 8;
    constexpr size_t TextsAhead = 4;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i + ValuesAhead < ids.size()) {
            const Value *values = rowValues(ids[i + ValuesAhead]).data();
            for (int f : fields)
                __builtin_prefetch(values + f);
        }
        if (i + TextsAhead < ids.size()) {
            const Value *values = rowValues(ids[i + TextsAhead]).data();
            for (int f : fields)
                if (values[f].kind() == Value::Kind::Text)
                    __builtin_prefetch(values[f].textView().data());
        }
        passes[size_t(ids[i])] = filter->matches(rowValues(ids[i])) ? 1 : 0;
    }
}

std::shared_ptr<ClientTable::FilterBuild> ClientTable::BeginFilterBuild(const QString &expression)
{
    requireActive();
    endPendingImplicitly();
    auto build = std::make_shared<FilterBuild>();
    if (!expression.trimmed().isEmpty())
        build->filter = FilterExpr::parse(expression, m_data.fields, SystemFormats::current());
    build->expression = expression;
    build->ticket = nextFilterBuildTicket++;
    // As SetFilter narrows: every row that passes the filter in place is in view, so an expression
    // that only narrows it need test no other row. The same text again is filtered afresh.
    build->narrowing = m_filtered && expression != m_filterText && build->filter && m_filter
        && build->filter->narrows(*m_filter);
    if (build->narrowing) {
        build->candidates.reserve(size_t(m_view.size()));
        m_view.forEach([&](int id) { build->candidates.push_back(id); });
    } else {
        build->idSpan = m_rows.size();
    }
    build->passes.assign(m_rows.size(), 0);
    // A build begun replaces the one before: rows are followed from here on.
    m_filterBuildTicket = build->ticket;
    m_changedSinceFilterBuild.clear();
    return build;
}

bool ClientTable::FilterBuildCurrent(const FilterBuild &build) const
{
    return Active() && build.ticket != 0 && build.ticket == m_filterBuildTicket;
}

int ClientTable::FilterBuildRows(const FilterBuild &build)
{
    return int(build.narrowing ? build.candidates.size() : build.idSpan);
}

bool ClientTable::FilterBuildStep(FilterBuild &build, int budget)
{
    if (!FilterBuildCurrent(build))
        return true;
    std::vector<int> &ids = build.ids;
    ids.clear();
    ids.reserve(size_t(std::max(budget, 0)));
    // A row deleted before its turn is left out; one deleted after is tested again at the end.
    if (build.narrowing) {
        for (; build.next < build.candidates.size() && int(ids.size()) < budget; ++build.next) {
            const int id = build.candidates[build.next];
            if (m_rows[size_t(id)].alive)
                ids.push_back(id);
        }
        build.tested = build.next >= build.candidates.size();
    } else {
        for (; build.next < build.idSpan && int(ids.size()) < budget; ++build.next)
            if (m_rows[build.next].alive)
                ids.push_back(int(build.next));
        build.tested = build.next >= build.idSpan;
    }
    testFilterRows(build.filter.get(), ids, build.passes);
    return build.tested;
}

bool ClientTable::FinishFilterBuild(FilterBuild &build)
{
    if (!FilterBuildCurrent(build) || !build.tested)
        return false;
    // As SetFilter does, a pending row is stored (or dropped) first; storing it is a change the
    // build takes in below.
    endPendingImplicitly();
    if (!FilterBuildCurrent(build))
        return false;
    // The rows posted or deleted since the build began are tested as they are now.
    build.passes.resize(m_rows.size(), 0);
    std::vector<int> changed;
    for (int id : m_changedSinceFilterBuild) {
        if (m_rows[size_t(id)].alive)
            changed.push_back(id);
        else
            build.passes[size_t(id)] = 0;
    }
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    testFilterRows(build.filter.get(), changed, build.passes);

    // The view keeps the order active now. A narrowing build's rows are all in the view in place,
    // which is in that order too (a change of order rebuilt it), as are the rows posted since.
    RowSequence view;
    const RowSequence &from = build.narrowing ? m_view : activeOrder().rows;
    from.forEach([&](int id) {
        if (build.passes[size_t(id)])
            view.push_back(id);
    });
    m_view = std::move(view);
    m_filterText = build.expression;
    m_filtered = true;
    m_filter = std::move(build.filter);
    m_cursor = m_view.empty() ? -1 : 0;
    m_atEnd = m_view.empty();
    dropFilterBuild();
    build.ticket = 0;
    fireRowsChange(RowsChange::Kind::Reset);
    fireScroll();
    return true;
}

} // namespace ql
