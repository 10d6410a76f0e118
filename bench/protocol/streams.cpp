#include "bench/protocol/streams.h"

#include "protocol/framecodec.h"
#include "protocol/messages.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace BenchStreams {

namespace {

QString letters(QRandomGenerator &random, int count)
{
    QString text(count, Qt::Uninitialized);
    for (QChar &c : text)
        c = random.bounded(4) == 0 ? QChar(u'课' + random.bounded(64))
                                   : QChar(u'a' + random.bounded(26));
    return text;
}

QByteArray roster(QRandomGenerator &random, int users)
{
    QList<UserInfo> list;
    for (int i = 0; i < users; ++i)
        list.append(
            {1000 + i, u"student%1"_s.arg(i), quint8(random.bounded(256)), quint8(i == 0 ? 2 : 1)});
    Wire::Failure failure;
    return Messages::userList(users, list, failure);
}

QByteArray courses(int count)
{
    QByteArray payload;
    for (int i = 0; i < count; ++i) {
        payload += Messages::courseRecord({100 + i, i % 6, u"lesson%1.lsn"_s.arg(i), u"teacher"_s,
            u"192.168.1.20"_s, 2001, u"Mon 9:00-10:30"_s,
            u"Grammar and conversation, unit %1: reading, listening and speaking"_s.arg(i)});
    }
    return payload;
}

QByteArray categories(int count)
{
    QByteArray payload;
    for (int i = 0; i < count; ++i) {
        payload += Messages::categoryRecord(
            {i, u"category %1"_s.arg(i), {}, u"Courses of the category, with a longer text"_s,
                u"10.0.0.5:8080"_s, u"word"_s, u"other"_s});
    }
    return payload;
}

} // namespace

QByteArray frame(quint8 type, qint32 verb, const QByteArray &payload)
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

Stream realistic(qsizetype target)
{
    QRandomGenerator random(42);
    Stream stream;
    const QByteArray courseList = frame(mtCampusCourseList, mvALLLIST, courses(60));
    const QByteArray categoryList = frame(mtCampusList, 0, categories(12));
    while (stream.bytes.size() < target) {
        // A session: the campus login's two course lists and the categories,
        // then a class of a few thousand messages.
        stream.bytes += courseList + courseList + categoryList;
        stream.bytes += frame(mtUserList, 1, roster(random, 40));
        stream.frames += 4;
        for (int i = 0; i < 4000; ++i) {
            const int pick = random.bounded(100);
            if (pick < 45) {
                const auto note = Messages::note(
                    5, random.bounded(3) == 0 ? 9 : 0, letters(random, 2 + random.bounded(89)));
                stream.bytes += frame(mtNotes, note.verb, note.payload);
            } else if (pick < 70) {
                stream.bytes += frame(mtWhiteBoard, random.bounded(9),
                    Messages::whiteBoard(random.bounded(9000), random.bounded(9000),
                        random.bounded(9000), random.bounded(9000), 2, 0xff,
                        random.bounded(5) == 0 ? letters(random, 12) : QString(), 12, u"SimSun"_s));
            } else if (pick < 78) {
                stream.bytes += frame(mtPlay, random.bounded(3),
                    Messages::play(random.bounded(60), random.bounded(100000), true));
            } else if (pick < 88) {
                stream.bytes += frame(mtUserList, 2 + random.bounded(2), roster(random, 1));
            } else if (pick < 92) {
                stream.bytes += frame(mtEnable, 0, QByteArray(1, char(1 + random.bounded(8))));
            } else if (pick < 96) {
                stream.bytes += frame(mtYesNo, 2, Messages::answer(random.bounded(2) == 1));
            } else if (pick < 99) {
                stream.bytes += frame(mtUrl, 0,
                    Wire::wideBytes(u"http://10.0.0.5/CampusDir/campus3/"_s + letters(random, 40)));
            } else {
                stream.bytes += frame(mtUserList, 1, roster(random, 40));
            }
            ++stream.frames;
        }
    }
    return stream;
}

Stream smallNotes(qsizetype target)
{
    QRandomGenerator random(7);
    Stream stream;
    while (stream.bytes.size() < target) {
        const int chars = (4 + random.bounded(181)) / 2;
        stream.bytes += frame(mtNotes, 0, Wire::wideBytes(QString(chars, u's')));
        ++stream.frames;
    }
    return stream;
}

} // namespace BenchStreams
