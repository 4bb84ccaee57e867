#pragma once
// Property tests run one body over a fixed list of seeds so a run is repeatable. A failing QVERIFY or
// QCOMPARE inside the body returns from it; the loop then names the seed and stops, and setting
// VORN_SEED=<n> replays that seed alone.
#include <QTest>
#include <QtGlobal>

template<typename Fn>
void forEachSeed(int n, Fn &&fn)
{
    bool single = false;
    const int only = qEnvironmentVariableIntValue("VORN_SEED", &single);
    for (int seed = single ? only : 1; seed <= (single ? only : n); ++seed) {
        fn(static_cast<quint32>(seed));
        if (QTest::currentTestFailed()) {
            qWarning("failing seed: %d (replay with VORN_SEED=%d)", seed, seed);
            return;
        }
    }
}
