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
    // The station row the settings bring; selected once the station list is read.
    int stationRow = -1;
    Shown<QString> versionLabel;
    Shown<QString> windowTitle;
};
