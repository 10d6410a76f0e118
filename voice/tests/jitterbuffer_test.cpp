#include "voice/core/jitterbuffer.h"
#include "voice/core/networkimpairment.h"
#include "voice/tests/impairedcall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace Voice;

namespace {

QByteArray payload(int sequence)
{
    return QByteArray::number(sequence);
}

// One letter per pop: D<seq> decoded, C concealed (C<seq> with the next
// packet for error correction), S silence.
std::string popTrace(JitterBuffer &buffer, int count)
{
    std::string trace;
    for (int i = 0; i < count; ++i) {
        const PlayoutFrame frame = buffer.pop();
        if (!trace.empty())
            trace += ' ';
        switch (frame.action) {
        case PlayoutAction::Decode: trace += 'D' + frame.payload.toStdString(); break;
        case PlayoutAction::Conceal: trace += 'C' + frame.payload.toStdString(); break;
        case PlayoutAction::Silence: trace += 'S'; break;
        }
    }
    return trace;
}

} // namespace

TEST(JitterBuffer, PlaysInOrderWhatArrivedOutOfOrder)
{
    JitterBuffer buffer;
    for (int seq : {10, 12, 11, 13})
        buffer.push(quint16(seq), payload(seq), 0);
    EXPECT_EQ(popTrace(buffer, 4), "D10 D11 D12 D13");
}

TEST(JitterBuffer, LostFrameIsConcealedWithTheNextPacketForRedundancy)
{
    JitterBuffer buffer;
    for (int seq : {1, 2, 4, 5})
        buffer.push(quint16(seq), payload(seq), seq * 20);
    EXPECT_EQ(popTrace(buffer, 4 + 1), "D1 D2 C4 D4 D5");
    EXPECT_EQ(buffer.stats().concealed, 1);
}

TEST(JitterBuffer, TwoLostFramesConcealTheFirstWithoutRedundancy)
{
    JitterBuffer buffer;
    for (int seq : {1, 4})
        buffer.push(quint16(seq), payload(seq), seq * 20);
    EXPECT_EQ(popTrace(buffer, 4), "D1 C C4 D4");
}

TEST(JitterBuffer, LatePacketKeepsItsPlaceInsteadOfBeingLost)
{
    JitterBuffer buffer;
    buffer.push(1, payload(1), 0);
    EXPECT_EQ(popTrace(buffer, 2), "D1 C");
    // Packet 2 was late, not lost: it still plays, one frame later.
    buffer.push(2, payload(2), 45);
    buffer.push(3, payload(3), 60);
    EXPECT_EQ(popTrace(buffer, 2), "D2 D3");
    EXPECT_EQ(buffer.stats().late, 0);
}

TEST(JitterBuffer, PacketAfterItsSlotWasConcealedIsDroppedAsLate)
{
    JitterBuffer buffer;
    for (int seq : {1, 3})
        buffer.push(quint16(seq), payload(seq), seq * 20);
    EXPECT_EQ(popTrace(buffer, 2), "D1 C3");
    buffer.push(2, payload(2), 40);
    EXPECT_EQ(popTrace(buffer, 1), "D3");
    EXPECT_EQ(buffer.stats().late, 1);
}

TEST(JitterBuffer, EndOfTalkFadesToSilenceAndNextTalkRebuffers)
{
    JitterBuffer buffer;
    buffer.push(1, payload(1), 20);
    EXPECT_EQ(popTrace(buffer, 8), "D1 C C C C C S S");
    EXPECT_FALSE(buffer.isPlaying());
    // The speaker's next spurt starts from its own first packet.
    buffer.push(40, payload(40), 40 * 20);
    EXPECT_EQ(popTrace(buffer, 1), "D40");
}

TEST(JitterBuffer, SequenceWrapsAround)
{
    JitterBuffer buffer;
    for (int seq : {65534, 0, 65535, 1})
        buffer.push(quint16(seq), payload(seq), 0);
    EXPECT_EQ(popTrace(buffer, 4), "D65534 D65535 D0 D1");
}

TEST(JitterBuffer, DuplicatesPlayOnce)
{
    JitterBuffer buffer;
    for (int seq : {1, 1, 2, 2})
        buffer.push(quint16(seq), payload(seq), 0);
    EXPECT_EQ(popTrace(buffer, 2), "D1 D2");
    EXPECT_EQ(buffer.stats().duplicates, 2);
}

TEST(JitterBuffer, SenderRestartJumpsAheadInsteadOfConcealingTheHole)
{
    JitterBuffer buffer;
    buffer.push(100, payload(100), 0);
    EXPECT_EQ(popTrace(buffer, 1), "D100");
    buffer.push(5000, payload(5000), 20);
    EXPECT_EQ(popTrace(buffer, 1), "D5000");
}

struct DepthCase {
    const char *name;
    int jitterMs; // arrival times swing by up to this much
    int expectedTarget;
};

class JitterDepthTest : public ::testing::TestWithParam<DepthCase>
{
};

