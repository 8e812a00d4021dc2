// Playlists loaded with "laden": any bytes, no crash; every song the list takes is a file that exists,
// and the lists stay parallel.
#include "FuzzSupport.h"

#include <QFileInfo>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    FuzzPlayer f;
    const QString path = fuzzFile(QStringLiteral("liste.m3u"), data, size);
    f.dialogs.fileAnswers.push_back(path);
    f.player.guarded([&] { f.player.playlists.loadPlaylist(); });
    for (const Song& song : f.player.songList.songs.rows())
        if (!QFileInfo(song.path).isFile()) std::abort();
    return 0;
}
