// PLS and M3U files handed to the player: any bytes, both kinds, no crash, parallel lists.
#include "FuzzSupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    for (PlaylistKind kind : {PlaylistKind::Pls, PlaylistKind::M3u}) {
        FuzzPlayer f;
        const QString path = fuzzFile(QStringLiteral("liste.m3u"), data, size);
        f.player.guarded([&] { f.player.playlistReader.read(path, kind); });
        for (const Song& song : f.player.songList.songs.rows())
            if (song.loudness != QStringLiteral("30")) std::abort();
    }
    return 0;
}