TEST_P(JitterDepthTest, TargetFollowsArrivalSpread)
{
    const DepthCase &c = GetParam();
    JitterBuffer buffer(1, 10);
    for (int seq = 0; seq < 60; ++seq) {
        const int swing = (seq % 3 == 0) ? c.jitterMs : 0;
        buffer.push(quint16(seq), payload(seq), seq * 20 + swing);
        buffer.pop();
    }
    EXPECT_EQ(buffer.targetDepth(), c.expectedTarget);
}

INSTANTIATE_TEST_SUITE_P(Spread, JitterDepthTest,
    ::testing::Values(DepthCase{"steady", 0, 1}, DepthCase{"small", 15, 1},
        DepthCase{"one_frame", 25, 2}, DepthCase{"three_frames", 65, 4},
        DepthCase{"capped", 1000, 10}),
    [](const ::testing::TestParamInfo<DepthCase> &row) { return std::string(row.param.name); });

TEST(JitterBuffer, WaitsForTargetDepthBeforeStarting)
{
    JitterBuffer buffer(3, 10);
    buffer.push(1, payload(1), 0);
    buffer.push(2, payload(2), 20);
    EXPECT_EQ(popTrace(buffer, 1), "S");
    buffer.push(3, payload(3), 40);
    EXPECT_EQ(popTrace(buffer, 3), "D1 D2 D3");
}

TEST(JitterBuffer, ShortSpurtPlaysWithoutWaitingForMore)
{
    JitterBuffer buffer(3, 10);
    buffer.push(1, payload(1), 20);
    EXPECT_EQ(popTrace(buffer, 4), "S S D1 C");
}

TEST(JitterBuffer, ShrinksWhenItHoldsMoreThanItNeeds)
{
    JitterBuffer buffer(1, 10);
    // A burst leaves five frames waiting while arrivals stay regular
    // afterwards: the extra delay should go, played out faster, not dropped.
    for (int seq = 0; seq < 5; ++seq)
        buffer.push(quint16(seq), payload(seq), 0);
    int seq = 5;
    double nextStart = 100;
    double shortest = 0;
    for (int tick = 0; tick < 200; ++tick, ++seq) {
        buffer.push(quint16(seq), payload(seq), 100 + tick * 20);
        ImpairedCall::PlayUntil(
            buffer, nextStart, 120 + tick * 20, 20, [&](const PlayoutFrame &frame, double) {
                shortest = std::min(shortest, frame.stretchMs);
            });
    }
    EXPECT_LE(buffer.bufferedFrames(), buffer.targetDepth() + 1);
    EXPECT_LT(shortest, -1);
    EXPECT_EQ(buffer.stats().discarded, 0);
}

namespace {

struct Stall {
    qint64 fromMs; // packets sent from here on
    qint64 lengthMs; // for this long all arrive together at its end
};

struct Played {
    double startMs;
    double delayMs; // send to play
};

// A stream with a 10 ms transit whose packets are held up by the given
// stalls; every decoded frame's start and delay.
std::vector<Played> PlayThroughStalls(
    JitterBuffer &buffer, const std::vector<Stall> &stalls, int seconds)
{
    std::vector<Played> played;
    double nextStart = 5;
    std::multimap<qint64, qint64> inFlight;
    for (qint64 seq = 0; seq < seconds * 50; ++seq) {
        qint64 arrival = seq * 20 + 10;
        for (const Stall &stall : stalls) {
            if (seq * 20 >= stall.fromMs && seq * 20 < stall.fromMs + stall.lengthMs)
                arrival = stall.fromMs + stall.lengthMs + 10;
        }
        inFlight.emplace(arrival, seq);
        const qint64 now = seq * 20 + 15;
        for (; !inFlight.empty() && inFlight.begin()->first <= now;
             inFlight.erase(inFlight.begin()))
            buffer.push(quint16(inFlight.begin()->second), payload(int(inFlight.begin()->second)),
                inFlight.begin()->first);
        ImpairedCall::PlayUntil(
            buffer, nextStart, double(now + 20), 20, [&](const PlayoutFrame &frame, double start) {
                if (frame.action == PlayoutAction::Decode)
                    played.push_back({start, start - frame.payload.toDouble() * 20});
            });
    }
    return played;
}

double DelayAt(const std::vector<Played> &played, double ms)
{
    for (const Played &p : played) {
        if (p.startMs >= ms)
            return p.delayMs;
    }
    return -1;
}

} // namespace

