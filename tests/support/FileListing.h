#pragma once
// Waits for a file list's listing, which reads the folder on a thread of its own, to hand over its
// entries.

#include "library/FileListModel.h"

#include <chrono>

// Runs the event loop until no listing of files runs; false when the time-out came first.
bool waitForListing(const FileListModel& files, std::chrono::milliseconds timeout = std::chrono::seconds(20));
