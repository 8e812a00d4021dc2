#include "radio/PlaylistEntries.h"

void PlaylistEntries::setTitle(int i, const QString& title) {
    rowRef(i).title = title;
    rowChanged(i);
}
