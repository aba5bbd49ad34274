// ファイル → 取り込み… and ファイル → 開く…: the reader's way to a collection of the user's own
// texts. The work is done by the command-line tools beside the program (kolva-import, then
// kolva-build), run as child processes into a temporary folder next to the chosen one; the
// finished collection is moved into place only when both succeeded, and the reader is then
// started on it.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kolva {

// Stand-ins for the dialogs and for starting the reader, set by tests. An empty member keeps
// the real behaviour.
struct ImportCommandHooks {
    // Chooses the files to import and the collection folder to make; false cancels.
    std::function<bool(QStringList& files, QString& folder)> chooseImport;
    // Chooses a collection folder to open; false cancels.
    std::function<bool(QString& folder)> chooseOpen;
    // Opens the collection in folder (instead of starting the reader on it).
    std::function<void(const QString& folder)> open;
    // Called with the progress dialog once the first tool has started (a test cancels there).
    std::function<void(QWidget* progress)> started;
};
void SetImportCommandHooks(ImportCommandHooks hooks);

// How a run of the import ended.
enum class ImportOutcome { kBuilt, kCancelled, kFailed };

// Imports files into a new collection in folder (missing, or an empty folder), showing its
// progress modal to parent, and reports a failure in a message box (with the tool's own error
// text). On kBuilt folder holds the collection; otherwise nothing is left of the run: neither
// the temporary folder nor folder, unless folder existed (empty) before. toolFolder holds
// kolva-import and kolva-build.
ImportOutcome RunImport(QWidget* parent, const QStringList& files, const QString& folder,
                        const QString& toolFolder);

// The whole command: the dialogs, RunImport with the tools beside the program, then the
// collection opened.
void ImportCommand(QWidget* parent);

// Chooses a collection folder and opens it (the reader started on it).
void OpenCommand(QWidget* parent);

// Opens the collection in folder, or says that the folder holds none.
void OpenCollection(QWidget* parent, const QString& folder);

// The collections opened (and the one the reader shows), latest first, kept in the profile; a
// folder that no longer holds a collection is left out.
QStringList RecentCollections();
void RememberCollection(const QString& folder);

}  // namespace kolva
