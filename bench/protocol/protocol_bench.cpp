// Receive-path throughput, measured against memcpy of the same bytes in the
// same read sizes in the same run. The headline is a realistic stream cut
// into frames with every payload decoded (texts, lists); the other figures
// isolate the wide-text conversion, the per-frame cost and the lists.
// Prints a table and writes the figures with BenchFigures. Times are the
// medians of 7 rounds in thread CPU time.
#include "bench/protocol/streams.h"
#include "bench/report/figures.h"
#include "protocol/clsremotesync.h"
#include "protocol/decoders.h"
#include "protocol/framecodec.h"
#include "protocol/messages.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;
using BenchStreams::frame;

namespace {

constexpr int Rounds = 7;
qint64 g_sink = 0; // keeps the optimiser from dropping the work

// The thread's CPU time, not the wall clock: on a shared machine the wall
// clock counts the time other processes held the cores.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double medianSeconds(const std::function<void()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        const double start = cpuSeconds();
        run();
        times.push_back(cpuSeconds() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Feeds the bytes in reads of `chunk` bytes.
template <typename Sink> void feed(const QByteArray &bytes, qsizetype chunk, Sink &&sink)
{
    for (qsizetype at = 0; at < bytes.size(); at += chunk)
        sink(QByteArrayView(bytes).sliced(at, std::min(chunk, bytes.size() - at)));
}

double copyStream(const QByteArray &bytes, qsizetype chunk)
{
    QByteArray target(bytes.size(), Qt::Uninitialized);
    return medianSeconds([&] {
        qsizetype at = 0;
        feed(bytes, chunk, [&](QByteArrayView part) {
            std::memcpy(target.data() + at, part.data(), size_t(part.size()));
            at += part.size();
        });
        g_sink += target[at / 2];
    });
}

// Decodes a payload the way the dispatcher does, without the events.
qint64 decodePayload(const FrameCodec::FrameView &f)
{
    switch (f.type) {
    case mtNotes: return Messages::decodeNote(f).record.Message.size();
    case mtWhiteBoard: {
        const auto d = Messages::decodeWhiteBoard(f);
        return d.record.x1 + d.record.strMark.size() + d.record.FontName.size();
    }
    case mtPlay: return Messages::decodePlay(f).record.TreeNodeID;
    case mtEnable: return Messages::decodeEnable(f).record;
    case mtYesNo:
    case mtOK:
        return f.verb == 1 ? Messages::decodeText(f).record.text.size()
                           : Messages::decodeAnswer(f).record.boolYes;
    case mtUrl: return Messages::decodeText(f).record.text.size();
    // The list records are views, as the notes' texts are; their event
    // texts are made where the events are raised (measured with the lists
    // below).
    case mtUserList: return Messages::decodeUserList(f).record.Count;
    case mtCampusCourseList: return Messages::decodeCourseList(f).record.Count;
    case mtCampusList: return Messages::decodeCategoryList(f).record.strCampusList.size();
    default: return f.length;
    }
}

// Cuts the stream into frames and, when `decode`, decodes every payload.
double cutStream(const BenchStreams::Stream &stream, qsizetype chunk, bool decode)
{
    return medianSeconds([&] {
        FrameAssembler assembler;
        qint64 frames = 0;
        feed(stream.bytes, chunk, [&](QByteArrayView part) {
            assembler.append(part);
            QByteArrayView whole;
            while (assembler.peek(&whole) == FrameCodec::CutStatus::Frame) {
                Wire::Failure failure;
                const FrameCodec::FrameView view = FrameCodec::viewFrame(whole, failure);
                g_sink += decode ? decodePayload(view) : view.type + view.length;
                assembler.consume(whole.size());
                ++frames;
            }
        });
        if (frames != stream.frames)
            std::abort();
    });
}

// The conversion as it was: one code unit at a time.
QString wideTextPerByte(QByteArrayView bytes)
{
    const qsizetype units = bytes.size() / 2;
    QString out(units, Qt::Uninitialized);
    auto *dst = reinterpret_cast<char16_t *>(out.data());
    const auto *src = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0; i < units; ++i)
        dst[i] = char16_t(src[2 * i] | (src[2 * i + 1] << 8));
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(home.path() + u"/log"_s));
    BenchFigures figures(u"protocol"_s);
    using T = BenchFigures::Target;

