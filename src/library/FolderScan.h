#pragma once
// Reads the entries of the listed folders, filtered and in order, on any thread. It holds copies of
// everything it needs, so the file list can go on changing (or go away) while a scan runs.

#include "library/FileListModel.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

struct FolderScanRequest {
    QStringList folders; // each with a final "/"
    QStringList masks;   // parsed, upper-cased
    bool hiddenAllowed = false;
    bool readOnlyAllowed = true;
    bool needWritable = false; // ask whether an entry is writable (it filters or is shown)
    bool displayDirectory = true;
    bool displayParentDir = false;
    QList<FileField> extraFields; // the shown columns from Type on, in column order
    FileEntryOrder order;
    // Runs on the scanning thread after each name read, with the count so far (see the model's
    // setScanHook).
    std::function<void(int namesRead)> scanHook;
};

// The entries found, sorted by request.order. Stops early, with what it has, once cancelled is set.
// A folder that cannot be read, or goes while it is read, gives no (further) entries; no message.
QList<FileListEntry> scanFolders(const FolderScanRequest& request, const std::atomic<bool>& cancelled);
