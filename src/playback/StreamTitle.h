#pragma once

#include <QString>

// The title a radio station sends, from its metadata text (StreamTitle='…';StreamUrl='…';), followed
// by two blanks. An empty text gives just the two blanks.
QString streamTitleFromMetadata(const QString& meta);
