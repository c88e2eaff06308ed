#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ql {

class BarPanel;

// The Categories dialog: the one list of category names for every task list, one per line of
// `mCats`. Created once at start-up, when it reads the list from the "Category" section of
// Quillon.ini in the program's folder; hidden, not destroyed, between showings. The rest of the
// program reads the list through categories() whenever it needs it, so lines edited here are seen
// at once, saved or not.
class TfrmCategories final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmCategories(QWidget *parent = nullptr);

    // The category list: the lines of `mCats` in the order shown.
    QStringList categories() const;

    // The settings file the list is read from and saved to. The program's folder is taken once,
    // when the dialog is created.
    const QString &settingsPath() const { return m_settingsPath; }

    // Update: makes the list editable and enables Save.
    void Button3Click();
    // Save: replaces the "Category" section of the settings file with the lines of `mCats`, then
    // closes the dialog (also when the file could not be written).
    void btnSaveClick();
    // Close: closes the dialog; edits stay in the list unsaved.
    void Button2Click();

private:
    void loadCategories();
    void saveCategories();
    void endEditing();
    void setListBackground(const QColor &colour);

    QString m_settingsPath;

    BarPanel *Panel2 = nullptr;
    QLabel *Label1 = nullptr;
    QPlainTextEdit *mCats = nullptr;
    BarPanel *Panel1 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *Button2 = nullptr;
};

} // namespace ql
