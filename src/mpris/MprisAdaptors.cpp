#include "mpris/MprisAdaptors.h"

#include "mpris/Mpris.h"

MprisRootAdaptor::MprisRootAdaptor(Mpris* mpris) : QDBusAbstractAdaptor(mpris), mpris_(*mpris) {}

QString MprisRootAdaptor::identity() const {
    return Mpris::identity;
}

QString MprisRootAdaptor::desktopEntry() const {
    return Mpris::desktopEntry;
}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")};
}

// What the intake takes: MP3 files and M3U/PLS playlists.
QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-mpegurl"), QStringLiteral("audio/mpegurl"),
            QStringLiteral("audio/x-scpls")};
}

void MprisRootAdaptor::Raise() {
    mpris_.raise();
}

void MprisRootAdaptor::Quit() {
    mpris_.quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(Mpris* mpris) : QDBusAbstractAdaptor(mpris), mpris_(*mpris) {}

QString MprisPlayerAdaptor::playbackStatus() const {
    return mpris_.playbackStatus();
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return mpris_.track().metadata();
}

double MprisPlayerAdaptor::volume() const {
    return mpris_.volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    mpris_.setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const {
    return mpris_.position();
}

bool MprisPlayerAdaptor::canGoNext() const {
    return mpris_.canGoNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return mpris_.canGoPrevious();
}

bool MprisPlayerAdaptor::canPlay() const {
    return mpris_.canPlay();
}

// The play button toggles whatever it started: a song pauses, a station stops.
bool MprisPlayerAdaptor::canPause() const {
    return mpris_.canPlay();
}

bool MprisPlayerAdaptor::canSeek() const {
    return mpris_.canSeek();
}

void MprisPlayerAdaptor::Next() {
    mpris_.next();
}

void MprisPlayerAdaptor::Previous() {
    mpris_.previous();
}

void MprisPlayerAdaptor::Pause() {
    mpris_.pause();
}

void MprisPlayerAdaptor::PlayPause() {
    mpris_.playPause();
}

void MprisPlayerAdaptor::Stop() {
    mpris_.stop();
}

void MprisPlayerAdaptor::Play() {
    mpris_.play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset) {
    mpris_.seek(Offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    mpris_.setPosition(TrackId.path(), Position);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri) {
    mpris_.openUri(Uri);
}
