#pragma once
// The parts of a test's Player that the media controls act on, wired as the program wires them.

#include "app/Player.h"
#include "mpris/Mpris.h"

inline Mpris::Parts mprisParts(Player& p) {
    return {p.audioEngine(), p.window(), p.dialogs(), p.channel, p.seq, p.volume, p.songList, p.radio, p.intake};
}
