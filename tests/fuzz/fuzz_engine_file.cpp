// The engine's file streams over arbitrary bytes: opening, measuring and decoding never crash.
#include "FuzzSupport.h"
#include "audio/Engine.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    static audio::Engine engine;
    const QByteArray path = QFile::encodeName(fuzzFile(QStringLiteral("song.mp3"), data, size));
    const ChannelHandle stream = engine.openFile(path.toStdString(), OpenOptions{.offset = size / 3,
                                                                                 .length = size / 2,
                                                                                 .decodeOnly = true,
                                                                                 .mono = true,
                                                                                 .floatSamples = true,
                                                                                 .prescan = true});
    if (stream) {
        std::vector<float> buffer(12500);
        engine.read(stream, buffer.data(), 50000);
        engine.length(stream);
        engine.release(stream);
    }
    const ChannelHandle whole = engine.openFile(path.toStdString(), OpenOptions{.decodeOnly = true});
    if (whole) {
        std::vector<float> buffer(4096);
        for (int i = 0; i < 64 && engine.read(whole, buffer.data(), 16384) >= 0; ++i) {
        }
        engine.seek(whole, engine.length(whole) / 2);
        engine.release(whole);
    }
    return 0;
}
