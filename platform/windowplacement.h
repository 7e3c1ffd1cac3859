#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

// Where a restored window may go. Some platforms (Wayland) neither tell a
// program where its window is nor let it choose: there a position is never
// saved nor applied. Elsewhere a saved position is kept unless it would
// leave the window's title bar and menu bar where they cannot be reached.
namespace zentrio {

bool platformKnowsWindowPositions(const QString& platformName);

struct ScreenLayout {
    QList<QRect> available; // each screen's area for windows
    int primary = 0;
};

// The top-left corner for a window frame wanted at frame.topLeft(), whose
// top `stripHeight` pixels hold its title bar and menu bar. Kept when that
// strip is whole on one screen over at least 100 pixels (or its full width);
// a window off every screen goes to the middle of the primary screen; any
// other window moves onto the screen it overlaps most, wholly visible.
QPoint reachablePosition(const QRect& frame, int stripHeight, const ScreenLayout& screens);

} // namespace zentrio
