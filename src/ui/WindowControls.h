#pragma once
// The main window's owned controls, configured and placed as the window lays them out. The window
// binds their events itself.

#include <QImage>

class QWidget;
class BitmapCheckBox;
class TrackBar;

// Position bar: 0..1000, a thousandth of the song per step; at (0, 72), 150 x 25.
TrackBar* makePositionBar(QWidget* parent);
// Volume bar: 20..100 at 30; at (0, 168), 150 x 25.
TrackBar* makeVolumeBar(QWidget* parent);
// Levelling check box "Lautstärke anpassen", unchecked, with a two-cell picture; at (8, 130), 116 x 29.
BitmapCheckBox* makeLevellingBox(QWidget* parent);

// The levelling box's picture: two 16 x 16 cells, an empty box and a ticked box, on a magenta key
// colour that the check box leaves transparent.
QImage levellingCheckGlyph();
