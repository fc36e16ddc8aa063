#pragma once
// Where the main window opens: its first size fitted to the screen's
// available area, and the size, position and splitters of the last run
// remembered per screen size, never placed off the screen.

#include <QByteArray>
#include <QRect>
#include <QSize>

#include "app/app_settings.h"

namespace orvald {

// Room for the title bar and borders the window system adds around a window.
inline constexpr QSize kFrameAllowance(16, 48);

// `wanted` shrunk to fit `available`, centred in it.
QRect FitOnScreen(QSize wanted, const QRect& available);
// A remembered frame brought back onto `available`: no larger than it, and
// moved inside when any edge would lie outside.
QRect KeepOnScreen(const QRect& remembered, const QRect& available);

struct WindowPlacement {
  QRect geometry;             // empty: none remembered for this screen
  QByteArray leftAndRight;    // Splitter1's saved state; empty: none
  QByteArray gridAndPicture;  // Splitter2's
};

// Kept apart for each screen size, so a laptop's small screen does not
// shrink the window the desk's large one had.
WindowPlacement ReadWindowPlacement(const SettingsLocation& location, QSize screen);
void WriteWindowPlacement(const SettingsLocation& location, QSize screen, const WindowPlacement& placement);

}  // namespace orvald
