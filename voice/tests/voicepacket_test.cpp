#include "voice/core/voicepacket.h"

#include <gtest/gtest.h>

using namespace Voice;

namespace {

QByteArray packet(
    quint16 sequence, int payloadSize, quint16 streamId = 7, quint8 codec = CodecOpus48kMono20ms)
{
    PacketHeader header;
    header.sequence = sequence;
    header.codec = codec;
    header.streamId = streamId;
    return EncodeVoicePacket(header, QByteArray(payloadSize, char('a' + sequence % 26)));
}

} // namespace

TEST(VoicePacket, HeaderBytesOnTheWire)
{
    PacketHeader header;
    header.sequence = 0x1234;
    header.streamId = 0xBEEF;
    const QByteArray bytes = EncodeVoicePacket(header, QByteArray(300, 'x'));
    ASSERT_EQ(bytes.size(), 308);
    // Relays read only the length, bytes 4-5 little-endian.
    EXPECT_EQ(quint8(bytes[4]), 300 & 0xff);
    EXPECT_EQ(quint8(bytes[5]), 300 >> 8);
    EXPECT_EQ(quint8(bytes[0]), 0x34);
    EXPECT_EQ(quint8(bytes[1]), 0x12);
    EXPECT_EQ(quint8(bytes[2]), CodecOpus48kMono20ms);
    EXPECT_EQ(quint8(bytes[6]), 0xEF);
    EXPECT_EQ(quint8(bytes[7]), 0xBE);

    const SplitDatagram split = SplitVoiceDatagram(bytes);
    ASSERT_EQ(split.packets.size(), 1);
    EXPECT_EQ(split.packets[0].header.sequence, 0x1234);
    EXPECT_EQ(split.packets[0].header.streamId, 0xBEEF);
    EXPECT_EQ(split.packets[0].payload, QByteArray(300, 'x'));
    EXPECT_EQ(split.discardedBytes, 0);
}

struct SplitCase {
    const char *name;
    QByteArray datagram;
    QList<quint16> sequences; // of the packets kept, in order
    int discardedBytes;
};

class SplitDatagramTest : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitDatagramTest, KeepsWholePacketsInOrder)
{
    const SplitCase &c = GetParam();
    const SplitDatagram split = SplitVoiceDatagram(c.datagram);
    QList<quint16> sequences;
    for (const VoicePacket &p : split.packets) {
        sequences << p.header.sequence;
        EXPECT_EQ(p.payload.size(), p.header.payloadLength);
    }
    EXPECT_EQ(sequences, c.sequences);
    EXPECT_EQ(split.discardedBytes, c.discardedBytes);
}

QByteArray lengthField(QByteArray bytes, quint16 length)
{
    bytes[4] = char(length & 0xff);
    bytes[5] = char(length >> 8);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Datagrams, SplitDatagramTest,
    ::testing::Values(SplitCase{"bundled_20_and_30", packet(1, 20) + packet(2, 30), {1, 2}, 0},
        SplitCase{"three_bundled", packet(5, 60) + packet(6, 61) + packet(7, 1), {5, 6, 7}, 0},
        SplitCase{"header_only", QByteArray(8, '\0'), {}, 8},
        SplitCase{"nine_bytes_length_one", packet(3, 1), {3}, 0},
        SplitCase{"last_packet_cut_short", packet(1, 20) + packet(2, 30).left(20), {1}, 20},
        SplitCase{"length_beyond_datagram", lengthField(packet(1, 20), 21), {}, 28},
        SplitCase{"length_0x8000_drops_rest",
            packet(1, 10) + lengthField(packet(2, 10), 0x8000) + packet(3, 10), {1}, 36},
        SplitCase{"unknown_codec_skipped_not_fatal", packet(1, 10, 7, 99) + packet(2, 10), {2}, 18},
        SplitCase{"empty_payload_skipped", packet(1, 0) + packet(2, 5), {2}, 8},
        SplitCase{"trailing_bytes_shorter_than_header", packet(1, 5) + QByteArray(5, 'z'), {1}, 5},
        SplitCase{"largest_opus_payload", packet(1, MaxPayloadSize), {1}, 0},
        SplitCase{"empty_datagram", QByteArray(), {}, 0}),
    [](const ::testing::TestParamInfo<SplitCase> &row) { return std::string(row.param.name); });

TEST(VoicePacket, PayloadAboveOpusMaximumIsSkipped)
{
    QByteArray bytes = packet(1, 10);
    bytes = lengthField(bytes, MaxPayloadSize + 1) + QByteArray(MaxPayloadSize + 1 - 10, 'q');
    const SplitDatagram split = SplitVoiceDatagram(bytes + packet(2, 4));
    ASSERT_EQ(split.packets.size(), 1);
    EXPECT_EQ(split.packets[0].header.sequence, 2);
}
