#include "voice/wire/voicewire.h"

#include "fuzz/voice/wirechecks.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace VoiceWire;

namespace {

// A packet whose engine bytes are all `fill`, with the given length field.
QByteArray packet(quint16 payload, char fill, quint16 lengthField)
{
    QByteArray bytes(HeaderSize + payload, fill);
    setPayloadLength(bytes.data(), lengthField);
    return bytes;
}

QByteArray packet(quint16 payload, char fill)
{
    return packet(payload, fill, payload);
}

struct SplitRow {
    const char *name;
    QByteArray datagram;
    QList<qsizetype> sizes; // of the packets kept, in order
    qsizetype droppedBytes;
    Dropped reason;
};

class SplitRows : public testing::TestWithParam<SplitRow>
{
};

TEST_P(SplitRows, KeepsWholePacketsOnly)
{
    const SplitRow &row = GetParam();
    const Split split = splitDatagram(row.datagram);
    QList<qsizetype> sizes;
    for (const QByteArrayView view : split.packets)
        sizes.append(view.size());
    EXPECT_EQ(sizes, row.sizes);
    EXPECT_EQ(split.droppedBytes, row.droppedBytes);
    EXPECT_EQ(int(split.reason), int(row.reason));
    EXPECT_EQ(WireChecks::splitProblem(row.datagram), QString());
}

INSTANTIATE_TEST_SUITE_P(Datagrams, SplitRows,
    testing::Values(SplitRow{"TwoBundledMake28And38", packet(20, 'a') + packet(30, 'b'), {28, 38},
                        0, Dropped::Nothing},
        SplitRow{"EightBytesGiveNothing", packet(0, 'a'), {}, 8, Dropped::EmptyPacket},
        SplitRow{"NineBytesLengthOne", packet(1, 'a'), {9}, 0, Dropped::Nothing},
        SplitRow{"EmptyPacketInsideIsSkipped", packet(4, 'a') + packet(0, 'b') + packet(2, 'c'),
            {12, 10}, 8, Dropped::EmptyPacket},
        SplitRow{"LastPacketCutShort", packet(4, 'a') + packet(10, 'b').left(12), {12}, 12,
            Dropped::CutShort},
        SplitRow{"HeaderCutShort", packet(4, 'a') + QByteArray(5, 'z'), {12}, 5, Dropped::CutShort},
        SplitRow{"LengthBeyondDatagram", packet(20, 'a', 21), {}, 28, Dropped::CutShort},
        SplitRow{"Length0x8000DropsTheRest",
            packet(4, 'a') + packet(10, 'b', 0x8000) + packet(3, 'c'), {12}, 29,
            Dropped::LengthOverLimit},
        SplitRow{"Length0x7fffFits", packet(0x7fff, 'a'), {8 + 0x7fff}, 0, Dropped::Nothing},
        SplitRow{"LengthLimitEndsEvenAfterACut", packet(10, 'a', 0xffff), {}, 18,
            Dropped::LengthOverLimit},
        SplitRow{"EmptyDatagram", QByteArray(), {}, 0, Dropped::Nothing}),
    [](const testing::TestParamInfo<SplitRow> &row) { return std::string(row.param.name); });

TEST(VoiceWire, ViewsPointIntoTheDatagramAndKeepEngineBytes)
{
    QByteArray datagram = packet(3, 'a') + packet(5, 'b') + packet(1, 'c') + packet(2, 'd')
        + packet(6, 'e') + packet(7, 'f');
    datagram[0] = '\x11';
    const Split split = splitDatagram(datagram);
    ASSERT_EQ(split.packets.size(), 6); // more than the inline capacity
    EXPECT_EQ(split.packets[0].data(), datagram.constData());
    EXPECT_EQ(split.packets[0][0], '\x11');
    EXPECT_EQ(split.packets[5], packet(7, 'f'));
    EXPECT_EQ(payloadLength(split.packets[1]), 5);
}

TEST(VoiceWire, RegistrationForEveryKeyLength)
{
    const QByteArray key = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    EXPECT_EQ(registrationPacket(key), QByteArray("key=") + key);
    EXPECT_EQ(registrationPacket(key.left(8)), QByteArray("key=") + key.left(8) + QByteArray(8, 0));
    // A longer key is cut: the packet stays 20 bytes whatever the server sent.
    EXPECT_EQ(registrationPacket(key + "tail"), QByteArray("key=") + key);
    EXPECT_EQ(registrationPacket({}), QByteArray("key=") + QByteArray(16, 0));

    const QByteArray registration = registrationPacket(key);
    EXPECT_EQ(parseRegistration(registration), key);
    EXPECT_FALSE(parseRegistration(registration + 'x'));
    EXPECT_FALSE(parseRegistration(registration.chopped(1)));
    EXPECT_FALSE(parseRegistration(QByteArray("kez=") + key));
    EXPECT_EQ(parseRegistration(registrationPacket(key.left(3))), key.left(3) + QByteArray(13, 0));
}

TEST(VoiceWire, KeptFuzzInputsHoldTheRules)
{
    const QDir corpus(QStringLiteral(LUMO_VOICEWIRE_CORPUS));
    const QStringList names = corpus.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty()) << "no kept inputs in " << qPrintable(corpus.path());
    for (const QString &name : names) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(WireChecks::splitProblem(bytes), QString()) << qPrintable(name);
        EXPECT_EQ(WireChecks::registrationProblem(bytes), QString()) << qPrintable(name);
    }
}

} // namespace
