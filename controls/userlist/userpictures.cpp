#include "controls/userlist/userpictures.h"

#include "common/desktop/drawnicon.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace UserPictures {

namespace {

enum class Body { Teacher, Enabled, Disabled };
enum class Badge { None, Speaking, Hand, Yes, No, Ok, Chat };

struct Look {
    Body body;
    Badge badge;
};

const QHash<QString, Look> &looks()
{
    static const QHash<QString, Look> table = {
        {u"teacher"_s, {Body::Teacher, Badge::None}},
        {u"teacher_speak"_s, {Body::Teacher, Badge::Speaking}},
        {u"teacher_chat_student"_s, {Body::Teacher, Badge::Chat}},
        {u"student_disable"_s, {Body::Disabled, Badge::None}},
        {u"student_hand_disable"_s, {Body::Disabled, Badge::Hand}},
        {u"student_disable_y"_s, {Body::Disabled, Badge::Yes}},
        {u"student_disable_n"_s, {Body::Disabled, Badge::No}},
        {u"student_disable_ok"_s, {Body::Disabled, Badge::Ok}},
        {u"student_enable"_s, {Body::Enabled, Badge::None}},
        {u"stu_hand"_s, {Body::Enabled, Badge::Hand}},
        {u"student_speak"_s, {Body::Enabled, Badge::Speaking}},
        {u"student_y"_s, {Body::Enabled, Badge::Yes}},
        {u"student_n"_s, {Body::Enabled, Badge::No}},
        {u"student_ok"_s, {Body::Enabled, Badge::Ok}},
        {u"student_chat_student"_s, {Body::Enabled, Badge::Chat}},
    };
    return table;
}

QColor bodyColour(Body body)
{
    switch (body) {
    case Body::Teacher: return QColor(0x1f, 0x4e, 0x9c);
    case Body::Enabled: return QColor(0x2e, 0x8b, 0x3a);
    case Body::Disabled: return QColor(0x9a, 0x9a, 0x9a);
    }
    return Qt::black;
}

// A head and shoulders, in a 32 x 32 design box.
void drawPerson(QPainter &p, const QRectF &box, const QColor &colour)
{
    const qreal w = box.width();
    p.setPen(QPen(colour.darker(150), w / 24.0));
    p.setBrush(colour);
    QPainterPath shoulders;
    shoulders.moveTo(box.left(), box.bottom());
    shoulders.lineTo(box.left(), box.top() + w * 0.80);
    shoulders.quadTo(box.left(), box.top() + w * 0.50, box.center().x(), box.top() + w * 0.50);
    shoulders.quadTo(box.right(), box.top() + w * 0.50, box.right(), box.top() + w * 0.80);
    shoulders.lineTo(box.right(), box.bottom());
    shoulders.closeSubpath();
    p.drawPath(shoulders);
    p.setBrush(QColor(0xf6, 0xd3, 0xb0));
    const qreal head = w * 0.42;
    p.drawEllipse(QRectF(box.center().x() - head / 2, box.top() + w * 0.08, head, head));
}

void drawMortarboard(QPainter &p, const DrawnIcon::Ink &ink)
{
    // Black on any ground; on a dark ground a light edge keeps it in sight.
    if (DrawnIcon::isDark(ink))
        p.setPen(QPen(ink.text, 1.0));
    else
        p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPolygonF board;
    board << QPointF(6, 5) << QPointF(16, 1) << QPointF(26, 5) << QPointF(16, 9);
    p.drawPolygon(board);
    p.drawRect(QRectF(11, 5, 10, 4));
}

// Badges sit in the top-right quarter, where the body leaves room.
void drawBadgeDisc(QPainter &p, const QColor &fill)
{
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(17, 0, 15, 15));
}

