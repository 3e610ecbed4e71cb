#include "TAVO_mgr_streamPacer.h"
#include "TAVO_mgr_tsEntry.h"

#include <QtTest>

#include <algorithm>

namespace {

constexpr qint64 clockWrap = qint64(1) << 33;
// A box's clock reference with every picture of 29.97 a second (3003 ticks, 33.37 ms: no whole
// number of milliseconds), each followed by two packets without one.
constexpr qint64 referenceTicks = 3003;
constexpr qint64 referenceEveryMs = 34;  // rounded up

QByteArray packetWithClock(qint64 pcrTicks)
{
    QByteArray p = QByteArray::fromHex("47010030") + QByteArray::fromHex("0710") + char(pcrTicks >> 25)
                   + char(pcrTicks >> 17) + char(pcrTicks >> 9) + char(pcrTicks >> 1)
                   + char(((pcrTicks & 1) << 7) | 0x7e) + '\0';
    return p.leftJustified(TAVO_mgr_tsEntry::packetSize, char(0xff));
}

const QByteArray plainPacket = QByteArray::fromHex("47010010").leftJustified(TAVO_mgr_tsEntry::packetSize, char(0xff));

using Stalls = QList<QPair<qint64, qint64>>;  // from, how long (ms of the box's time)

// When each of the box's references reached the pacer and when it was handed on.
struct Run
{
    QList<qint64> arrived;
    QList<qint64> handedOn;
    QList<qint64> margins;  // the margin once each reference was handed on
    int packetsIn = 0;
    int packetsOut = 0;
    int overdue = 0;  // times the pacer held a packet whose time it said had come

    qint64 longestHold() const
    {
        qint64 longest = 0;
        for (int i = 0; i < handedOn.size(); ++i)
            longest = std::max(longest, handedOn[i] - arrived[i]);
        return longest;
    }
    // The longest wait between two references handed on, from the one handed on after `fromMs`.
    qint64 longestGapAfter(qint64 fromMs) const
    {
        qint64 longest = 0;
        for (int i = 1; i < handedOn.size(); ++i) {
            if (handedOn[i - 1] >= fromMs)
                longest = std::max(longest, handedOn[i] - handedOn[i - 1]);
        }
        return longest;
    }
};

// A box sends `seconds` of its stream, a reference every referenceEveryMs, sometimes up to
// `jitterMs` late; during a stall nothing comes, and all that was held back comes when it ends.
// `jumpAtMs` moves the box's clock by an hour from then on. The pacer is asked every millisecond.
// `earlyMs`: the encoder's first second comes that much faster than the box's clock, as an encoder
// that has just started sends it.
Run play(const Stalls &stalls, int seconds, qint64 firstTicks = 0, qint64 jumpAtMs = -1, qint64 jitterMs = 0,
         qint64 earlyMs = 0)
{
    TAVO_mgr_streamPacer pacer;
    Run run;
    QList<QPair<qint64, QByteArray>> sent;  // arrival, packets
    for (qint64 i = 0; i * referenceTicks < seconds * 90000; ++i) {
        const qint64 at = i * referenceTicks / 90;
        // What is sent comes in order.
        const qint64 onTime = at < 1000 ? at * (1000 - earlyMs) / 1000 : at;
        qint64 arrival = std::max(onTime + (i % 3) * jitterMs / 2, run.arrived.isEmpty() ? 0 : run.arrived.last());
        for (const auto &[from, length] : stalls) {
            if (arrival >= from && arrival < from + length)
                arrival = from + length;
        }
        const qint64 jump = jumpAtMs >= 0 && at >= jumpAtMs ? 3600000 * 90 : 0;
        const qint64 ticks = (firstTicks + i * referenceTicks + jump) % clockWrap;
        sent.append({arrival, packetWithClock(ticks) + plainPacket + plainPacket});
        run.arrived.append(arrival);
    }
    std::stable_sort(sent.begin(), sent.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    int next = 0;
    for (qint64 now = 0; now < seconds * 1000 + TAVO_mgr_streamPacer::marginLimitMs; ++now) {
        while (next < sent.size() && sent[next].first == now) {
            pacer.take(sent[next].second, now);
            run.packetsIn += 3;
            ++next;
        }
        const QByteArray due = pacer.takeDue(now);
        for (qsizetype at = 0; at < due.size(); at += TAVO_mgr_tsEntry::packetSize) {
            ++run.packetsOut;
            if (TAVO_mgr_tsEntry::clockReferenceOf(due.constData() + at)) {
                run.handedOn.append(now);
                run.margins.append(pacer.marginMs());
            }
        }
        if (const std::optional<qint64> next = pacer.nextDueMs(); next && *next <= now)
            ++run.overdue;
    }
    return run;
}

// A weak link's stalls: 50-200 ms, some three a second from `fromMs` for `forMs`.
Stalls weakLink(qint64 fromMs, qint64 forMs)
{
    Stalls stalls;
    const qint64 lengths[] = {120, 50, 200, 80, 170, 60};
    int i = 0;
    for (qint64 at = fromMs; at < fromMs + forMs; at += 330, ++i)
        stalls.append({at, lengths[i % 6]});
    return stalls;
}

} // namespace

class tst_streamPacer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void holdsTheMargin_data();
    void holdsTheMargin();
    void marginShrinksBackSlowly();
};

