#include "dialogs/uFrmCategories.h"

#include "common/CategoryList.h"
#include "common/uGeneral.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/BarPicture.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Ui.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

namespace ql {

namespace {

// The categories occupy one section, one key per line: Line0, Line1, ... No count is stored; the
// list ends at the first key that is missing or empty.
const QString CategorySection = QStringLiteral("Category");

QString lineKey(qsizetype index)
{
    return QStringLiteral("Line%1").arg(index);
}

// The background of the list while it cannot be edited: the desktop's light 3-D colour, halfway
// between a button's face and its highlight. Lighter than a disabled box, so the list does not look
// switched off, and apart from the white of a list being edited.
QColor readOnlyBackground()
{
    const QPalette palette = QGuiApplication::palette();
    const QColor face = palette.color(QPalette::Button);
    const QColor light = palette.color(QPalette::Light);
    return QColor(
        (face.red() + light.red()) / 2, (face.green() + light.green()) / 2, (face.blue() + light.blue()) / 2);
}

} // namespace

TfrmCategories::TfrmCategories(CategoryList &list, QWidget *parent)
    : QDialog(parent)
    , m_categories(list)
{
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
    Label1->adjustSize();
    setListBackground(readOnlyBackground());

    connect(Button3, &QPushButton::clicked, this, &TfrmCategories::Button3Click);
    connect(btnSave, &QPushButton::clicked, this, &TfrmCategories::btnSaveClick);
    connect(Button2, &QPushButton::clicked, this, &TfrmCategories::Button2Click);
    // Any change of the list, typed or loaded, counts for the rest of the program at once and makes
    // the list worth saving.
    connect(mCats, &QPlainTextEdit::textChanged, this, [this] {
        m_categories.SetLines(categories());
        btnSave->setEnabled(true);
    });

    m_settingsPath = ProgramFolder::filePath(QStringLiteral("Quillon.ini"));
    loadCategories();
}

QStringList TfrmCategories::categories() const
{
    return MemoLines(mCats->toPlainText());
}

void TfrmCategories::loadCategories()
{
    // A missing or unreadable file reads as empty: the list starts empty and nothing is said. The
    // section is read in one go; the keys are then taken in order from it.
    const ProfileSection section = ProfileFile(m_settingsPath).readSection(CategorySection);
    QStringList lines;
    for (qsizetype n = 0;; ++n) {
        const QString value = section.readString(lineKey(n), QString());
        if (value.isEmpty())
            break;
        lines << value;
    }
    SortMemoLines(lines);
    mCats->setPlainText(lines.join(u'\n'));
}

void TfrmCategories::Button3Click()
{
    runGuarded([this] {
        mCats->setReadOnly(false);
        setListBackground(Qt::white);
        btnSave->setEnabled(true);
    });
}

void TfrmCategories::btnSaveClick()
{
    runGuarded([this] { saveCategories(); });
    // Save closes the dialog whether or not the file could be written; the error box has been
    // shown by then.
    done(QDialog::Accepted);
}

void TfrmCategories::Button2Click()
{
    runGuarded([this] { done(QDialog::Rejected); });
}

void TfrmCategories::saveCategories()
{
    try {
        // The whole section is replaced in one write, so a shorter list leaves no keys of a longer
        // one behind, and a save that fails or is cut short leaves the file as it was. Lines are
        // written in the order shown, empty ones as empty values; they are sorted only when the
        // list is loaded again at the next start.
        const QStringList lines = categories();
        std::vector<ProfileEntry> entries;
        entries.reserve(size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i)
            entries.push_back({ lineKey(i), lines.at(i) });
        ProfileFile(m_settingsPath).replaceSection(CategorySection, entries);
        Ui::current().message(QStringLiteral("Categories saved."));
    } catch (...) {
        endEditing();
        throw;
    }
    endEditing();
}

void TfrmCategories::endEditing()
{
    btnSave->setEnabled(false);
    mCats->setReadOnly(true);
    setListBackground(readOnlyBackground());
}

void TfrmCategories::setListBackground(const QColor &colour)
{
    QPalette palette = mCats->palette();
    palette.setColor(QPalette::Base, colour);
    mCats->setPalette(palette);
}

} // namespace ql
