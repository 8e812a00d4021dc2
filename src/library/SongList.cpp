#include "library/SongList.h"

void SongList::setLautLB(int i, const QString& value) {
    rowRef(i).loudness = value;
    rowChanged(i);
}
