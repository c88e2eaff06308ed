#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrmBatchImport.h"
#endif

#include <QDialog>
#include <QStringList>

namespace ql {

class ClientTable;

// The batch entry dialog: a box of pasted lines, one task per line. Save closes it with the OK
// result, Cancel (or the close box) with the Cancel result. Created once, it keeps the box's text
// from one showing to the next; only insertLines empties it, after the lines have become tasks.
//
// The caller (the main window's "Batch Insert"): show it modally; if it closed with OK and the
// active list's frame is found, call insertLines with that list's task table. On any other result
// it does nothing, and the text stays for the next showing.
//
// The form (uFrmBatchImport.ui) holds the controls under their component names: the top bar Panel2
// with Label1, Memo1, and the bottom bar Panel1 with Button1 (Save) and Button2 (Cancel). Each bar
// paints the shared bar picture behind its controls itself, so the dialog needs no picture widgets.
class TfrmBatchImport final : public QDialog, public form::Ui::TfrmBatchImport
{
    Q_OBJECT

public:
    explicit TfrmBatchImport(QWidget *parent = nullptr);

    // The lines of Memo1 exactly as typed or pasted, empty ones included; a final line break adds
    // no empty line.
    QStringList lines() const;

    // Adds every line of Memo1 that is not empty to `table` as a task (TaskCommands::BatchInsertLines),
    // then empties Memo1. Throws the table's error at the first line that fails: the lines before it
    // are tasks by then and Memo1 keeps its text. Returns the number of tasks added.
    int insertLines(ClientTable &table);
};

} // namespace ql
