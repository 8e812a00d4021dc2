// mp3.ini: any bytes are read without a crash; numbers that are no numbers are reported.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    FuzzPlayer f;
    f.player.startup.programFolder = fuzzFolder().path() + u'/';
    fuzzFile(QStringLiteral("mp3.ini"), data, size);
    f.player.guarded([&] {
        f.player.settings.readSettings();
        f.player.settings.restoreFolderTree();
    });
    return 0;
}
