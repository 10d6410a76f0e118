#include "controls/coursemanage/courseware/gbktext.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <limits>

namespace Courseware {

QByteArray EncodeGbk(const QString &text)
{
    // Characters outside GBK would otherwise come out as four-byte GB18030
    // sequences, which a GBK reader counts as two characters.
    QString representable;
    representable.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            representable += c;
            continue;
        }
        QStringEncoder probe("GBK");
        const QByteArray encoded = probe.encode(QStringView(&c, 1));
        const bool ok = !c.isSurrogate() && !probe.hasError() && encoded.size() == 2
            && IsGbkLeadByte(uchar(encoded.at(0)));
        representable += ok ? c : QChar(u'?');
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one question mark for the whole pair
    }
    QStringEncoder encoder("GBK");
    return encoder.encode(representable);
}

QString DecodeGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

int CountGbkCharacters(QByteArrayView bytes)
{
    int count = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i, ++count) {
        if (IsGbkLeadByte(uchar(bytes.at(i))))
            ++i;
    }
    return count;
}

bool AppendTextField(QByteArray &out, const QString &text)
{
    const QByteArray bytes = EncodeGbk(text);
    const int count = CountGbkCharacters(bytes);
    if (count > std::numeric_limits<qint16>::max())
        return false;
    char field[2];
    qToLittleEndian<qint16>(qint16(count), field);
    out.append(field, 2);
    out.append(bytes);
    return true;
}

TextFieldStatus ReadTextField(QIODevice &in, QString &text)
{
    text.clear();
    char field[2];
    if (in.read(field, 2) != 2)
        return TextFieldStatus::Truncated;
    const qint16 count = qFromLittleEndian<qint16>(field);
    if (count < 0)
        return TextFieldStatus::NegativeCount;
    // At most two bytes a character, so the buffer is bounded by the count.
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * 2);
    for (int i = 0; i < count; ++i) {
        char lead;
        if (!in.getChar(&lead))
            return TextFieldStatus::Truncated;
        bytes.append(lead);
        if (IsGbkLeadByte(uchar(lead))) {
            char trail;
            if (!in.getChar(&trail))
                return TextFieldStatus::Truncated;
            bytes.append(trail);
        }
    }
    text = DecodeGbk(bytes);
    return TextFieldStatus::Ok;
}

} // namespace Courseware
