#pragma once
// What start-up finds and the settings file brings, read again at shutdown.

#include "platform/Shown.h"

#include <QString>
#include <QStringList>

struct StartupState {
    // Where mp3.ini and mp3.snd live.
    QString programFolder;
    QString commandArgument;
    QString argumentExtension;
    QStringList commandArguments; // all of them, commandArgument first
    // Another instance runs, or the audio library is unusable: the settings are left alone.
    bool endingEarly = false;
    int windowLeft = 50;
    int windowTop = 50;
    bool startInRadio = false;
    Shown<QString> versionLabel;
    Shown<QString> windowTitle;
};
