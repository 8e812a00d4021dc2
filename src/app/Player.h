#pragma once
// The player: its shared state, its timers, the platform services it uses, and the operations of each
// subsystem. The main window owns one Player and forwards its events to the operations; tests build a
// Player over fakes of the services.

#include "app/PlayerState.h"
#include "playback/MasterMute.h"

#include <QObject>
#include <QTimer>
#include <functional>

class IBass;
class IMixer;
class IHotKeySource;
class IDialogs;
class IWindow;

struct Services {
    IBass& bass;
    IMixer& mixer;
    IHotKeySource& hotKeys;
    IDialogs& dialogs;
    IWindow& window;
};

class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(Services services, QObject* parent = nullptr);
    ~Player() override;

    IBass& bass() { return services_.bass; }
    IMixer& mixer() { return services_.mixer; }
    IHotKeySource& hotKeys() { return services_.hotKeys; }
    IDialogs& dialogs() { return services_.dialogs; }
    IWindow& window() { return services_.window; }

    // Runs an event handler; an error that ends it is shown in the error dialog and the program runs on.
    void guarded(const std::function<void()>& handler);

    // The hidden edit box that takes paths from outside; setting a new text runs the intake.
    const QString& eingabefeldE() const { return eingabefeldE_; }
    void setEingabefeldE(const QString& text);

    PlayerState s;

    // Timers, all on the GUI thread and off at start. Their tick handlers are ordinary methods.
    QTimer trackTimer;
    QTimer lauttimer;
    QTimer radioT;
    QTimer radioLautT;
    QTimer mute_timer;

    MasterMute mute;

private:
    Services services_;
    QString eingabefeldE_ = QStringLiteral("eingabefeldE");
};
