#pragma once

#include <functional>

class QDialog;

namespace ql {

// The program's own dialogs (progress picker, date selection, detail view, ...) are shown modally
// through here, so that tests can drive the real dialog without a nested event loop.
using ModalHook = std::function<int(QDialog &)>;

// Shows `dialog` modally and gives its result (QDialog::Accepted, QDialog::Rejected or the value
// passed to done()).
int showModal(QDialog &dialog);

// Makes `hook` show the dialogs from now on (an empty hook: QDialog::exec() again) and gives back
// the hook it replaces.
ModalHook setModalHook(ModalHook hook);

} // namespace ql
