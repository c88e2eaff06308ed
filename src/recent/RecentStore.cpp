#include "recent/RecentStore.h"

#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/FileAccess.h"
#include "platform/FileWriter.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Shell.h"
#include "platform/gui/Ui.h"
#include "storage/PendingRow.h"
#include "storage/TaskSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ql {

namespace {

const QString FileField = QStringLiteral("File");
const QString LastUsedField = QStringLiteral("LastUsed");
const QString SaveErrorPrefix = QStringLiteral("Error saving to recent: ");

// Whether the file at `path` holds exactly `bytes`; a file that cannot be read does not.
bool sameBytes(const QString &path, const QByteArray &bytes)
{
    try {
        return readRegularFile(path).bytes == bytes;
    } catch (const Error &) {
        return false;
    }
}

QString quotedLiteral(QString text)
{
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

} // namespace

RecentStore::RecentStore()
    : m_files(QStringLiteral("cdsFiles"))
{
    DefineRecentTable(m_files);
    m_files.CreateEmpty();
    runGuarded([this] { LoadRecentFile(); });
    m_files.SetChangeLogging(false);
    IndexOptions newestFirst;
    newestFirst.descending = true;
    m_files.AddIndex(QStringLiteral("MyIndex"), { LastUsedField }, newestFirst);
    m_files.SetIndexName(QStringLiteral("MyIndex"));
}

QString RecentStore::StorePath()
{
    return ProgramFolder::filePath(QStringLiteral("Recent.XML"));
}

void RecentStore::LoadRecentFile()
{
    const QString path = StorePath();
    if (!QFileInfo::exists(path))
        return;
    m_files.Close();
    m_files.SetFileName(path);
    QString reason;
    try {
        reason = foreignTableReason(path);
        if (reason.isEmpty())
            m_files.Open();
    } catch (...) {
        reason = currentExceptionMessage();
    }
    if (reason.isEmpty())
        return;

    // A store that cannot be used is treated as a missing one: the run goes on with an empty store
    // bound to no file. Its entries may still be recovered by hand from the copy kept beside it.
    m_files.SetFileName(QString());
    m_files.CreateEmpty();
    m_unreadableStore = true;
    if (!reason.endsWith(u'.'))
        reason += u'.';
    QString message
        = QStringLiteral("The list of recent files \"%1\" could not be read: %2 Quillon starts with "
                         "an empty list of recent files.")
              .arg(QDir::toNativeSeparators(path), reason);
    try {
        keepUnreadableStore();
        message += QStringLiteral(" The unreadable file was kept as \"%1\".")
                       .arg(QDir::toNativeSeparators(m_unreadableCopy));
    } catch (...) {
        message += QStringLiteral(" It could not be kept as a copy (%1), so it will not be written over.")
                       .arg(currentExceptionMessage());
    }
    throw Error(message);
}

// Why the table in the store file is not the store: empty when it is. The store's table takes a
// file's values by field name, so a task list or any other datapacket would read without an error
// as entries without paths, and writing the store back would replace it. The file is read on its
// own first to see its fields; a store is small, and this happens once per run.
QString RecentStore::foreignTableReason(const QString &path)
{
    ClientTable stored;
    stored.ReadFromFile(path);
    const std::vector<Field> &fields = stored.Fields();
    const auto hasField = [&](const QString &name, FieldType type) {
        const Field *field = stored.LookupField(name);
        return field && field->type() == type;
    };
    if (fields.size() == 2 && hasField(FileField, FieldType::Text)
        && hasField(LastUsedField, FieldType::DateTime))
        return QString();
    QStringList names;
    for (const Field &field : fields)
        names << field.name();
    if (names.size() > 4)
        names = names.mid(0, 3) << QStringLiteral("... (%1 fields)").arg(fields.size());
    return QStringLiteral("It holds another table (fields %1), not the file paths and times of the list of "
                          "recent files.")
        .arg(names.join(QStringLiteral(", ")));
}

// Copies the store file that could not be read beside it. An older copy with other contents is
// never replaced: the next free name is taken. A copy that already holds these very bytes is used
// again, so starting with the same damaged store twice leaves one copy.
void RecentStore::keepUnreadableStore()
{
    const QByteArray bytes = readRegularFile(StorePath()).bytes;
    for (int n = 1; n <= 1000; ++n) {
        const QString candidate
            = StorePath() + QStringLiteral(".damaged") + (n > 1 ? QStringLiteral(".%1").arg(n) : QString());
        if (QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink()) {
            if (sameBytes(candidate, bytes)) {
                m_unreadableCopy = candidate;
                m_unreadableStore = false;
                return;
            }
            continue;
        }
        writeFileAtomically(candidate, bytes);
        m_unreadableCopy = candidate;
        m_unreadableStore = false;
        return;
    }
    throw Error(QStringLiteral("too many earlier copies"));
}

int RecentStore::fileWidth() const
{
    return m_files.RequireField(FileField).width();
}

void RecentStore::AddToRecent(const QString &fileName)
{
    // A longer path would be cut to the field's width and then name no file; worse, the cut entry
    // would never equal the path again, so every open would add another one.
    if (!fitsFileField(fileName)) {
        Ui::current().message(SaveErrorPrefix
            + QStringLiteral("The path is too long to remember (more than %1 characters).").arg(fileWidth()));
        return;
    }
    const bool filtered = m_files.Filtered();
    const QString previous = CurrentFile();
    try {
        // LocateRow searches only what the view shows, so a filter set in the Reopen dialog would
        // hide an existing entry and a second one would be added: look with the filter off.
        if (filtered)
            m_files.SetFiltered(false);
        if (!m_files.LocateRow(FileField, Value::text(fileName)))
            insertEntry(fileName);
        if (filtered) {
            m_files.SetFiltered(true);
            // The entry stays current when the filter shows it, else the one that was current.
            if (!m_files.LocateRow(FileField, Value::text(fileName)) && !previous.isEmpty())
                m_files.LocateRow(FileField, Value::text(previous));
        }
    } catch (...) {
        const QString reason = currentExceptionMessage();
        if (filtered && !m_files.Filtered())
            runGuarded([this] { m_files.SetFiltered(true); });
        Ui::current().message(SaveErrorPrefix + reason);
    }
    notifyViewChanged();
}

void RecentStore::insertEntry(const QString &fileName)
{
    // An entry the store refuses is not left half-made for the next post.
    PendingRow entry(m_files, PendingRow::Start::Insert);
    m_files.SetText(FileField, fileName);
    m_files.SetDateTime(LastUsedField, Clock::now());
    entry.post();
    m_unsaved = true;
}

QString RecentStore::FilterExpression(const QString &text)
{
    return QStringLiteral("File LIKE ") + quotedLiteral(u'%' + text + u'%');
}

void RecentStore::ApplyFilter(const QString &text)
{
    if (text.isEmpty()) {
        m_files.SetFiltered(false);
    } else {
        m_files.SetFilter(FilterExpression(text));
        m_files.SetFiltered(true);
    }
    notifyViewChanged();
}

QString RecentStore::CurrentFile() const
{
    if (m_files.RowCount() == 0)
        return QString();
    return m_files.AsText(FileField);
}

bool RecentStore::FileExists(const QString &path)
{
    return QFileInfo(path).isFile();
}

QString RecentStore::ChooseCurrent()
{
    const QString path = CurrentFile();
    if (!FileExists(path))
        throw Error(QStringLiteral("File does not exist in folder."));
    m_files.EditRow();
    m_files.SetDateTime(LastUsedField, Clock::now());
    m_files.PostRow();
    m_unsaved = true;
    notifyViewChanged();
    return path;
}

void RecentStore::RenameCurrent()
{
    // With no entry shown there is no file to rename.
    if (m_files.RowCount() == 0)
        return;
    const QString oldPath = CurrentFile();
    const QString newPath
        = Ui::current().input(QStringLiteral("Rename"), QStringLiteral("Enter new name"), oldPath);
    // Cancel gives back the path unchanged, which leaves nothing to do either.
    if (newPath.trimmed().isEmpty() || newPath == oldPath)
        return;

    // The new path is used exactly as typed: a bare name is taken relative to the current folder.
    auto refuse = [&](const QString &reason) {
        throw Error(QStringLiteral("Cannot rename \"%1\" to \"%2\": %3").arg(oldPath, newPath, reason));
    };
    if (!fitsFileField(newPath))
        refuse(QStringLiteral("the new path is too long to remember (more than %1 characters)")
                   .arg(fileWidth()));
    // On Linux a plain rename replaces the target without a word. QFile::rename refuses an existing
    // target itself; asking first gives the user a clearer reason.
    if (QFileInfo(newPath).exists() || QFileInfo(newPath).isSymLink())
        refuse(QStringLiteral("a file of that name already exists"));
    QFile file(oldPath);
    if (!file.exists())
        refuse(QStringLiteral("the file does not exist"));
    if (!file.rename(newPath))
        refuse(file.errorString());

    m_files.EditRow();
    m_files.SetText(FileField, newPath);
    m_files.PostRow();
    m_unsaved = true;
    notifyViewChanged();
}

QString RecentStore::FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

void RecentStore::ExploreCurrentFolder()
{
    // Whether the desktop took the folder is not looked at: it shows its own message when it fails.
    Shell::current().explore(FolderOf(CurrentFile()));
}

void RecentStore::RemoveCurrent()
{
    m_files.DeleteRow();
    m_unsaved = true;
    notifyViewChanged();
}

bool RecentStore::writeStore()
{
    try {
        // The unreadable store could not be copied at start-up: try again, and never write over it
        // without a copy.
        if (m_unreadableStore && QFileInfo::exists(StorePath())) {
            try {
                keepUnreadableStore();
            } catch (...) {
                throw Error(
                    QStringLiteral("The unreadable list of recent files \"%1\" could not be kept as a copy "
                                   "(%2), so it was not written over.")
                        .arg(QDir::toNativeSeparators(StorePath()), currentExceptionMessage()));
            }
        }
        m_unreadableStore = false;
        m_files.WriteToFile(StorePath(), DataFormat::Xml);
        m_unsaved = false;
        return true;
    } catch (...) {
        Ui::current().message(SaveErrorPrefix + currentExceptionMessage());
        return false;
    }
}

void RecentStore::WriteOnClose()
{
    writeStore();
}

void RecentStore::WriteAtProgramEnd()
{
    if (m_unsaved)
        writeStore();
}

void RecentStore::notifyViewChanged()
{
    if (m_viewChanged)
        m_viewChanged();
}

} // namespace ql
