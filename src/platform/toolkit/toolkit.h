#pragma once

#include <QString>

class QIcon;
class QWidget;

namespace plenwick {

// The application's title: the settings store's application name and the caption
// of its message box.
QString applicationTitle();

// Lets pending window events run once, then returns.
void yieldToEvents();

// Whether the program places its own windows. A native Wayland client cannot: the
// compositor places every window, and what the toolkit reports as a window's position
// there is no place on the screen. Where this is false, positions are neither set nor
// stored; sizes are.
bool canPlaceWindows();

// Shows a message box with the critical (stop) icon. It does not block: the program
// goes on, and while one such box is open no second one stacks on top of it.
// Returns false when a box was already open and none was shown.
bool showCriticalMessage(QWidget *parent, const QString &text, const QString &caption);

// The application's icon, the same for every window.
QIcon applicationIcon();

// Makes `window`, a window whose parent is the main window, one of the program's
// secondary windows: a tool window that the desktop keeps over the main window, that
// has no button in the task bar or the pager, and that screen readers are told is a
// window. Its flags (Qt::Tool, no minimise or maximise button) are the caller's.
void makeToolWindow(QWidget *window);

} // namespace plenwick
