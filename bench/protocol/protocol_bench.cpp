// Receive-path throughput, measured against memcpy of the same bytes in the
// same run. Prints medians of several rounds and the ratios the targets
// speak of.
#include "protocol/clsremotesync.h"
#include "protocol/framecodec.h"
#include "protocol/messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int Rounds = 7;

QByteArray makeFrame(quint8 type, qint32 verb, const QByteArray &payload)
{
    MsgContent msg;
    msg.mcVersion = 1;
    msg.mcLanguage = 1;
    msg.mcCommandType = type;
    msg.mcCommandVerb = verb;
    msg.mcID = 5;
    msg.mcLength = qint32(payload.size());
    msg.mcDatas = payload;
    Wire::Failure failure;
    return FrameCodec::ConvertToStream(msg, msg.mcLength + FrameHeaderSize, failure);
}

struct Stream {
    QByteArray bytes;
    qint64 frames = 0;
    qint64 smallFrames = 0;
};

// Notes of 20-200 bytes in all, and 5 % whiteboard-sized bulk frames of 64 KiB.
Stream makeStream(qsizetype target)
{
    QRandomGenerator random(42);
    Stream stream;
    while (stream.bytes.size() < target) {
        if (random.bounded(100) < 5) {
            stream.bytes += makeFrame(mtUrl, 0, QByteArray(65534, 'u'));
        } else {
            const int total = 20 + random.bounded(181);
            const int chars = (total - FrameHeaderSize) / 2;
            stream.bytes += makeFrame(mtNotes, 0, Wire::wideBytes(QString(chars, u'n')));
            ++stream.smallFrames;
        }
        ++stream.frames;
    }
    return stream;
}

