#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrmComments.h"
#endif

#include <QDialog>

namespace ql {

class DataSource;

// The comments editor: one window-filling box, DBMemo1, bound through a task table's data source to
// the Comments field of its current task. The first change puts the task into edit state (on an
// empty list it starts a new task); typed text is written into the field as it is typed, cut to
// the field's 255 characters by the table. There are no buttons: the window is closed with its
// close box (or Esc), and the caller posts the task afterwards, however it was closed.
//
// The form (uFrmComments.ui) holds DBMemo1.
class TfrmComments final : public QDialog, public form::Ui::TfrmComments
{
    Q_OBJECT

public:
    explicit TfrmComments(QWidget *parent = nullptr);

    // DBMemo1 shows and edits the Comments field of the current task of the source's table. A list
    // loaded from a file without that field leaves the box empty and read-only.
    void bindSource(DataSource &source);
    // Lets go of the table: the box is empty and read-only until the next bindSource.
    void unbindSource();

    // The "Comments" command on the source's table: bind, show modally (showModal), and after the
    // window closes, however it was closed, post the task when the table is in edit or insert state.
    // The binding is released at the end, so the hidden window keeps no hold on a list that may be
    // closed later. An error (a refused post) is shown in the error box; returns whether the command
    // ran to its end.
    bool editComments(DataSource &source);
};

} // namespace ql
