#pragma once
// Fitting a text into the title label. Both keep the text below 80 % of the label's width, measured
// with the window's font.

#include <QString>
#include <functional>

using TextWidth = std::function<int(const QString&)>;

// The title label is 641 pixels wide.
constexpr int titleLimit = static_cast<int>(0.8 * 641);

// Keeps the end of the text behind " .." (song titles).
QString fitKeepingEnd(const QString& text, const TextWidth& width, int limit = titleLimit);
// Keeps the beginning of the text before ".." (station titles).
QString fitKeepingStart(const QString& text, const TextWidth& width, int limit = titleLimit);
