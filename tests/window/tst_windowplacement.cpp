#include "platform/windowplacement.h"

#include <QTest>

using namespace zentrio;

class WindowPlacementTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aPositionIsKeptOnlyWhereItsTitleBarCanBeReached_data();
    void aPositionIsKeptOnlyWhereItsTitleBarCanBeReached();
    void waylandKeepsNoPositions();
};

void WindowPlacementTest::aPositionIsKeptOnlyWhereItsTitleBarCanBeReached_data()
{
    QTest::addColumn<QPoint>("wanted");
    QTest::addColumn<QPoint>("expected");
    // Two screens side by side: 1920x1080 (primary) and 1280x1024 to its right.
    QTest::newRow("on a screen") << QPoint(100, 50) << QPoint(100, 50);
    QTest::newRow("partly off to the right, title reachable") << QPoint(1700, 900) << QPoint(1700, 900);
    QTest::newRow("menu bar above the top") << QPoint(-3, -30) << QPoint(0, 0);
    QTest::newRow("title below the bottom of the second screen") << QPoint(2500, 1010) << QPoint(2400, 524);
    QTest::newRow("only a sliver of title left") << QPoint(-760, 200) << QPoint(0, 200);
    QTest::newRow("off every screen") << QPoint(-9000, 9000) << QPoint(560, 290);
}

void WindowPlacementTest::aPositionIsKeptOnlyWhereItsTitleBarCanBeReached()
{
    QFETCH(QPoint, wanted);
    const ScreenLayout screens { { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) }, 0 };
    QTEST(reachablePosition(QRect(wanted, QSize(800, 500)), 52, screens), "expected");
}

void WindowPlacementTest::waylandKeepsNoPositions()
{
    QVERIFY(!platformKnowsWindowPositions("wayland"));
    QVERIFY(!platformKnowsWindowPositions("wayland-egl"));
    QVERIFY(platformKnowsWindowPositions("xcb"));
    QVERIFY(platformKnowsWindowPositions("offscreen"));
}

QTEST_GUILESS_MAIN(WindowPlacementTest)
#include "tst_windowplacement.moc"
