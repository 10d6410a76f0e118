#include "voice/core/playoutdevice.h"
#include "voice/core/voiceformat.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Voice;

namespace {

// Frames numbered through: sample i of frame f holds f * FrameSamples + i
// (modulo 16 bits), so any slip or repeat shows.
struct CountingSource {
    int frames = 0;
    void operator()(qint16 *frame)
    {
        for (int i = 0; i < FrameSamples; ++i)
            frame[i] = qint16(frames * FrameSamples + i);
        ++frames;
    }
};

} // namespace

TEST(PlayoutDevice, ReadsOfAnySizeMakeOneContinuousStream)
{
    int made = 0;
    CountingSource source;
    PlayoutDevice device([&](qint16 *frame) {
        source(frame);
        made = source.frames;
    });
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    // Sizes a sound server asks for: odd, tiny, across frame edges, large.
    std::vector<qint16> all;
    for (qint64 size : {3, 2, 1919, 1, 4000, 7680, 10}) {
        std::vector<char> buffer(static_cast<std::size_t>(size));
        const qint64 got = device.read(buffer.data(), size);
        // Whole samples only: an odd byte would shift every later sample.
        EXPECT_EQ(got, size / 2 * 2) << size;
        const auto *samples = reinterpret_cast<const qint16 *>(buffer.data());
        all.insert(all.end(), samples, samples + got / 2);
    }
    for (std::size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], qint16(i)) << i;
    // Frames are made only as they are needed.
    EXPECT_EQ(made, int((all.size() + FrameSamples - 1) / FrameSamples));
    EXPECT_TRUE(device.isSequential());
    EXPECT_GE(device.bytesAvailable(), FrameSamples * 2);
}
