#pragma once

#include "storage/ClientTable.h"

#include <QString>
#include <functional>

namespace ql {

// The recent-files store: every list file the user opened or saved, with the moment it was last
// chosen, kept in the table cdsFiles and in "Recent.XML" beside the program. The Reopen dialog is a
// view over it; the file commands add to it through AddToRecent.
//
// Entries are whole paths compared with case. They are never limited, merged or pruned: they leave
// only through RemoveCurrent. The current order is MyIndex (LastUsed, newest first).
//
// Prompts and messages go through Ui::current(). The operations that a dialog handler runs
// (ChooseCurrent, RenameCurrent, RemoveCurrent, ExploreCurrentFolder, ApplyFilter) throw ql::Error
// for the handler's guard to show; AddToRecent and the writes report their own failures, because
// the command that calls them goes on.
class RecentStore final
{
public:
    // Creates the table with its two fields, loads "Recent.XML" from the program folder when it
    // exists, switches the change log off and makes MyIndex current. A store file that cannot be read
    // is reported in the error box and the store starts empty (see LoadRecentFile).
    RecentStore();
    RecentStore(const RecentStore &) = delete;
    RecentStore &operator=(const RecentStore &) = delete;

    ClientTable &cdsFiles() { return m_files; }
    const ClientTable &cdsFiles() const { return m_files; }

    // Where the store lives: "Recent.XML" in the program folder.
    static QString StorePath();

    // Binds the table to the store file and reads it, when the file exists; otherwise the table
    // stays empty. A store file that cannot be read, or that holds a table other than the store's
    // (a task list copied over it, say), is kept at once as a copy beside it (UnreadableCopyPath)
    // and the table starts empty, bound to no file; then an error says which file it was, why it
    // could not be used, that the list of recent files starts empty and where the copy is. When no
    // copy could be made, the store file is never written over.
    void LoadRecentFile();
    // Where the unreadable store was kept: "Recent.XML.damaged", or "Recent.XML.damaged.2" and on
    // when an older copy with other contents is there already. Empty when the store was readable.
    const QString &UnreadableCopyPath() const { return m_unreadableCopy; }

    // Remembers `fileName` unless an entry with exactly that path exists among all entries (the
    // filter does not hide any from this search); an existing entry keeps its LastUsed. A path longer
    // than the File field is not stored and the user is told why. Failures are shown as "Error saving
    // to recent: " messages and never leave here: the calling command goes on.
    void AddToRecent(const QString &fileName);

    // Shows only the entries whose path contains `text` (LIKE '%text%'); an empty text shows all.
    void ApplyFilter(const QString &text);
    // The filter expression for a text typed into the filter box; quotes in it are matched literally.
    static QString FilterExpression(const QString &text);

    // The path of the current entry; empty when the view shows no entries.
    QString CurrentFile() const;

    // Open: when the current entry's file exists, stamps the entry with the current time (it moves
    // to the top) and gives its path. Throws "File does not exist in folder." otherwise, leaving the
    // entry as it was.
    QString ChooseCurrent();

    // Asks for a new path of the current entry's file and renames the file on disk to it. An existing
    // file is never replaced. When the rename fails, throws an error naming both paths and leaves the
    // entry unchanged; when it succeeds the entry takes the new path and keeps its LastUsed.
    // Cancelling, an unchanged path or a blank answer changes nothing.
    void RenameCurrent();

    // Shows the folder of the current entry's path in the desktop's file browser.
    void ExploreCurrentFolder();
    // The folder part of a path: up to and including its last separator; empty when it has none.
    static QString FolderOf(const QString &path);

    // Forgets the current entry; the file on disk is not touched. Throws the table's error when the
    // view shows no entries.
    void RemoveCurrent();

    // Writes the whole store to the store file, as the dialog does whenever it closes. A failure is
    // shown as an "Error saving to recent: " message; the entries stay in memory and count as unsaved.
    void WriteOnClose();
    // Writes the store at program end when it changed since it was loaded or last written, whether or
    // not the store file existed at start-up. Failures are shown as WriteOnClose shows them.
    void WriteAtProgramEnd();
    bool HasUnsavedChanges() const { return m_unsaved; }

    // Whether an entry's file exists (a folder of that name does not count).
    static bool FileExists(const QString &path);

    // Called after every change of the rows or of what the view shows, so that a grid can follow.
    void SetViewChanged(std::function<void()> listener) { m_viewChanged = std::move(listener); }

private:
    int fileWidth() const;
    bool fitsFileField(const QString &path) const { return path.size() <= fileWidth(); }
    bool locateAmongAll(const QString &fileName);
    void insertEntry(const QString &fileName);
    bool writeStore();
    static QString foreignTableReason(const QString &path);
    void keepUnreadableStore();
    void notifyViewChanged();

    ClientTable m_files;
    bool m_unsaved = false;
    // The store file could not be read and no copy of it has been made yet.
    bool m_unreadableStore = false;
    QString m_unreadableCopy;
    std::function<void()> m_viewChanged;
};

} // namespace ql