double medianSeconds(const std::function<void()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Feeds the stream in reads of `chunk` bytes.
template <typename Sink> void feed(const QByteArray &bytes, qsizetype chunk, Sink &&sink)
{
    for (qsizetype at = 0; at < bytes.size(); at += chunk)
        sink(QByteArrayView(bytes).sliced(at, std::min(chunk, bytes.size() - at)));
}

qint64 g_sink = 0; // keeps the optimiser from dropping the work

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(home.path() + u"/log"_s));

    const Stream stream = makeStream(64 << 20);
    std::printf("stream: %.1f MiB, %lld frames (%lld small)\n", stream.bytes.size() / 1048576.0,
        static_cast<long long>(stream.frames), static_cast<long long>(stream.smallFrames));
    std::printf("%-8s %10s %10s %10s %9s %9s %12s\n", "read", "memcpy ms", "cut ms", "dispatch",
        "cut/copy", "disp/copy", "frames/s");

    double cutPerByte4k = 0;
    double cutPerByte1m = 0;
    for (const qsizetype chunk : {qsizetype(4096), qsizetype(65536), qsizetype(1 << 20)}) {
        QByteArray target(stream.bytes.size(), Qt::Uninitialized);
        const double copy = medianSeconds([&] {
            qsizetype at = 0;
            feed(stream.bytes, chunk, [&](QByteArrayView part) {
                std::memcpy(target.data() + at, part.data(), size_t(part.size()));
                at += part.size();
            });
            g_sink += target[at / 2];
        });

        const double cut = medianSeconds([&] {
            FrameAssembler assembler;
            feed(stream.bytes, chunk, [&](QByteArrayView part) {
                assembler.append(part);
                QByteArrayView frame;
                while (assembler.peek(&frame) == FrameCodec::CutStatus::Frame) {
                    Wire::Failure failure;
                    const FrameCodec::FrameView view = FrameCodec::viewFrame(frame, failure);
                    g_sink += view.type + view.length;
                    assembler.consume(frame.size());
                }
            });
        });

        clsRemoteSync sync;
        qint64 delivered = 0;
        QObject::connect(&sync, &clsRemoteSync::GetNoteMessage, &sync, [&] { ++delivered; });
        QObject::connect(&sync, &clsRemoteSync::GetMsgURL, &sync, [&] { ++delivered; });
        const double dispatch = medianSeconds([&] {
            feed(stream.bytes, chunk, [&](QByteArrayView part) { sync.ReceiveBytes(part); });
        });
        if (delivered != stream.frames * Rounds) {
            std::printf("dispatch lost frames: %lld of %lld\n", static_cast<long long>(delivered),
                static_cast<long long>(stream.frames * Rounds));
            return 1;
        }

        if (chunk == 4096)
            cutPerByte4k = cut / double(stream.bytes.size());
        if (chunk == (1 << 20))
            cutPerByte1m = cut / double(stream.bytes.size());
        std::printf("%-8lld %10.2f %10.2f %10.2f %9.2f %9.2f %12.0f\n",
            static_cast<long long>(chunk), copy * 1e3, cut * 1e3, dispatch * 1e3, cut / copy,
            dispatch / copy, double(stream.frames) / dispatch);
    }
    std::printf("cut per byte, 1 MiB reads / 4 KiB reads: %.2f (target <= 1.5)\n",
        cutPerByte1m / cutPerByte4k);

    // Small frames only, with dispatch: the per-frame cost.
    Stream small;
    {
        QRandomGenerator random(7);
        while (small.bytes.size() < (32 << 20)) {
            const int chars = (4 + random.bounded(181)) / 2;
            small.bytes += makeFrame(mtNotes, 0, Wire::wideBytes(QString(chars, u's')));
            ++small.frames;
        }
    }
    clsRemoteSync sync;
    QObject::connect(&sync, &clsRemoteSync::GetNoteMessage, &sync, [] {});
    const double smallTime = medianSeconds(
        [&] { feed(small.bytes, 65536, [&](QByteArrayView part) { sync.ReceiveBytes(part); }); });
    std::printf("small frames with dispatch: %.2f million/s (target >= 5)\n",
        double(small.frames) / smallTime / 1e6);

    // Campus and user lists: decoding beside memcpy of the same payload.
    QByteArray courses;
    Messages::CourseRecord course{
        1, 2, u"lesson.lsn"_s, u"teacher"_s, u"127.0.0.1"_s, 2001, u"Mon 9:00"_s, u"a course"_s};
    while (courses.size() + CourseRecordSize <= 65535)
        courses += Messages::courseRecord(course);
    QByteArray users;
    const QList<UserInfo> one{{7, u"student"_s, 3, 1}};
    Wire::Failure failure;
    while (users.size() + UserRecordSize <= 65535)
        users += Messages::userList(1, one, failure);

    for (const auto &[name, type, payload] :
        {std::tuple{"course list", mtCampusCourseList, courses},
            std::tuple{"user list", mtUserList, users}}) {
        const QByteArray frameBytes = makeFrame(type, 1, payload);
        constexpr int Repeats = 200;
        QByteArray target(frameBytes.size(), Qt::Uninitialized);
        const double copy = medianSeconds([&] {
            for (int i = 0; i < Repeats; ++i) {
                std::memcpy(target.data(), frameBytes.constData(), size_t(frameBytes.size()));
                g_sink += target[i % target.size()];
            }
        });
        clsRemoteSync receiver;
        QObject::connect(&receiver, &clsRemoteSync::GetMsgCampusCourseList, &receiver,
            [](qint32 count, const QString &) { g_sink += count; });
        QObject::connect(&receiver, &clsRemoteSync::GetMsgUserList, &receiver,
            [](qint32 count, const QString &) { g_sink += count; });
        const double decode = medianSeconds([&] {
            for (int i = 0; i < Repeats; ++i)
                receiver.ReceiveBytes(frameBytes);
        });
        const double mb = double(frameBytes.size()) * Repeats / 1e6;
        std::printf("%-12s decode %8.1f MB/s, memcpy %8.1f MB/s, ratio %.1f\n", name, mb / decode,
            mb / copy, decode / copy);
    }
    return g_sink == 42 ? 2 : 0;
}
