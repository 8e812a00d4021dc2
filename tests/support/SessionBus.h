#pragma once
// A private session bus for one test (dbus-daemon on a socket in a temporary folder, stopped by its pid),
// the real clients that talk to the player on it (playerctl, gdbus), and a recorder of the signals the
// player sends there.

#include "support/PeerProcess.h"

#include <QDBusConnection>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

class SessionBus {
public:
    SessionBus();
    ~SessionBus();

    // Empty when dbus-daemon could not be started.
    QString address() const { return address_; }
    // What a test prints when it skips for want of a tool.
    static QString missing(const QString& tool);

    // The system environment with this bus as the session bus.
    QProcessEnvironment environment() const;
    // A new connection of this process to the bus, under a name of its own.
    QDBusConnection connect();

    struct Result {
        int exitCode = -1;
        QString out;
    };
    // Runs a client to its end while the event loop runs (the player answers it from this process).
    Result run(const QString& tool, const QStringList& args);
    // playerctl for the player, e.g. playerctl({"metadata", "xesam:title"}).
    Result playerctl(const QStringList& args);
    // gdbus call on the player's object: method with its interface, e.g. "org.mpris.MediaPlayer2.Raise".
    Result call(const QString& method, const QStringList& args = {});
    // A property through org.freedesktop.DBus.Properties.Get, as gdbus prints it ("(<true>,)").
    Result get(const QString& interface, const QString& property);

private:
    QTemporaryDir dir_;
    PeerProcess daemon_;
    QString address_;
    QStringList connections_;
};

// Records PropertiesChanged and Seeked from the player.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    explicit SignalRecorder(QDBusConnection bus);

    struct Change {
        QString interface;
        QVariantMap changed;
    };
    QList<Change> changes;
    QList<qlonglong> seeked;

    // The title in the last announced Metadata; empty when none was announced.
    QString lastTitle() const;
    // Whether property was announced with value since the recording began.
    bool announced(const QString& property, const QVariant& value) const;

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);
    void onSeeked(qlonglong position);
};

// A map that came inside a variant from the bus.
QVariantMap variantMap(const QVariant& value);
