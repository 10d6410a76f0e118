#include "protocol/framecodec.h"
#include "protocol/messages.h"
#include "protocol/tests/loopback.h"
#include "protocol/wire.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

MsgContent sampleNote()
{
    MsgContent msg;
    msg.mcVersion = 1;
    msg.mcLanguage = 1;
    msg.mcCommandType = mtNotes;
    msg.mcID = 1234;
    msg.mcLength = 4;
    msg.mcDatas = fromHex("61006200");
    return msg;
}

} // namespace

TEST(FrameCodec, EncodesTheHeaderByteForByte)
{
    Wire::Failure failure;
    EXPECT_EQ(FrameCodec::ConvertToStream(sampleNote(), 20, failure),
        fromHex("090000000100d204000000000000040061006200"));
    EXPECT_FALSE(failure);

    MsgContent msg;
    msg.mcVersion = 3;
    msg.mcLanguage = 5;
    msg.mcLength = 300;
    msg.mcDatas = QByteArray(300, 'x');
    const QByteArray bytes = FrameCodec::ConvertToStream(msg, 316, failure);
    EXPECT_EQ(quint8(bytes[0]), 0x1D);
    EXPECT_EQ(bytes.mid(14, 2), fromHex("2c01"));
}

TEST(FrameCodec, EncodingShortfallsStayZeroAndFail)
{
    MsgContent msg = sampleNote();
    Wire::Failure failure;
    // Payload shorter than asked for: the missing bytes stay 0.
    const QByteArray bytes = FrameCodec::ConvertToStream(msg, 22, failure);
    EXPECT_EQ(bytes.size(), 22);
    EXPECT_EQ(bytes.right(2), fromHex("0000"));
    EXPECT_EQ(failure.number, Wire::IndexOutOfRange);

    Wire::Failure shortFailure;
    EXPECT_EQ(FrameCodec::ConvertToStream(msg, 10, shortFailure).size(), 10);
    EXPECT_TRUE(shortFailure);
}

TEST(FrameCodec, DecodesWhatItEncodes)
{
    const QByteArray bytes = fromHex("090000000100d204000000000000040061006200");
    Wire::Failure failure;
    QString warning;
    const MsgContent msg = FrameCodec::ConvertToMessage(bytes, 20, failure, &warning);
    EXPECT_EQ(msg.mcVersion, 1);
    EXPECT_EQ(msg.mcLanguage, 1);
    EXPECT_EQ(msg.mcCommandType, mtNotes);
    EXPECT_EQ(msg.mcCommandVerb, 0);
    EXPECT_EQ(msg.mcID, 1234);
    EXPECT_EQ(msg.mcLength, 4);
    EXPECT_EQ(msg.mcDatas, fromHex("61006200"));
    EXPECT_TRUE(warning.isEmpty());
    EXPECT_FALSE(failure);

    FrameCodec::ConvertToMessage(bytes, 21, failure, &warning);
    EXPECT_EQ(warning, u"[Warnning] Total Length <> length of datas 21/4"_s);

    const MsgContent empty = FrameCodec::ConvertToMessage(
        fromHex("09000000010000000000000000000000"), 16, failure, nullptr);
    EXPECT_TRUE(empty.mcDatas.isEmpty());

    const MsgContent allBits = FrameCodec::ConvertToMessage(
        fromHex("ff000000010000000000000000000000"), 16, failure, nullptr);
    EXPECT_EQ(allBits.mcVersion, 31);
    EXPECT_EQ(allBits.mcLanguage, 7);
}

TEST(FrameCodec, DecodingTruncatedOrOverflowingFramesFailsSoftly)
{
    Wire::Failure failure;
    // Frame announces 4 payload bytes but holds 2: the missing ones are 0.
    MsgContent msg = FrameCodec::ConvertToMessage(
        fromHex("09000000010000000000000000000400aabb"), 18, failure, nullptr);
    EXPECT_EQ(msg.mcDatas, fromHex("aabb0000"));
    EXPECT_EQ(failure.number, Wire::IndexOutOfRange);

    Wire::Failure overflow;
    msg = FrameCodec::ConvertToMessage(
        fromHex("09000000010001020380000000000000"), 16, overflow, nullptr);
    EXPECT_EQ(msg.mcID, 0);
    EXPECT_EQ(overflow.number, Wire::Overflow);

    Wire::Failure tiny;
    msg = FrameCodec::ConvertToMessage(fromHex("0900"), 2, tiny, nullptr);
    EXPECT_EQ(msg.mcCommandType, 0);
    EXPECT_TRUE(tiny);
}

TEST(FrameCodec, FrameLengthRule)
{
    EXPECT_EQ(FrameCodec::GetMessageLength(0x0A, 1, 0, 0), 0);
    for (const quint8 type : {13, 14, 15, 20, 29, 255})
        EXPECT_EQ(FrameCodec::GetMessageLength(9, type, 0, 0), 0) << int(type);
    for (const quint8 type : {0, 12, 21, 28})
        EXPECT_EQ(FrameCodec::GetMessageLength(9, type, 0, 0), 16) << int(type);
    EXPECT_EQ(FrameCodec::GetMessageLength(9, 21, 0, 0), 16);
    EXPECT_EQ(FrameCodec::GetMessageLength(9, 1, 0xFF, 0xFF), 65551);

    using FrameCodec::CutStatus;
    EXPECT_EQ(FrameCodec::cutFrame(fromHex("09000000")).status, CutStatus::Incomplete);
    EXPECT_EQ(FrameCodec::cutFrame(frame(1, 0, 0, "ab").left(17)).status, CutStatus::Incomplete);
    const auto cut = FrameCodec::cutFrame(frame(1, 0, 0, "ab") + "x");
    EXPECT_EQ(cut.status, CutStatus::Frame);
    EXPECT_EQ(cut.length, 18);
    EXPECT_EQ(FrameCodec::cutFrame(frame(13, 0, 0, {})).status, CutStatus::Refused);
}