    // The headline: a realistic stream, cut and every payload decoded.
    const BenchStreams::Stream stream = BenchStreams::realistic(48 << 20);
    std::printf("realistic stream: %.1f MiB, %lld frames\n", stream.bytes.size() / 1048576.0,
        static_cast<long long>(stream.frames));
    std::printf("%-8s %10s %10s %10s %10s %9s %9s %9s\n", "read", "memcpy ms", "cut ms",
        "decode ms", "events ms", "cut/copy", "dec/copy", "ev/copy");
    double cutPerByte4k = 0;
    double cutPerByte1m = 0;
    for (const qsizetype chunk : {qsizetype(4096), qsizetype(65536), qsizetype(1 << 20)}) {
        const double copy = copyStream(stream.bytes, chunk);
        const double cut = cutStream(stream, chunk, false);
        const double decode = cutStream(stream, chunk, true);

        // The same through the connection class, every event raised.
        clsRemoteSync sync;
        qint64 raised = 0;
        QObject::connect(&sync, &clsRemoteSync::GetNoteMessage, &sync, [&] { ++raised; });
        QObject::connect(&sync, &clsRemoteSync::GetMsgUserList, &sync, [&] { ++raised; });
        QObject::connect(&sync, &clsRemoteSync::GetMsgCampusCourseList, &sync, [&] { ++raised; });
        const double events = medianSeconds([&] {
            feed(stream.bytes, chunk, [&](QByteArrayView part) { sync.ReceiveBytes(part); });
        });
        g_sink += raised;

        if (chunk == 4096)
            cutPerByte4k = cut / double(stream.bytes.size());
        if (chunk == (1 << 20))
            cutPerByte1m = cut / double(stream.bytes.size());
        std::printf("%-8lld %10.2f %10.2f %10.2f %10.2f %9.2f %9.2f %9.2f\n",
            static_cast<long long>(chunk), copy * 1e3, cut * 1e3, decode * 1e3, events * 1e3,
            cut / copy, decode / copy, events / copy);
        const QString read = QString::number(chunk / 1024) + u" KiB reads"_s;
        if (chunk != (1 << 20)) {
            figures.add(u"protocol/realistic stream, cut and decoded, "_s + read, u"median ms"_s,
                decode * 1e3, u"memcpy of the same bytes in the same reads"_s, copy * 1e3,
                T::RatioAtMost, 3);
            figures.add(u"protocol/realistic stream through clsRemoteSync, "_s + read,
                u"median ms"_s, events * 1e3, u"memcpy of the same bytes in the same reads"_s,
                copy * 1e3);
        }
    }
    std::printf("cut per byte, 1 MiB reads / 4 KiB reads: %.2f (target <= 1.5)\n",
        cutPerByte1m / cutPerByte4k);
    figures.add(u"protocol/cut per byte, 1 MiB reads"_s, u"ns per byte"_s, cutPerByte1m * 1e9,
        u"4 KiB reads"_s, cutPerByte4k * 1e9, T::RatioAtMost, 1.5);

    // Wide text: a 64 KiB payload, one copy against the per-byte loop.
    {
        const QByteArray payload = Wire::wideBytes(QString(32767, u'文'));
        constexpr int Repeats = 2000;
        const double perByte = medianSeconds([&] {
            for (int i = 0; i < Repeats; ++i)
                g_sink += wideTextPerByte(payload).size();
        });
        const double copied = medianSeconds([&] {
            for (int i = 0; i < Repeats; ++i)
                g_sink += Wire::wideText(payload).size();
        });
        if (wideTextPerByte(payload) != Wire::wideText(payload))
            std::abort();
        std::printf("wide text 64 KiB: per-byte %.1f us, one copy %.1f us, speed-up %.1fx\n",
            perByte / Repeats * 1e6, copied / Repeats * 1e6, perByte / copied);
        figures.add(u"protocol/wide text of a 64 KiB payload, per-byte loop"_s, u"us each"_s,
            perByte / Repeats * 1e6, u"one copy (Wire::wideText)"_s, copied / Repeats * 1e6,
            T::RatioAtLeast, 14);
    }

    // Small frames only, with dispatch: the per-frame cost.
    {
        const BenchStreams::Stream small = BenchStreams::smallNotes(32 << 20);
        clsRemoteSync sync;
        QObject::connect(&sync, &clsRemoteSync::GetNoteMessage, &sync, [] {});
        const double time = medianSeconds([&] {
            feed(small.bytes, 65536, [&](QByteArrayView part) { sync.ReceiveBytes(part); });
        });
        const double perSecond = double(small.frames) / time / 1e6;
        std::printf("small frames with dispatch: %.2f million/s (target >= 5)\n", perSecond);
        figures.add(u"protocol/small notes with dispatch"_s, u"million frames/s"_s, perSecond, {},
            0, T::ValueAtLeast, 5);
    }

    // Lists alone: decoding beside memcpy of the same frame.
    QByteArray courses;
    const Messages::CourseRecord course{
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
        const QByteArray bytes = frame(type, 1, payload);
        constexpr int Repeats = 200;
        QByteArray target(bytes.size(), Qt::Uninitialized);
        const double copy = medianSeconds([&] {
            for (int i = 0; i < Repeats; ++i) {
                std::memcpy(target.data(), bytes.constData(), size_t(bytes.size()));
                g_sink += target[i % target.size()];
            }
        });
        Wire::Failure viewFailure;
        const FrameCodec::FrameView view = FrameCodec::viewFrame(bytes, viewFailure);
        // A list is decoded and its event text made, as each list event is.
        const auto decodeList = [&] {
            if (type == mtUserList)
                return qint64(Messages::decodeUserList(view).record.strUserList().size());
            return qint64(Messages::decodeCourseList(view).record.strCourseList().size());
        };
        const double decode = medianSeconds([&] {
            for (int i = 0; i < Repeats; ++i)
                g_sink += decodeList();
        });
        const double mb = double(bytes.size()) * Repeats / 1e6;
        std::printf("%-12s decode %8.1f MB/s, memcpy %8.1f MB/s, ratio %.1f\n", name, mb / decode,
            mb / copy, decode / copy);
        figures.add(u"protocol/"_s + QLatin1String(name) + u" of 64 KiB decoded"_s,
            u"median ms for 200"_s, decode * 1e3, u"memcpy of the same frame"_s, copy * 1e3,
            T::RatioAtMost, 10);
    }
    return g_sink == 42 ? 2 : 0;
}
