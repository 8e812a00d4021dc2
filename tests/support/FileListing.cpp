#include "support/FileListing.h"

#include <QEventLoop>
#include <QTimer>

bool waitForListing(const FileListModel& files, std::chrono::milliseconds timeout) {
    if (!files.isListing()) return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A replaced listing finishes too: only the end of the last one ends the wait.
    QObject::connect(&files, &FileListModel::listingFinished, &loop, [&] {
        if (!files.isListing()) loop.quit();
    });
    timer.start(timeout);
    loop.exec();
    return !files.isListing();
}