void drawBadge(QPainter &p, Badge badge, bool small)
{
    switch (badge) {
    case Badge::None: break;
    case Badge::Speaking: {
        // Sound waves leaving the mouth, in orange.
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 3; ++i) {
            p.setPen(QPen(QColor(0xf0, 0x7a, 0x00), 2.6, Qt::SolidLine, Qt::RoundCap));
            const qreal r = 4 + i * 4.5;
            p.drawArc(QRectF(20 - r, 10 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
        }
        break;
    }
    case Badge::Hand: {
        // A raised hand at the top left, in yellow with a dark outline.
        p.setPen(QPen(QColor(0x8a, 0x5a, 0x00), 1.2));
        p.setBrush(QColor(0xff, 0xd0, 0x20));
        p.drawRoundedRect(QRectF(0, 7, 9, 12), 3, 3);
        for (int f = 0; f < 3; ++f)
            p.drawRoundedRect(QRectF(0.5 + f * 3, 0, 2.6, 9), 1.3, 1.3);
        break;
    }
    case Badge::Yes: {
        drawBadgeDisc(p, QColor(0x1e, 0xa0, 0x32));
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF() << QPointF(20.5, 7.5) << QPointF(23.5, 11) << QPointF(28.5, 4));
        break;
    }
    case Badge::No: {
        drawBadgeDisc(p, QColor(0xd0, 0x20, 0x20));
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(21, 4), QPointF(28, 11));
        p.drawLine(QPointF(28, 4), QPointF(21, 11));
        break;
    }
    case Badge::Ok: {
        if (small) {
            // Scaled down with the rest, two letters would be four pixels
            // high: at the small size the badge takes the top half instead.
            p.setPen(QPen(Qt::white, 1.5));
            p.setBrush(QColor(0x10, 0x70, 0xd8));
            p.drawRoundedRect(QRectF(1, 0, 31, 19), 5, 5);
            QFont font = p.font();
            font.setPixelSize(17);
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(1, 0, 31, 19), Qt::AlignCenter, u"OK"_s);
            break;
        }
        drawBadgeDisc(p, QColor(0x10, 0x70, 0xd8));
        QFont font = p.font();
        font.setPixelSize(8);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(17, 0, 15, 15), Qt::AlignCenter, u"OK"_s);
        break;
    }
    case Badge::Chat: {
        // A second, purple person behind, joined by a headset arc: busy in
        // a private talk.
        drawPerson(p, QRectF(17, 9, 15, 23), QColor(0x8e, 0x3c, 0xc8));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x8e, 0x3c, 0xc8), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(6, 1, 22, 16), 20 * 16, 140 * 16);
        break;
    }
    }
}

// Draws a picture into a square box in the 32 x 32 design; at the small
// size the badges that carry letters are drawn larger.
void draw(QPainter &p, const QRectF &box, const Look &look, const DrawnIcon::Ink &ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / 32.0, box.height() / 32.0);
    const bool chat = look.badge == Badge::Chat;
    const bool teacher = look.body == Body::Teacher;
    // The main person steps aside for the partner of a private talk, and a
    // teacher sits lower to make room for the cap.
    const QRectF personBox = QRectF(chat ? 0 : 5, teacher ? 8 : 6, 22, teacher ? 24 : 26);
    drawPerson(p, personBox, bodyColour(look.body));
    if (teacher) {
        p.save();
        p.translate(personBox.center().x() - 16, 1);
        drawMortarboard(p, ink);
        p.restore();
    }
    drawBadge(p, look.badge, box.width() < 24);
    p.restore();
}

QPixmap draw(const Look &look, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    draw(p, QRectF(0, 0, size, size), look, DrawnIcon::Engine::inkFor(QIcon::Normal));
    return pixmap;
}

} // namespace

const QStringList &keys()
{
    static const QStringList list
        = {u"teacher_speak"_s, u"teacher"_s, u"teacher_chat_student"_s, u"student_disable"_s,
            u"student_hand_disable"_s, u"student_disable_y"_s, u"student_disable_n"_s,
            u"student_disable_ok"_s, u"student_enable"_s, u"stu_hand"_s, u"student_speak"_s,
            u"student_y"_s, u"student_n"_s, u"student_ok"_s, u"student_chat_student"_s};
    return list;
}

QPixmap picture(const QString &key, int size)
{
    static QHash<QString, QPixmap> cache;
    const auto look = looks().constFind(key);
    if (look == looks().cend())
        return {};
    const QString cacheKey = key + u'/' + QString::number(size);
    auto it = cache.find(cacheKey);
    if (it == cache.end())
        it = cache.insert(cacheKey, draw(*look, size));
    return *it;
}

QIcon icon(const QString &key)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(key);
    if (it == cache.end()) {
        const auto look = looks().constFind(key);
        if (look == looks().cend())
            return {};
        // Drawn anew at each size and pixel ratio: crisp on any screen.
        const Look chosen = *look;
        it = cache.insert(key,
            DrawnIcon::make([chosen](QPainter &p, const QRectF &box, const DrawnIcon::Ink &ink) {
                draw(p, box, chosen, ink);
            }));
    }
    return *it;
}

} // namespace UserPictures
