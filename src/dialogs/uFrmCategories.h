#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrmCategories.h"
#endif

#include <QDialog>
#include <QString>
#include <QStringList>

namespace ql {

class CategoryList;

// The Categories dialog: the one list of category names for every task list, one per line of
// `mCats`. Created once at start-up, when it reads the list from the "Category" section of
// Quillon.ini in the program's folder; hidden, not destroyed, between showings. It keeps the
// program's CategoryList equal to the lines of `mCats`, so lines edited here are seen at once by
// the rest of the program, saved or not.
//
// The form (uFrmCategories.ui) holds the controls under their component names: Panel2, Label1,
// mCats, Panel1, Button3, btnSave, Button2.
class TfrmCategories final : public QDialog, public form::Ui::TfrmCategories
{
    Q_OBJECT

public:
    explicit TfrmCategories(CategoryList &list, QWidget *parent = nullptr);

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

    CategoryList &m_categories;
    QString m_settingsPath;
};

} // namespace ql
