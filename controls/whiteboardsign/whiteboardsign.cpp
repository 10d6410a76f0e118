#include "controls/whiteboardsign/whiteboardsign.h"

#include "common/errorlog.h"
#include "controls/whiteboardsign/signcanvas.h"
#include "controls/whiteboardsign/signgeometry.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/signpainter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QTimer>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace WhiteBoard;

namespace {

const QString kModule = u"WhiteBoardSign"_s;
const QString kDefaultFont = u"宋体"_s;

// Host coordinates are 16-bit; a pointer far outside a very large window
// would not fit, so it is held at the edge instead of wrapping round.
qint16 RoundToTwip(float value)
{
    if (std::isnan(value))
        return 0;
    return qint16(std::lround(std::clamp(double(value), -32768.0, 32767.0)));
}

// Blanks are spaces only, as the host's texts mean them.
QString TrimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

qint16 ButtonBits(Qt::MouseButtons buttons)
{
    qint16 bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

qint16 ShiftBits(Qt::KeyboardModifiers modifiers)
{
    qint16 bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

} // namespace

class WhiteBoardSignPrivate
{
public:
    explicit WhiteBoardSignPrivate(WhiteBoardSign *owner)
        : q(owner)
    {
        arrowSizeFromPicture();
        // A large board fills in over several turns of the event loop, so
        // input and other windows are served between the slices.
        fillTimer.setInterval(0);
        QObject::connect(&fillTimer, &QTimer::timeout, q, [this] { fillSlice(); });
    }

    void fillSlice()
    {
        const QRegion ready = canvas.renderPending();
        for (const QRect &r : ready)
            q->update(toLayer(r));
        if (canvas.complete())
            fillTimer.stop();
    }

    void arrowSizeFromPicture()
    {
        const QSize pixels = ArrowPicture().size();
        model.setArrowSize(pixels * kTwipsPerPixel);
    }

    // The canvas and the overlays work in design pixels; the layer shows
    // them `zoom` times larger.
    QRect toLayer(const QRect &design) const
    {
        if (design.isEmpty())
            return {};
        const int left = int(std::floor(design.x() * zoom));
        const int top = int(std::floor(design.y() * zoom));
        const int right = int(std::ceil((design.x() + design.width()) * zoom));
        const int bottom = int(std::ceil((design.y() + design.height()) * zoom));
        return {left, top, right - left, bottom - top};
    }
    QRect toDesign(const QRect &layer) const
    {
        if (layer.isEmpty())
            return {};
        const int left = int(std::floor(layer.x() / zoom));
        const int top = int(std::floor(layer.y() / zoom));
        const int right = int(std::ceil((layer.x() + layer.width()) / zoom));
        const int bottom = int(std::ceil((layer.y() + layer.height()) / zoom));
        return {left, top, right - left, bottom - top};
    }
    QPointF layerToTwips(const QPointF &layer) const { return layer / zoom * kTwipsPerPixel; }

    void repaintTwips(const QRect &twips)
    {
        if (!twips.isEmpty())
            q->update(toLayer(TwipsToPixels(twips).adjusted(-1, -1, 1, 1)));
    }

    void resizeCanvas() { canvas.setSize(toDesign(q->rect()).size()); }

    // Shows, moves or hides one of the rubber-band elements.
    void setOverlay(Sign &overlay, bool &visible, bool show)
    {
        if (visible)
            repaintTwips(overlay.bounds);
        visible = show;
        if (visible) {
            overlay.bounds = InkBounds(overlay);
            repaintTwips(overlay.bounds);
        }
    }

    void hideDragElements()
    {
        setOverlay(dragBox, dragBoxVisible, false);
        setOverlay(dragLine, dragLineVisible, false);
    }

    WhiteBoardSign *q;
    SignModel model;
    SignCanvas canvas{model};
    QTimer fillTimer;

    ShapeType shape = stRectangle;
    quint32 color = 0;
    qint16 lineWidth = 1;
    QString fontName = kDefaultFont;
    qint16 fontSize = 9;
    QString text;
    QString imagePath;
    qint16 startX = 0;
    qint16 startY = 0;
    qint16 endX = 0;
    qint16 endY = 0;
    bool ifDraw = false;

    QPixmap picture;
    bool transparent = true;

    // A release only finishes a dragged sign whose press the layer saw
    // since it was armed; otherwise the start would be whatever an earlier
    // sign left behind.
    bool pressSeen = false;

    Sign dragBox;
    bool dragBoxVisible = false;
    Sign dragLine;
    bool dragLineVisible = false;
    Sign labelPreview;
    bool labelPreviewVisible = false;

    bool ownMouse = true;
    qreal zoom = 1.0;
};

WhiteBoardSign::WhiteBoardSign(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<WhiteBoardSignPrivate>(this))
{
    setMouseTracking(true);
    setAccessibleName(tr("白板"));
    setAccessibleDescription(tr("老师在这里画图和写字"));
    d->labelPreview.shape = stText;
    d->dragLine.shape = stLine;
}

WhiteBoardSign::~WhiteBoardSign() = default;

ShapeType WhiteBoardSign::Shape() const
{
    return d->shape;
}

void WhiteBoardSign::setShape(ShapeType Shape)
{
    d->shape = Shape;
}

quint32 WhiteBoardSign::Color() const
{
    return d->color;
}

void WhiteBoardSign::setColor(quint32 Color)
{
    d->color = Color;
}

qint16 WhiteBoardSign::LineWidth() const
{
    return d->lineWidth;
}

void WhiteBoardSign::setLineWidth(qint16 LineWidth)
{
    d->lineWidth = LineWidth;
}

QString WhiteBoardSign::FontName() const
{
    return d->fontName;
}

void WhiteBoardSign::setFontName(const QString &FontName)
{
    d->fontName = TrimBlanks(FontName).isEmpty() ? kDefaultFont : FontName;
}

qint16 WhiteBoardSign::FontSize() const
{
    return d->fontSize;
}

void WhiteBoardSign::setFontSize(qint16 FontSize)
{
    d->fontSize = FontSize;
}

QString WhiteBoardSign::Text() const
{
    return d->text;
}

void WhiteBoardSign::setText(const QString &Text)
{
    d->text = TrimBlanks(Text);
}

QString WhiteBoardSign::ImagePath() const
{
    return d->imagePath;
}

void WhiteBoardSign::setImagePath(const QString &ImagePath)
{
    d->imagePath = ImagePath;
}

qint16 WhiteBoardSign::StartPosX() const
{
    return d->startX;
}

void WhiteBoardSign::setStartPosX(qint16 StartPosX)
{
    d->startX = StartPosX;
}

qint16 WhiteBoardSign::StartPosY() const
{
    return d->startY;
}

void WhiteBoardSign::setStartPosY(qint16 StartPosY)
{
    d->startY = StartPosY;
}

qint16 WhiteBoardSign::EndPosX() const
{
    return d->endX;
}

void WhiteBoardSign::setEndPosX(qint16 EndPosX)
{
    d->endX = EndPosX;
}

qint16 WhiteBoardSign::EndPosY() const
{
    return d->endY;
}

void WhiteBoardSign::setEndPosY(qint16 EndPosY)
{
    d->endY = EndPosY;
}

bool WhiteBoardSign::IfDraw() const
{
    return d->ifDraw;
}

void WhiteBoardSign::setIfDraw(bool IfDraw)
{
    // Arming anew forgets an earlier press; arming again while armed (a
    // host repeating itself mid-drag) keeps it.
    if (!IfDraw || !d->ifDraw)
        d->pressSeen = false;
    d->ifDraw = IfDraw;
    if (!IfDraw) {
        // A host that disarms in the middle of a drag would otherwise leave
        // a rubber band or a text preview on the board for good.
        d->hideDragElements();
        d->setOverlay(d->labelPreview, d->labelPreviewVisible, false);
    }
}

bool WhiteBoardSign::bIsTransparent() const
{
    return d->transparent;
}

bool WhiteBoardSign::AddNewSign()
{
    if (!d->ifDraw)
        return false;

    const ElementKind kind = ElementKindOf(d->shape);
    if (kind == ElementKind::Label || kind == ElementKind::Arrow) {
        d->startX = d->endX;
        d->startY = d->endY;
    }

    SignRequest request;
    request.shape = d->shape;
    request.start = QPoint(d->startX, d->startY);
    request.end = QPoint(d->endX, d->endY);
    request.color = d->color;
    request.lineWidth = d->lineWidth;
    if (kind == ElementKind::Label) {
        request.text = d->text;
        request.fontName = d->fontName;
        request.fontSize = d->fontSize;
        request.labelSize = LabelSizeTwips(d->text, LabelFont(d->fontName, d->fontSize));
    }

    const AddResult result = d->model.add(request);
    switch (result.outcome) {
    case AddOutcome::Added:
        d->canvas.signAdded(result.id);
        d->repaintTwips(result.dirty);
        break;
    case AddOutcome::ArrowPlaced: d->repaintTwips(result.dirty); break;
    case AddOutcome::Degenerate: break;
    case AddOutcome::Full:
        Global::WriteErrorLog(kModule, u"AddNewSign"_s,
            u"More than %1 signs of kind %2; the sign is refused."_s.arg(SignModel::kMaxPerKind)
                .arg(int(d->shape)),
            __LINE__);
        break;
    case AddOutcome::UnknownShape:
        Global::WriteErrorLog(
            kModule, u"AddNewSign"_s, u"Unknown sign kind %1."_s.arg(int(d->shape)), __LINE__);
        break;
    }

    // The preview has done its work once the text sign is down; left up it
    // would still show the text after the sign itself is removed.
    if (kind == ElementKind::Label)
        d->setOverlay(d->labelPreview, d->labelPreviewVisible, false);
    d->ifDraw = false;
    d->pressSeen = false;
    return result.outcome == AddOutcome::Added || result.outcome == AddOutcome::ArrowPlaced;
}

bool WhiteBoardSign::ClearSign()
{
    d->model.clear();
    d->canvas.clear();
    d->labelPreviewVisible = false;
    ClearPicture();
    update();
    return true;
}

bool WhiteBoardSign::ClearLastSign()
{
    const ElementKind kind = ElementKindOf(d->shape);
    if (kind == ElementKind::None) {
        Global::WriteErrorLog(
            kModule, u"ClearSingleSign"_s, u"Unknown sign kind %1."_s.arg(int(d->shape)), __LINE__);
        return false;
    }
    const RemoveResult removed = d->model.removeLast(d->shape);
    if (removed.dirty.isEmpty())
        return false;
    if (removed.id >= 0)
        d->canvas.signRemoved(removed.id, removed.dirty);
    d->repaintTwips(removed.dirty);
    return true;
}

void WhiteBoardSign::ClearSignEvent()
{
    Q_EMIT OnClean();
}

void WhiteBoardSign::OnMouseDown(qint16 Button, qint16 Shift, float x, float y)
{
    if (Button != 1)
        return;
    if (d->ifDraw) {
        d->startX = RoundToTwip(x);
        d->startY = RoundToTwip(y);
        d->pressSeen = true;
    }
    if (d->shape == stText || d->shape == stArrow)
        OnMouseUp(Button, Shift, x, y);
}

void WhiteBoardSign::OnMouseMove(qint16 Button, qint16 Shift, float x, float y)
{
    Q_UNUSED(Shift);
    if (!d->ifDraw)
        return;
    const bool follows = d->shape == stText || d->shape == stArrow;
    const bool dragging = (Button & 1) != 0 && d->pressSeen;
    if (!follows && !dragging)
        return;

    d->endX = RoundToTwip(x);
    d->endY = RoundToTwip(y);
    if (d->endX != d->startX && d->endY != d->startY) {
        switch (ElementKindOf(d->shape)) {
        case ElementKind::Shape:
            d->dragBox.shape = d->shape;
            d->dragBox.color = d->color;
            d->dragBox.lineWidth = d->lineWidth;
            d->dragBox.box = QRect(std::min(d->startX, d->endX), std::min(d->startY, d->endY),
                std::abs(d->endX - d->startX), std::abs(d->endY - d->startY));
            d->setOverlay(d->dragBox, d->dragBoxVisible, true);
            break;
        case ElementKind::Line:
            d->dragLine.color = d->color;
            d->dragLine.lineWidth = d->lineWidth;
            d->dragLine.from = QPoint(d->startX, d->startY);
            d->dragLine.to = QPoint(d->endX, d->endY);
            d->setOverlay(d->dragLine, d->dragLineVisible, true);
            break;
        case ElementKind::Label: {
            Sign &preview = d->labelPreview;
            preview.text = d->text;
            preview.color = d->color;
            preview.fontName = d->fontName;
            preview.fontSize = d->fontSize;
            preview.box = QRect(QPoint(d->endX, d->endY),
                LabelSizeTwips(d->text, LabelFont(d->fontName, d->fontSize)));
            d->setOverlay(preview, d->labelPreviewVisible, true);
            break;
        }
        case ElementKind::Arrow:
            d->repaintTwips(d->model.placeArrow(QPoint(d->endX, d->endY), true));
            Q_EMIT OnArrowMove(d->endX, d->endY);
            break;
        case ElementKind::None: break;
        }
    }
    Q_EMIT IDLE();
}

void WhiteBoardSign::OnMouseUp(qint16 Button, qint16 Shift, float x, float y)
{
    Q_UNUSED(Shift);
    if (Button != 1 || !d->ifDraw)
        return;
    const bool dragged = ElementKindOf(d->shape) == ElementKind::Shape
        || ElementKindOf(d->shape) == ElementKind::Line;
    if (dragged && !d->pressSeen)
        return;
    d->hideDragElements();
    d->endX = RoundToTwip(x);
    d->endY = RoundToTwip(y);
    AddNewSign();
    Q_EMIT OnEndPaint(d->shape, d->startX, d->startY, d->endX, d->endY, d->color, d->lineWidth,
        d->text, d->fontName, d->fontSize);
}

void WhiteBoardSign::MoveArrow()
{
    d->repaintTwips(d->model.placeArrow(QPoint(d->endX, d->endY), true));
}

void WhiteBoardSign::SetPicture(const QPixmap &picture)
{
    if (picture.isNull()) {
        ClearPicture();
        return;
    }
    d->picture = picture;
    d->transparent = false;
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    update();
}

void WhiteBoardSign::ClearPicture()
{
    const bool hadPicture = !d->transparent;
    d->picture = QPixmap();
    d->transparent = true;
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (hadPicture)
        update();
}

void WhiteBoardSign::setZoom(qreal zoom)
{
    // A zero or absurd factor from a host mid-layout would make an empty
    // or enormous canvas.
    zoom = std::clamp(std::isfinite(zoom) ? zoom : 1.0, 0.05, 20.0);
    if (qFuzzyCompare(zoom, d->zoom))
        return;
    d->zoom = zoom;
    d->resizeCanvas();
    update();
}

qreal WhiteBoardSign::zoom() const
{
    return d->zoom;
}

void WhiteBoardSign::setHandlesOwnMouse(bool handles)
{
    d->ownMouse = handles;
    setAttribute(Qt::WA_TransparentForMouseEvents, !handles);
    setMouseTracking(handles);
}

bool WhiteBoardSign::handlesOwnMouse() const
{
    return d->ownMouse;
}

const SignModel &WhiteBoardSign::model() const
{
    return d->model;
}

void WhiteBoardSign::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = event->rect().intersected(rect());
    if (!d->transparent) {
        // A capture from a high-density screen has more pixels than the
        // area it shows; it is drawn at its logical size, like any other.
        const qreal ratio = d->picture.devicePixelRatio();
        const QRect pictureArea(QPoint(), (QSizeF(d->picture.size()) / ratio).toSize());
        const QRect covered = area.intersected(pictureArea);
        for (const QRect &bare : QRegion(area).subtracted(covered))
            painter.fillRect(bare, palette().window());
        if (!covered.isEmpty()) {
            const QRectF source(QPointF(covered.topLeft()) * ratio, QSizeF(covered.size()) * ratio);
            painter.drawPixmap(QRectF(covered), d->picture, source);
        }
    }
    // The canvas renders design pixels at the screen's density times the
    // zoom, so a larger board shows crisp strokes, not a stretched image.
    const QRect designArea = d->toDesign(area);
    painter.scale(d->zoom, d->zoom);
    d->canvas.setDevicePixelRatio(devicePixelRatioF() * d->zoom);
    d->canvas.paint(painter, designArea);
    if (!d->canvas.complete() && !d->fillTimer.isActive())
        d->fillTimer.start();

    const auto paintOverlay = [&](const Sign &overlay, bool visible) {
        if (visible && TwipsToPixels(overlay.bounds).intersects(designArea))
            PaintSign(painter, overlay);
    };
    paintOverlay(d->labelPreview, d->labelPreviewVisible);
    paintOverlay(d->dragLine, d->dragLineVisible);
    paintOverlay(d->dragBox, d->dragBoxVisible);
    // The pointer stays above every sign, new ones included: it shows where
    // the teacher points.
    if (d->model.arrowVisible()) {
        const QRect arrow = TwipsToPixels(d->model.arrowRect());
        if (arrow.intersects(designArea))
            painter.drawImage(arrow.topLeft(), ArrowPicture(devicePixelRatioF() * d->zoom));
    }
}

void WhiteBoardSign::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->resizeCanvas();
}

void WhiteBoardSign::mousePressEvent(QMouseEvent *event)
{
    const QPointF p = d->layerToTwips(event->position());
    OnMouseDown(
        ButtonBits(event->button()), ShiftBits(event->modifiers()), float(p.x()), float(p.y()));
    event->accept();
}

void WhiteBoardSign::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF p = d->layerToTwips(event->position());
    OnMouseMove(
        ButtonBits(event->buttons()), ShiftBits(event->modifiers()), float(p.x()), float(p.y()));
    event->accept();
}

void WhiteBoardSign::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF p = d->layerToTwips(event->position());
    OnMouseUp(
        ButtonBits(event->button()), ShiftBits(event->modifiers()), float(p.x()), float(p.y()));
    event->accept();
}