TEST(WireText, PadRightAndStripZeroBytes)
{
    EXPECT_EQ(Wire::PadRight(u"42"_s, 10), u"42        "_s);
    EXPECT_EQ(Wire::PadRight(u"abc"_s, 3), u"abc"_s);
    Wire::Failure failure;
    EXPECT_EQ(Wire::PadRight(u"abcd"_s, 3, &failure), u"abcd"_s);
    EXPECT_EQ(failure.number, Wire::InvalidArgument);

    EXPECT_EQ(Wire::StripZeroBytes(u"  abc "_s), QByteArray("abc"));
    EXPECT_EQ(Wire::StripZeroBytes(u"    "_s), QByteArray());
    EXPECT_EQ(Wire::StripZeroBytes(u"中"_s), fromHex("2d4e"));
    // A code unit with a zero high byte keeps only its low byte.
    EXPECT_EQ(Wire::StripZeroBytes(u"a\u0100b"_s), fromHex("610162"));
}

TEST(WireText, AnsiFieldsUseGbkAndKeepNuls)
{
    QString text;
    Wire::appendAnsiField(text, fromHex("416c69") + QByteArray(13, '\0'), 16);
    EXPECT_EQ(text, u"Ali"_s + QString(13, QChar(u'\0')));

    text.clear();
    Wire::appendAnsiField(text, Wire::narrowBytes(u"王老师"_s), 16); // 6 GBK bytes
    EXPECT_EQ(text, u"王老师"_s + QString(13, u' '));
    EXPECT_EQ(Wire::narrowBytes(u"王"_s), fromHex("cdf5"));
    EXPECT_EQ(Wire::wideText(fromHex("680069")), u"h"_s); // odd last byte dropped
}

TEST(FrameAssembler, CutsFramesAcrossAppendsAndPartialReads)
{
    FrameAssembler assembler;
    const QByteArray a = frame(mtNotes, 0, 5, "ab");
    const QByteArray b = frame(mtUrl, 0, 6, "cdef");
    const QByteArray stream = a + b;

    // A read that fills less than it reserved keeps only what was written.
    char *tail = assembler.reserveTail(64);
    std::memcpy(tail, stream.constData(), 20);
    assembler.commit(20);
    EXPECT_EQ(assembler.pending(), 20);

    QByteArrayView cut;
    ASSERT_EQ(assembler.peek(&cut), FrameCodec::CutStatus::Frame);
    EXPECT_EQ(cut.toByteArray(), a);
    assembler.consume(cut.size());
    EXPECT_EQ(assembler.peek(&cut), FrameCodec::CutStatus::Incomplete);

    assembler.append(QByteArrayView(stream).sliced(20));
    ASSERT_EQ(assembler.peek(&cut), FrameCodec::CutStatus::Frame);
    EXPECT_EQ(cut.toByteArray(), b);
    assembler.consume(cut.size());
    EXPECT_EQ(assembler.pending(), 0);

    assembler.append(fromHex("0a") + QByteArray(15, '\0'));
    EXPECT_EQ(assembler.peek(&cut), FrameCodec::CutStatus::Refused);
    assembler.clear();
    EXPECT_EQ(assembler.pending(), 0);
}

// Reads of every size, some filling less than they reserved, with frames
// taken out between them: the frames come out whole and in order whatever
// is left over from the read before.
TEST(FrameAssembler, RandomReadsGiveTheFramesOfTheWholeStream)
{
    QByteArray stream;
    QList<QByteArray> frames;
    for (int k = 0; k < 300; ++k) {
        frames << frame(
            k % 2 ? mtNotes : mtUrl, 0, k, QByteArray((k * 37) % 700, char('a' + k % 26)));
        stream += frames.last();
    }
    quint32 seed = 7;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    FrameAssembler assembler;
    qsizetype at = 0;
    qsizetype taken = 0;
    while (at < stream.size() || assembler.pending() > 0) {
        const qsizetype want = 1 + next(3000);
        const qsizetype written = qMin<qsizetype>(stream.size() - at, next(2) ? want : want / 3);
        if (next(2)) {
            char *tail = assembler.reserveTail(want);
            std::memcpy(tail, stream.constData() + at, size_t(written));
            assembler.commit(written);
        } else {
            assembler.append(QByteArrayView(stream).sliced(at, written));
        }
        at += written;
        QByteArrayView cut;
        while (assembler.peek(&cut) == FrameCodec::CutStatus::Frame) {
            ASSERT_LT(taken, frames.size());
            ASSERT_EQ(cut.toByteArray(), frames[taken]) << "frame " << taken;
            ++taken;
            assembler.consume(cut.size());
        }
        ASSERT_EQ(
            assembler.pending(), at - [&] {
                qsizetype bytes = 0;
                for (qsizetype k = 0; k < taken; ++k)
                    bytes += frames[k].size();
                return bytes;
            }());
        if (at == stream.size() && assembler.pending() > 0)
            FAIL() << "bytes left that make no frame";
    }
    EXPECT_EQ(taken, frames.size());
}
