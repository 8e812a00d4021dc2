#include "support/SessionBus.h"

#include "mpris/Mpris.h"

#include <QDBusArgument>
#include <QDBusMetaType>

using namespace std::chrono_literals;

SessionBus::SessionBus() {
    const QString daemon = findTool(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() || !dir_.isValid()) return;
    const QString listen = QStringLiteral("unix:path=") + dir_.filePath(QStringLiteral("bus"));
    if (!daemon_.start(daemon,
                       {"--session", "--nofork", "--nopidfile", "--print-address=1", "--address=" + listen},
                       QProcessEnvironment::systemEnvironment()))
        return;
    QProcess& p = daemon_.process();
    // The daemon prints its address once it accepts connections.
    if (!waitUntil([&] { return p.canReadLine() || !daemon_.running(); }, 20s)) return;
    address_ = QString::fromUtf8(p.readLine()).trimmed();
}

SessionBus::~SessionBus() {
    for (const QString& name : connections_)
        QDBusConnection::disconnectFromBus(name);
    daemon_.stop();
}

QString SessionBus::missing(const QString& tool) {
    return QStringLiteral("*** SKIPPED: %1 is not installed (scripts/install-deps.sh installs it) ***")
        .arg(tool);
}

QProcessEnvironment SessionBus::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    return env;
}

QDBusConnection SessionBus::connect() {
    static int counter = 0;
    const QString name = QStringLiteral("test-connection-%1").arg(++counter);
    connections_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

SessionBus::Result SessionBus::run(const QString& tool, const QStringList& args) {
    Result result;
    QProcess client;
    client.setProcessEnvironment(environment());
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(tool, args);
    if (!client.waitForStarted(10000)) return result;
    if (!waitUntil([&] { return client.state() == QProcess::NotRunning; }, 20s)) {
        client.kill();
        client.waitForFinished(5000);
        return result;
    }
    result.out = QString::fromUtf8(client.readAll()).trimmed();
    if (client.exitStatus() == QProcess::NormalExit) result.exitCode = client.exitCode();
    return result;
}

SessionBus::Result SessionBus::playerctl(const QStringList& args) {
    return run(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=mp3zx")} + args);
}

SessionBus::Result SessionBus::call(const QString& method, const QStringList& args) {
    return run(QStringLiteral("gdbus"), QStringList{"call", "--session", "--dest", Mpris::serviceName,
                                                    "--object-path", Mpris::objectPath, "--method", method} +
                                            args);
}

SessionBus::Result SessionBus::get(const QString& interface, const QString& property) {
    return call(QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                {u'\'' + interface + u'\'', u'\'' + property + u'\''});
}

QVariantMap variantMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

SignalRecorder::SignalRecorder(QDBusConnection bus) {
    // Any sender: the recording starts before the player's name may be known.
    bus.connect(QString(), Mpris::objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this,
                SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(QString(), Mpris::objectPath, QStringLiteral("org.mpris.MediaPlayer2.Player"),
                QStringLiteral("Seeked"), this, SLOT(onSeeked(qlonglong)));
}

void SignalRecorder::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                         const QStringList&) {
    changes << Change{interface, changed};
}

void SignalRecorder::onSeeked(qlonglong position) {
    seeked << position;
}

QString SignalRecorder::lastTitle() const {
    for (auto it = changes.crbegin(); it != changes.crend(); ++it) {
        if (it->changed.contains(QStringLiteral("Metadata")))
            return variantMap(it->changed.value(QStringLiteral("Metadata")))
                .value(QStringLiteral("xesam:title"))
                .toString();
    }
    return QString();
}

bool SignalRecorder::announced(const QString& property, const QVariant& value) const {
    return std::any_of(changes.begin(), changes.end(), [&](const Change& c) {
        return c.interface == QStringLiteral("org.mpris.MediaPlayer2.Player") &&
               c.changed.contains(property) && c.changed.value(property) == value;
    });
}
