#include "controls/coursemanage/tests/coursewarefixture.h"

#include "controls/coursemanage/courseware/gbktext.h"

#include <QFile>
#include <QtEndian>

#include <zlib.h>

CoursewareBytes &CoursewareBytes::header(
    qint16 version, const QString &course, const QString &teacher)
{
    raw(QByteArrayLiteral("Aulix Nova Courseware."));
    int16(26).int16(version).int16(-1).int16(0).int16(0);
    return text(course).text(teacher);
}

CoursewareBytes &CoursewareBytes::raw(const QByteArray &bytes)
{
    m_bytes += bytes;
    return *this;
}

CoursewareBytes &CoursewareBytes::int16(qint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    m_bytes.append(bytes, 2);
    return *this;
}

CoursewareBytes &CoursewareBytes::int32(qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    m_bytes.append(bytes, 4);
    return *this;
}

CoursewareBytes &CoursewareBytes::text(const QString &text)
{
    Courseware::AppendTextField(m_bytes, text);
    return *this;
}

CoursewareBytes &CoursewareBytes::folder(const QString &caption, const QString &key)
{
    return int16(1).text(caption).text(key);
}

CoursewareBytes &CoursewareBytes::url(const QString &address, const QString &key)
{
    return int16(2).text(address + QStringLiteral(".url")).text(key);
}

CoursewareBytes &CoursewareBytes::file(
    const QString &caption, const QString &name, const QByteArray &content)
{
    return packedFile(caption, name, ZlibCompress(content));
}

CoursewareBytes &CoursewareBytes::packedFile(
    const QString &caption, const QString &name, const QByteArray &packed)
{
    int16(2).text(caption).text(name).int32(qint32(packed.size()));
    m_bytes += packed;
    m_bytes += '\0';
    return *this;
}

bool CoursewareBytes::save(const QString &path) const
{
    return WriteWholeFile(path, m_bytes);
}

QByteArray ZlibCompress(const QByteArray &plain)
{
    uLongf size = compressBound(uLong(plain.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef *>(packed.data()), &size,
        reinterpret_cast<const Bytef *>(plain.constData()), uLong(plain.size()), 6);
    packed.resize(qsizetype(size));
    return packed;
}

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}
