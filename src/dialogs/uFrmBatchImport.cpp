#include "dialogs/uFrmBatchImport.h"

#include "common/uGeneral.h"
#include "operations/TaskCommands.h"

#include <QPushButton>
#include <QTextDocument>

namespace ql {

TfrmBatchImport::TfrmBatchImport(QWidget *parent)
    : QDialog(parent)
{
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
    Label1->adjustSize();
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

QStringList TfrmBatchImport::lines() const
{
    // The raw text keeps every character as typed (the plain text would turn no-break spaces into
    // blanks); the box's paragraph and line separators end lines.
    QString text = Memo1->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), u'\n');
    text.replace(QChar(QChar::LineSeparator), u'\n');
    return MemoLines(text);
}

int TfrmBatchImport::insertLines(ClientTable &table)
{
    const int added = TaskCommands::BatchInsertLines(table, lines());
    Memo1->clear();
    return added;
}

} // namespace ql
