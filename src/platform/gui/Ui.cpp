#include "platform/gui/Ui.h"

#include "platform/gui/QtUi.h"

#include <utility>

namespace ql {

namespace {

Ui *s_installed = nullptr;

} // namespace

Ui &Ui::current()
{
    if (s_installed)
        return *s_installed;
    static QtUi real;
    return real;
}

Ui *Ui::install(Ui *ui)
{
    return std::exchange(s_installed, ui);
}

} // namespace ql
