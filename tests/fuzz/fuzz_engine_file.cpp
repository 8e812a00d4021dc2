// The engine's file streams over arbitrary bytes: opening, measuring and decoding never crash.
#include "FuzzSupport.h"
#include "audio/Engine.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    static audio::Engine engine;
    const QByteArray path = QFile::encodeName(fuzzFile(QStringLiteral("song.mp3"), data, size));
    const DWORD flags = BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT | BASS_SAMPLE_MONO | BASS_STREAM_PRESCAN;
    const ChannelHandle stream = engine.openFile(0, path.constData(), size / 3, size / 2, flags);
    if (stream) {
        std::vector<float> buffer(12500);
        engine.read(stream, buffer.data(), 50000);
        engine.length(stream);
        engine.release(stream);
    }
    const ChannelHandle whole = engine.openFile(0, path.constData(), 0, 0, BASS_STREAM_DECODE);
    if (whole) {
        std::vector<float> buffer(4096);
        for (int i = 0; i < 64 && engine.read(whole, buffer.data(), 16384) != BASS_ERROR_DWORD; ++i) {
        }
        engine.seek(whole, engine.length(whole) / 2);
        engine.release(whole);
    }
    return 0;
}
