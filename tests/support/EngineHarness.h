#pragma once
// A Player over the real audio engine (and fakes of the other services), for tests that measure and
// play real MP3 files. The engine's output is whatever SDL_AUDIODRIVER names (the dummy driver in
// test runs).

#include "audio/Engine.h"
#include "support/PlayerHarness.h"

struct EngineHarness {
    audio::Engine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    Player player{Services{audioEngine, mixer, hotKeys, dialogs, window}};

    bool init() { return audioEngine.openOutput(-1, 44100); }
};
