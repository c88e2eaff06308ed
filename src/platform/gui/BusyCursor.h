#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace ql {

// Shows the busy cursor for the whole application while it lives. The normal cursor comes back
// however the work ends, so an error box shown after a failure has the normal cursor.
class BusyCursor final
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace ql
