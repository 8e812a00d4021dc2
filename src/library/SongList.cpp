#include "library/SongList.h"

void SongList::setLoudness(int i, const QString& value) {
    rowRef(i).loudness = value;
    rowChanged(i);
}
