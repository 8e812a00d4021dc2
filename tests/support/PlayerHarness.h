#pragma once
// A Player over fakes of every platform service, for unit tests of the player's operations. Stations
// open on the test's thread (see TestOpens).

#include "app/Player.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/TestOpens.h"

struct PlayerHarness {
    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    Player player{Services{audioEngine, mixer, hotKeys, dialogs, window}};
    TestOpens opens{player.radio.stationOpener};
};
