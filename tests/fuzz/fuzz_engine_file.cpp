// The engine's file streams over arbitrary bytes: opening, measuring and decoding never crash.
#include "FuzzSupport.h"
#include "audio/BassEngine.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    static audio::BassEngine engine;
    const QByteArray path = QFile::encodeName(fuzzFile(QStringLiteral("song.mp3"), data, size));
    const DWORD flags = BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT | BASS_SAMPLE_MONO | BASS_STREAM_PRESCAN;
    const HSTREAM stream = engine.BASS_StreamCreateFile(0, path.constData(), size / 3, size / 2, flags);
    if (stream) {
        std::vector<float> buffer(12500);
        engine.BASS_ChannelGetData(stream, buffer.data(), 50000);
        engine.BASS_ChannelGetLength(stream);
        engine.BASS_StreamFree(stream);
    }
    const HSTREAM whole = engine.BASS_StreamCreateFile(0, path.constData(), 0, 0, BASS_STREAM_DECODE);
    if (whole) {
        std::vector<float> buffer(4096);
        for (int i = 0; i < 64 && engine.BASS_ChannelGetData(whole, buffer.data(), 16384) != BASS_ERROR_DWORD;
             ++i) {
        }
        engine.BASS_ChannelSetPosition(whole, engine.BASS_ChannelGetLength(whole) / 2);
        engine.BASS_StreamFree(whole);
    }
    return 0;
}
