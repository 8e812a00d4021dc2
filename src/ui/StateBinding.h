#pragma once
// Ties widgets to the player's state: what the state holds, the widget shows, and what the user
// changes in a widget goes back into the state.

#include "platform/RangeValue.h"
#include "platform/Shown.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class QLabel;
class QAbstractButton;
class QAbstractSlider;
class QListView;
class QPlainTextEdit;
class RowListModelBase;
class BitmapCheckBox;

void bindText(Shown<QString>& value, QLabel* label);
void bindText(Shown<QString>& value, QAbstractButton* button);
void bindVisible(Shown<bool>& value, QWidget* widget);
// As bindVisible for a widget that build makes, places and binds the first time the value is true: a
// part most runs never show costs nothing before. The binding lasts as long as owner.
void bindVisibleOnDemand(Shown<bool>& value, QObject* owner, std::function<QWidget*()> build);
void bindCheck(Shown<bool>& value, BitmapCheckBox* box);
void bindRange(RangeValue& value, QAbstractSlider* slider);
// Shows the model in the list view with rows 13 pixels high and keeps the selection in step.
void bindList(RowListModelBase& model, QListView* view);
// The editor shows the lines; what the user types becomes the lines.
void bindLines(Shown<QStringList>& lines, QPlainTextEdit* editor);
