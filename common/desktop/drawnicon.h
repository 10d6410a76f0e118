#pragma once

#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <functional>
#include <utility>

// An icon drawn in code, anew for every size and device pixel ratio asked
// for (so it stays crisp at 1.5x and 2x), in the ink of the current palette
// (so it shows on a dark theme as on a light one). Header only: the control
// libraries that use it link none of the shared services.
namespace DrawnIcon {

struct Ink {
    QColor text; // outlines and glyphs: the palette's window text
    QColor base; // the ground the picture sits on
    QColor highlight;
    QIcon::Mode mode = QIcon::Normal;
};

// Draws into `box`, a square whose side is the icon's logical size.
using Painter = std::function<void(QPainter &, const QRectF &box, const Ink &)>;

class Engine final : public QIconEngine
{
public:
    explicit Engine(Painter draw)
        : m_draw(std::move(draw))
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        m_draw(*painter, QRectF(rect), inkFor(mode));
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        const qreal ratio = scale > 0 ? scale : 1.0;
        QPixmap pixmap(size * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, true);
        m_draw(painter, QRectF(QPointF(0, 0), QSizeF(size)), inkFor(mode));
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new Engine(m_draw); }
    QString key() const override { return QStringLiteral("LumoDrawnIcon"); }

    static Ink inkFor(QIcon::Mode mode)
    {
        const QPalette palette = QGuiApplication::palette();
        const QPalette::ColorGroup group
            = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
        Ink ink;
        ink.text = palette.color(group, QPalette::WindowText);
        ink.base = palette.color(group, QPalette::Window);
        ink.highlight = palette.color(group, QPalette::Highlight);
        ink.mode = mode;
        return ink;
    }

private:
    Painter m_draw;
};

inline QIcon make(Painter draw)
{
    return QIcon(new Engine(std::move(draw)));
}

// Whether the palette is dark (light text on a dark ground).
inline bool isDark(const Ink &ink)
{
    return ink.base.lightnessF() < 0.5;
}

// A pixmap of the icon at the device pixel ratio of the widget's screen.
inline QPixmap pixmapFor(const QIcon &icon, const QSize &size, qreal ratio)
{
    return icon.pixmap(size, ratio);
}

} // namespace DrawnIcon
