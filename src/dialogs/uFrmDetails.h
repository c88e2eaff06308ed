#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrmDetails.h"
#endif

#include <QDialog>
#include <QPointer>
#include <vector>

namespace ql {

class ClientTable;
class DataSource;
class DBEdit;

// The detail view: every field of the current task of one task list as a caption box and an
// editor, one field under the other, generated from the table's field list each time the view is
// opened, and bound to the task directly.
//
// The form (uFrmDetails.ui) holds the scrolling area ScrollBox1, which owns the generated controls,
// and the bar Panel1 with BitBtn1 (OK, the default button) and BitBtn2 (Cancel, also Esc).
//
// The view binds its editors through the data source it is handed (a frame's DataSource1), so they
// follow the task and write what they hold before it is posted, together with the frame's own
// editors: DataSource1 is that binding, and SourceTable the table behind it. Neither is owned.
class TfrmDetails final : public QDialog, public form::Ui::TfrmDetails
{
    Q_OBJECT

public:
    explicit TfrmDetails(QWidget *parent = nullptr);

    ClientTable *SourceTable() const;
    DataSource *DataSource1() const { return m_DataSource1; }
    void SetSourceTable(DataSource &source);
    // Boolean fields read "Yes" and "No" without the focus, as the grid of a new list shows them.
    void SetYesNoBooleans(bool on) { m_yesNoBooleans = on; }

    // Destroys every generated control: caption boxes and bound edits, memos and drop-down lists.
    void ClearEditors();
    // Clears, then generates a caption box and an editor per field of SourceTable, bound to the
    // current task: lbl, and edt, tbl, cbopri, cboDiff or cboSta, each followed by the field's
    // position from 0. Rows are 20 pixels apart from top 31; a memo takes 76 pixels more.
    void BuildEditors();

    // OK: every edit writes what it holds; one the field refuses keeps the view open with the
    // table's message, the focus on that edit and its text selected. Otherwise the view closes with
    // OK.
    void BitBtn1Click();

    // The "Details" command on the table behind `source`: builds the view for its current task,
    // shows it modally (showModal) and, when it closed with OK and the task is pending, posts the
    // task. Closed any other way, it neither posts nor cancels: what the editors wrote stays pending
    // on the task. Afterwards the editors let go of the table, dropping text typed into an edit that
    // never lost the focus, so the hidden view writes nothing into a later post. An error (a refused
    // post) is shown in the error box; returns whether the command ran to its end.
    bool editDetails(DataSource &source, bool yesNoBooleans = false);

    // The items of the three drop-down lists; the view's own, with "Normal" as the middle
    // difficulty.
    static const QStringList &PriorityItems();
    static const QStringList &DifficultyItems();
    static const QStringList &StatusItems();

private:
    std::vector<DBEdit *> generatedEdits() const;
    void releaseEditors();

    QPointer<DataSource> m_DataSource1;
    bool m_yesNoBooleans = false;
};

} // namespace ql
