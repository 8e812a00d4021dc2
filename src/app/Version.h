#pragma once

#include <QString>

// Major, minor and release number of the program's version joined by dots ("5.4.1"); the build number
// is not shown. Empty when the version is unknown (all parts zero).
QString versionString();

// The same rule over given numbers.
QString versionText(unsigned major, unsigned minor, unsigned release);
