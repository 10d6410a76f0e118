#pragma once

#include <QByteArray>
#include <QtGlobal>

// Received byte streams for the protocol benchmark.
namespace BenchStreams {

struct Stream {
    QByteArray bytes;
    qint64 frames = 0;
};

// One whole frame as a server writes it.
QByteArray frame(quint8 type, qint32 verb, const QByteArray &payload);

// What a client receives in sessions of a campus login (two course lists of
// 60, the category list of 12) and a class of 4000 messages: notes of 2-90
// characters, whiteboard signs, play commands, status changes and arrivals,
// switches, answers, addresses and now and then a full roster of 40.
Stream realistic(qsizetype target);

// Notes only, 20-200 bytes a frame: the per-frame cost.
Stream smallNotes(qsizetype target);

} // namespace BenchStreams
