#pragma once

#include <QByteArray>
#include <QString>

// Builds courseware bytes record by record, including ones the writer never
// makes (wrong lengths, odd kinds), for the reader's tests.
class CoursewareBytes
{
public:
    CoursewareBytes &header(qint16 version = 1, const QString &course = QStringLiteral("Course"),
        const QString &teacher = QStringLiteral("Teacher"));
    CoursewareBytes &raw(const QByteArray &bytes);
    CoursewareBytes &int16(qint16 value);
    CoursewareBytes &int32(qint32 value);
    CoursewareBytes &text(const QString &text);
    CoursewareBytes &folder(const QString &caption, const QString &key);
    CoursewareBytes &url(const QString &address, const QString &key);
    // A file record with `content` compressed by zlib.
    CoursewareBytes &file(const QString &caption, const QString &name, const QByteArray &content);
    // A file record with the given compressed bytes as they are.
    CoursewareBytes &packedFile(
        const QString &caption, const QString &name, const QByteArray &packed);

    QByteArray bytes() const { return m_bytes; }
    bool save(const QString &path) const;

private:
    QByteArray m_bytes;
};

QByteArray ZlibCompress(const QByteArray &plain);
QByteArray ReadWholeFile(const QString &path);
bool WriteWholeFile(const QString &path, const QByteArray &bytes);
