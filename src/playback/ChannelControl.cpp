#include "playback/ChannelControl.h"

#include "app/Player.h"
#include "app/Window.h"
#include "library/TitleFit.h"
#include "platform/TextFile.h"
#include "playback/StreamTitle.h"

#include <QMetaObject>
#include <QPointer>
#include <cmath>

void ChannelControl::bass_kanal_play(HSTREAM handle, int newMode) {
    PlayerState& s = p_.s;
    s.playMode = static_cast<std::uint8_t>(newMode);
    p_.volume.lautsetzen();
    if (newMode == PLAYMODE_RADIO) {
        // The notification is in place before the current title is read, so a title that arrives in
        // between is not lost until the station's next change.
        p_.bass().BASS_ChannelSetSync(
            s.radioChannel, BASS_SYNC_META, 0,
            [this](HSYNC sync, DWORD channel, const char* data, void* user) {
                on_meta_sync(sync, channel, data, user);
            },
            nullptr);
        const char* tags = p_.bass().BASS_ChannelGetTags(s.radioChannel, BASS_TAG_META);
        showStreamTitle(tags ? decodeText(QByteArray(tags)) : QString());
    } else {
        showTitle(s.songDisplay, s.songDisplay);
    }
    p_.bass().BASS_ChannelPlay(handle, 0);
    s.display.PlayB = PlayPicture::STOP;
}

void ChannelControl::mp3machpause() {
    p_.bass().BASS_ChannelPause(p_.s.fileStream);
    p_.s.display.PlayB = PlayPicture::START;
    p_.s.playMode = PLAYMODE_IDLE;
    p_.trackTimer.stop();
}

void ChannelControl::einfach_weiter_spielen() {
    p_.bass().BASS_ChannelPlay(p_.s.fileStream, 0);
    p_.s.positionDragging = false;
}

void ChannelControl::schlussspielen() {
    PlayerState& s = p_.s;
    s.playMode = PLAYMODE_PREVIEW;
    s.previewReturnPosition = s.posTB.position();
    // A song of 15 seconds or less previews from its beginning.
    double start = 0;
    if (s.songSeconds > 15)
        start = std::nearbyint(static_cast<double>(s.songLengthBytes) * (s.songSeconds - 15) / s.songSeconds);
    s.previewStartBytes = static_cast<QWORD>(start);
    s.previewRangeBytes = s.songLengthBytes - s.previewStartBytes;
    p_.bass().BASS_ChannelSetPosition(s.fileStream, s.previewStartBytes);
}

void ChannelControl::on_meta_sync(HSYNC, DWORD, const char* data, void*) {
    // The engine's thread may not touch the window: the title is composed on the GUI thread, with the
    // station name of that moment.
    const QString meta = data ? decodeText(QByteArray(data)) : QString();
    QPointer<Player> player(&p_);
    QMetaObject::invokeMethod(
        &p_,
        [player, meta] {
            if (player) player->channel.showStreamTitle(meta);
        },
        Qt::QueuedConnection);
}

void ChannelControl::showStreamTitle(const QString& meta) {
    const QString title = stream_title_from_meta(meta);
    p_.s.display.streamTitle = title.trimmed();
    const QString text = title + QStringLiteral("> ") + p_.s.stationName;
    showTitle(linksb(text, [this](const QString& t) { return p_.window().textWidth(t); }), text);
}

void ChannelControl::showTitle(const QString& fitted, const QString& full) {
    p_.s.display.SongL = fitted;
    p_.s.display.tip = leftChars(full, 64);
}
