#include "platform/gui/ShowModal.h"

#include <QDialog>
#include <utility>

namespace ql {

namespace {

ModalHook &installedHook()
{
    static ModalHook hook;
    return hook;
}

} // namespace

int showModal(QDialog &dialog)
{
    if (const ModalHook &hook = installedHook())
        return hook(dialog);
    return dialog.exec();
}

ModalHook setModalHook(ModalHook hook)
{
    return std::exchange(installedHook(), std::move(hook));
}

} // namespace ql
