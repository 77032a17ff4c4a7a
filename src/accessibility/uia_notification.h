#pragma once

class QString;
class QWidget;

// Raises a UI Automation notification with text for window (queued after any
// before it, so that quick arrivals do not cut each other off). False where
// the system lacks UI Automation's notifications (before Windows 10 1709, and
// Wine), looked up when the program runs.
bool raiseWindowsNotification(QWidget *window, const QString &text);
