#include "platform/windowplacement.h"

#include <algorithm>

namespace zentrio {

namespace {

    constexpr int kGrabWidth = 100; // enough of a title bar to take hold of

    bool stripReachable(const QRect& strip, const QList<QRect>& screens)
    {
        const int needed = std::min(kGrabWidth, strip.width());
        return std::any_of(screens.begin(), screens.end(), [&](const QRect& screen) {
            const QRect shown = screen.intersected(strip);
            return shown.height() == strip.height() && shown.width() >= needed;
        });
    }

    long long overlap(const QRect& a, const QRect& b)
    {
        const QRect both = a.intersected(b);
        return both.isEmpty() ? 0 : static_cast<long long>(both.width()) * both.height();
    }

    QPoint clampedInto(const QRect& frame, const QRect& screen)
    {
        const int x = std::clamp(frame.left(), screen.left(), std::max(screen.left(), screen.right() + 1 - frame.width()));
        const int y = std::clamp(frame.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - frame.height()));
        return { x, y };
    }

} // namespace

bool platformKnowsWindowPositions(const QString& platformName)
{
    return !platformName.startsWith(QLatin1String("wayland"));
}

QPoint reachablePosition(const QRect& frame, int stripHeight, const ScreenLayout& screens)
{
    if (screens.available.isEmpty())
        return frame.topLeft();
    const QRect strip(frame.topLeft(), QSize(frame.width(), std::max(1, stripHeight)));
    if (stripReachable(strip, screens.available))
        return frame.topLeft();
    const auto most = std::max_element(screens.available.begin(), screens.available.end(),
        [&](const QRect& a, const QRect& b) { return overlap(a, frame) < overlap(b, frame); });
    if (overlap(*most, frame) == 0) {
        const QRect& primary = screens.available.at(std::clamp(screens.primary, 0, int(screens.available.size()) - 1));
        return primary.topLeft()
            + QPoint((primary.width() - frame.width()) / 2, (primary.height() - frame.height()) / 2);
    }
    return clampedInto(frame, *most);
}

} // namespace zentrio
