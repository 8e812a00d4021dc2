#pragma once
// A Player over fakes of every platform service, for unit tests of the player's operations.

#include "app/Player.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"

struct PlayerHarness {
    FakeBass bass;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    Player player{Services{bass, mixer, hotKeys, dialogs, window}};
    PlayerState& s = player.s;
};