TEST(JitterBuffer, OneStallIsConcealedThenPlayedOutFasterWithinSeconds)
{
    // The sender or the network stops for 80 ms once: the frames are
    // concealed meanwhile, and the delay this added is then played back
    // out, a little at a time, instead of staying for the seconds the
    // arrivals are remembered.
    JitterBuffer buffer;
    const std::vector<Played> played = PlayThroughStalls(buffer, {{4000, 80}}, 10);
    const double before = DelayAt(played, 3900);
    ASSERT_GT(before, 0);
    EXPECT_LE(before, 40);
    double highest = 0;
    bool afterStall = false;
    for (std::size_t i = 1; i < played.size(); ++i) {
        highest = std::max(highest, played[i].delayMs);
        if (played[i].startMs > 4200 && afterStall) {
            // Never faster than the time-scaler goes: no jumps.
            EXPECT_GE(played[i].delayMs, played[i - 1].delayMs - JitterBuffer::FrameMs / 2 - 1)
                << "at " << played[i].startMs;
        }
        afterStall = afterStall || played[i].startMs > 4200;
    }
    EXPECT_GE(highest, before + 60);
    EXPECT_LE(DelayAt(played, 6000), before + 5);
    EXPECT_EQ(buffer.targetDepth(), 1);
    EXPECT_EQ(buffer.stats().discarded, 0);
    EXPECT_EQ(buffer.stats().lost, 0);

    // Stalls that keep coming are waited for instead: after two, the third
    // finds the delay still there and plays without a gap.
    JitterBuffer again;
    const std::vector<Played> repeated
        = PlayThroughStalls(again, {{4000, 80}, {5000, 80}, {6000, 80}}, 7);
    EXPECT_GE(again.targetDepth(), 4);
    EXPECT_GE(DelayAt(repeated, 5990), 80);
    const int concealedBeforeThird = again.stats().concealed;
    JitterBuffer third;
    PlayThroughStalls(third, {{4000, 80}, {5000, 80}}, 6);
    EXPECT_EQ(concealedBeforeThird, third.stats().concealed);
}

TEST(JitterBuffer, FloodIsBounded)
{
    JitterBuffer buffer;
    for (int seq = 0; seq < 1000; ++seq)
        buffer.push(quint16(seq), payload(seq), 0);
    EXPECT_LE(buffer.bufferedFrames(), 128);
}

namespace {

// Median delay from send to play, in ms, of each second of a stream whose
// network has `jitterMs` of jitter during each given second.
std::vector<double> DelayBySecond(const std::vector<int> &jitterBySecond)
{
    JitterBuffer buffer;
    NetworkImpairment network({2, 0, 0, 5});
    std::multimap<qint64, qint64> inFlight;
    std::vector<double> medians;
    std::vector<double> delays;
    qint64 sent = 0;
    double nextStart = 0;
    for (qint64 tick = 0; tick < qint64(jitterBySecond.size()) * 50; ++tick) {
        const qint64 now = tick * 20;
        const int jitter = jitterBySecond[std::size_t(tick / 50)];
        // The draw decides loss; the jitter of this second scales its delay.
        if (const std::optional<int> keep = network.delayFor()) {
            Q_UNUSED(keep);
            const qint64 held = jitter * ((sent * 7919) % 101) / 100;
            inFlight.emplace(now + 10 + held, sent);
        }
        ++sent;
        while (!inFlight.empty() && inFlight.begin()->first <= now + 10) {
            const qint64 index = inFlight.begin()->second;
            buffer.push(quint16(index), QByteArray::number(index), inFlight.begin()->first);
            inFlight.erase(inFlight.begin());
        }
        if (tick == 0)
            nextStart = double(now + 10);
        ImpairedCall::PlayUntil(
            buffer, nextStart, double(now + 30), 20, [&](const PlayoutFrame &frame, double start) {
                if (frame.action == PlayoutAction::Decode)
                    delays.push_back(start - frame.payload.toDouble() * 20);
            });
        if ((tick + 1) % 50 == 0) {
            std::sort(delays.begin(), delays.end());
            medians.push_back(delays.empty() ? -1 : delays[delays.size() / 2]);
            delays.clear();
        }
    }
    return medians;
}

} // namespace

TEST(JitterBuffer, DelayGrowsWithTheJitterStaysBoundedAndComesBackWhenItCalms)
{
    // Five calm seconds, ten of 150 ms jitter, ten of 600 ms (beyond what
    // the buffer may hold), fifteen calm again; 2 % loss throughout, so a
    // frame is kept for the redundancy.
    std::vector<int> jitter(5, 0);
    jitter.insert(jitter.end(), 10, 150);
    jitter.insert(jitter.end(), 10, 600);
    jitter.insert(jitter.end(), 15, 0);
    const std::vector<double> delay = DelayBySecond(jitter);
    ASSERT_EQ(delay.size(), jitter.size());
    EXPECT_LE(delay[4], 60); // calm: two frames and the transit
    // Enough for 150 ms of jitter a few seconds in, and not much more.
    EXPECT_GE(delay[12], 150);
    EXPECT_LE(delay[12], 220);
    // Beyond the bound the buffer holds at its maximum (ten frames, the
    // frame kept for redundancy, the transit, a little slack) instead of
    // following.
    for (std::size_t s = 18; s < 25; ++s)
        EXPECT_LE(delay[s], 12 * JitterBuffer::FrameMs + 10 + 5) << "second " << s;
    // Calm again: the extra delay is played out faster.
    EXPECT_LE(delay.back(), 60);
}
