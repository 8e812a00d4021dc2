#pragma once

#include <QString>

// The folder that holds mp3.ini and mp3.snd, with a final "/": the executable's folder when the user
// can write there (a build tree, a portable copy), else $XDG_CONFIG_HOME/mp3zx/ (created if needed).
QString findProgramFolder(const QString& executableFolder);
