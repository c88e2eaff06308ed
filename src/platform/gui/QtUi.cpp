#include "platform/gui/QtUi.h"

#include "platform/ApplicationTitle.h"

#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

namespace ql {

namespace {

// Which of choose()'s buttons a button of the box is.
constexpr char ChoiceIndex[] = "quillonChoiceIndex";

// "ql1", ".ql1" and "*.ql1" all name the extension "ql1".
QString bareExtension(const QString &extension)
{
    qsizetype start = 0;
    while (start < extension.size() && (extension.at(start) == u'*' || extension.at(start) == u'.'))
        ++start;
    return extension.mid(start);
}

} // namespace

void QtUi::setUpMessageBox(QMessageBox &box, BoxKind kind, const QString &text)
{
    box.setWindowTitle(applicationTitle());
    // Messages name files and tasks, which may hold "<": never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (kind) {
    case BoxKind::Message:
    case BoxKind::Error:
        box.setIcon(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case BoxKind::Question:
        box.setIcon(QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case BoxKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
}

void QtUi::message(const QString &text)
{
    QMessageBox box(QApplication::activeWindow());
    setUpMessageBox(box, BoxKind::Message, text);
    box.exec();
}

Answer QtUi::question(const QString &text)
{
    QMessageBox box(QApplication::activeWindow());
    setUpMessageBox(box, BoxKind::Question, text);
    box.exec();
    // Esc and the window's close button press the escape button, No.
    return box.clickedButton() == box.button(QMessageBox::Yes) ? Answer::Yes : Answer::No;
}

bool QtUi::confirm(const QString &text)
{
    QMessageBox box(QApplication::activeWindow());
    setUpMessageBox(box, BoxKind::Confirmation, text);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

void QtUi::setUpChoiceBox(QMessageBox &box, const QString &text, const QStringList &buttons)
{
    box.setWindowTitle(applicationTitle());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::Warning);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // The first accepts, the last rejects, those between act: the platform's button layout
        // places them by these roles.
        const QMessageBox::ButtonRole role = i == 0 ? QMessageBox::AcceptRole
            : i == buttons.size() - 1               ? QMessageBox::RejectRole
                                                    : QMessageBox::ActionRole;
        QPushButton *button = box.addButton(buttons.at(i), role);
        button->setProperty(ChoiceIndex, int(i));
        if (i == 0)
            box.setDefaultButton(button);
        if (i == buttons.size() - 1)
            box.setEscapeButton(button);
    }
}

QString QtUi::choose(const QString &text, const QStringList &buttons)
{
    QMessageBox box(QApplication::activeWindow());
    setUpChoiceBox(box, text, buttons);
    box.exec();
    // Esc and the window's close button press the escape button, the last one.
    const QAbstractButton *clicked = box.clickedButton();
    const int chosen = clicked ? clicked->property(ChoiceIndex).toInt() : int(buttons.size()) - 1;
    return buttons.value(chosen);
}

void QtUi::error(const QString &text)
{
    QMessageBox box(QApplication::activeWindow());
    setUpMessageBox(box, BoxKind::Error, text);
    box.exec();
}

void QtUi::setUpInputDialog(
    QInputDialog &dialog, const QString &caption, const QString &prompt, const QString &initialText)
{
    dialog.setWindowTitle(caption);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initialText);
    if (auto *label = dialog.findChild<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    if (auto *edit = dialog.findChild<QLineEdit *>()) {
        edit->setMaxLength(MaxInputLength);
        // Wide enough to show the initial text whole (a full path, for Rename), within reason.
        const QFontMetrics metrics(edit->font());
        const int wanted = metrics.horizontalAdvance(initialText) + 4 * metrics.averageCharWidth();
        edit->setMinimumWidth(std::clamp(wanted, 40 * metrics.averageCharWidth(), 900));
    }
}

QString QtUi::input(const QString &caption, const QString &prompt, const QString &initialText)
{
    QInputDialog dialog(QApplication::activeWindow());
    setUpInputDialog(dialog, caption, prompt, initialText);
    if (dialog.exec() != QDialog::Accepted)
        return initialText;
    return dialog.textValue();
}

QStringList QtUi::nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &pattern : parts.at(i + 1).split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        result << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns.join(u' '));
    }
    return result;
}

QString QtUi::withDefaultExtension(const QString &path, const QString &defaultExtension)
{
    const QString extension = bareExtension(defaultExtension);
    const QString fileName = QFileInfo(path).fileName();
    if (extension.isEmpty() || fileName.isEmpty() || fileName.contains(u'.'))
        return path;
    return path + u'.' + extension;
}

void QtUi::setUpFileDialog(
    QFileDialog &dialog, QFileDialog::AcceptMode mode, const FileDialogRequest &request)
{
    dialog.setWindowTitle(request.caption);
    // Qt's own dialog on every desktop: a desktop's native one may insist that an opened file
    // exists, ask its own overwrite question or ignore the default extension.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Shows the descriptions as written ("All Files (*.*)"), not Qt's pattern lists behind them.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.front());
    }
    dialog.setDefaultSuffix(bareExtension(request.defaultExtension));
    if (!request.initialFolder.isEmpty())
        dialog.setDirectory(request.initialFolder);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
}

QString QtUi::runFileDialog(QFileDialog::AcceptMode mode, const FileDialogRequest &request)
{
    QFileDialog dialog(QApplication::activeWindow());
    setUpFileDialog(dialog, mode, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // The dialog adds the extension itself; this covers a name it handed back without one.
    return withDefaultExtension(dialog.selectedFiles().front(), request.defaultExtension);
}

QString QtUi::openFile(const FileDialogRequest &request)
{
    return runFileDialog(QFileDialog::AcceptOpen, request);
}

QString QtUi::saveFile(const FileDialogRequest &request)
{
    return runFileDialog(QFileDialog::AcceptSave, request);
}

} // namespace ql