void tst_streamPacer::holdsTheMargin_data()
{
    QTest::addColumn<Stalls>("stalls");
    QTest::addColumn<qint64>("jitterMs");
    QTest::addColumn<qint64>("firstTicks");
    QTest::addColumn<qint64>("jumpAtMs");
    QTest::addColumn<qint64>("earlyMs");
    QTest::addColumn<qint64>("steadyFromMs");  // what is handed on from then on has no gap
    QTest::addColumn<qint64>("longestStallMs");

    QTest::newRow("a steady box is handed on as it comes") << Stalls() << qint64(0) << qint64(0) << qint64(-1)
                                                           << qint64(0) << qint64(0) << qint64(0);
    QTest::newRow("an encoder's jitter deepens nothing")
        << Stalls() << TAVO_mgr_streamPacer::jitterMs << qint64(0) << qint64(-1) << qint64(0) << qint64(-1) << qint64(0);
    QTest::newRow("one stall deepens the margin once") << Stalls{{2000, 150}} << qint64(0) << qint64(0) << qint64(-1) << qint64(0)
                                                       << qint64(2200) << qint64(150);
    QTest::newRow("a weak link's stalls are absorbed after its longest")
        << weakLink(1000, 20000) << qint64(0) << qint64(0) << qint64(-1) << qint64(0) << qint64(4000) << qint64(200);
    QTest::newRow("across the clock's wrap") << weakLink(1000, 20000) << qint64(0) << clockWrap - 90 * 5000
                                             << qint64(-1) << qint64(0) << qint64(4000) << qint64(200);
    QTest::newRow("a joiner's first share goes at once and adds no margin")
        << Stalls{{0, 500}} << qint64(0) << qint64(0) << qint64(-1) << qint64(0) << qint64(500) << qint64(0);
    QTest::newRow("an encoder's early start moves no later packet")
        << Stalls() << qint64(0) << qint64(0) << qint64(-1) << qint64(400) << qint64(1100) << qint64(-1);
    QTest::newRow("a jump of the clock holds nothing back")
        << weakLink(1000, 20000) << qint64(0) << qint64(0) << qint64(10000) << qint64(0) << qint64(-1) << qint64(200);
}

// What a stalling box sends reaches the player at the box's pace once the margin covers the
// longest stall: no gap longer than the box's own between two clock references. Nothing is held
// longer than the margin, nothing is lost, and a box that never stalls is not held at all.
void tst_streamPacer::holdsTheMargin()
{
    QFETCH(Stalls, stalls);
    QFETCH(qint64, jitterMs);
    QFETCH(qint64, firstTicks);
    QFETCH(qint64, jumpAtMs);
    QFETCH(qint64, earlyMs);
    QFETCH(qint64, steadyFromMs);
    QFETCH(qint64, longestStallMs);

    const Run run = play(stalls, 40, firstTicks, jumpAtMs, jitterMs, earlyMs);

    QCOMPARE(run.packetsOut, run.packetsIn);
    QCOMPARE(run.overdue, 0);
    // A stall costs as much as it lasted, less what came just before it.
    const qint64 margin = run.margins.last();
    if (longestStallMs < 0)
        QVERIFY(margin <= TAVO_mgr_streamPacer::headroomMs);
    else if (longestStallMs == 0)
        QCOMPARE(margin, TAVO_mgr_streamPacer::leastMarginMs);
    else
        QVERIFY2(margin > longestStallMs - referenceEveryMs && margin <= longestStallMs + TAVO_mgr_streamPacer::headroomMs,
                 qPrintable(QString::number(margin)));
    const qint64 deepest = *std::max_element(run.margins.cbegin(), run.margins.cend());
    QVERIFY2(run.longestHold() <= deepest, qPrintable(QString::number(run.longestHold())));
    if (stalls.isEmpty() && earlyMs == 0)
        QCOMPARE(run.handedOn, run.arrived);
    if (steadyFromMs >= 0)
        QVERIFY2(run.longestGapAfter(steadyFromMs) <= referenceEveryMs + 1,
                 qPrintable(QString::number(run.longestGapAfter(steadyFromMs))));
}

// Once the box has not stalled for a while, the margin goes back to the least, never faster than
// its pace: what is handed on never comes much faster than the box's clock.
void tst_streamPacer::marginShrinksBackSlowly()
{
    const int seconds = 10 + TAVO_mgr_streamPacer::stallMemoryMs / 1000 + 30;
    const Run run = play(weakLink(1000, 9000), seconds);

    QCOMPARE(run.margins.last(), TAVO_mgr_streamPacer::leastMarginMs);
    // The last of the longest stalls came at 9.6 s: it holds the margin for stallMemoryMs.
    const int remembered = int((9000 + TAVO_mgr_streamPacer::stallMemoryMs) * 90 / referenceTicks);
    QVERIFY(run.margins[remembered] > 200 - referenceEveryMs);
    for (int i = remembered; i < run.handedOn.size(); ++i) {
        const qint64 shrunk = run.margins[i - 1] - run.margins[i];
        QVERIFY2(shrunk <= TAVO_mgr_streamPacer::shrinkMsPerSecond * referenceEveryMs / 1000 + 1,
                 qPrintable(QStringLiteral("%1 ms at %2").arg(shrunk).arg(i)));
        QVERIFY(run.handedOn[i] - run.handedOn[i - 1] >= referenceTicks / 90 - shrunk - 1);
    }
}

QTEST_GUILESS_MAIN(tst_streamPacer)
#include "tst_streamPacer.moc"
