#include "controls/toolbar/toolbar.h"

#include "controls/toolbar/palettecolors.h"
#include "controls/toolbar/swatchpicture.h"
#include "controls/toolbar/toolpictures.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QToolButton>

#include <array>

using namespace Qt::StringLiterals;
using namespace ToolPalette;

namespace {

constexpr int kToolCount = 7;
constexpr int kLineWidths = 8;

} // namespace

class ToolBarPrivate
{
public:
    explicit ToolBarPrivate(ToolBar *owner)
        : q(owner)
    { }

    void build();
    void layOut();
    void toolChosen(int index);
    void swatchChosen(int index);

    ToolBar *q;
    std::array<QToolButton *, kToolCount> tools{};
    QButtonGroup *group = nullptr;
    QComboBox *widths = nullptr;
    SwatchPicture *grid = nullptr;
    SwatchPicture *strip = nullptr;
    quint32 color = 255;
    qint16 lineWidth = 1;
    qint16 viewMode = 0;
};

void ToolBarPrivate::build()
{
    static const char *const captions[kToolCount] = {QT_TRANSLATE_NOOP("ToolBar", "缺省状态"),
        QT_TRANSLATE_NOOP("ToolBar", "矩形"), QT_TRANSLATE_NOOP("ToolBar", "圆角矩形"),
        QT_TRANSLATE_NOOP("ToolBar", "椭圆"), QT_TRANSLATE_NOOP("ToolBar", "直线"),
        QT_TRANSLATE_NOOP("ToolBar", "文字"), QT_TRANSLATE_NOOP("ToolBar", "指针")};
    group = new QButtonGroup(q);
    group->setExclusive(true);
    for (int index = 0; index < kToolCount; ++index) {
        auto *button = new QToolButton(q);
        button->setObjectName(u"tool%1"_s.arg(index));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(ToolIcon(index));
        button->setIconSize(QSize(22, 22));
        const QString caption = ToolBar::tr(captions[index]);
        button->setToolTip(caption);
        button->setAccessibleName(caption);
        button->setFocusPolicy(Qt::StrongFocus);
        group->addButton(button, index);
        tools[std::size_t(index)] = button;
    }
    tools[0]->setChecked(true);
    // Tab walks the tools, then the width list, then the shown swatches.
    for (int index = 1; index < kToolCount; ++index)
        QWidget::setTabOrder(tools[std::size_t(index - 1)], tools[std::size_t(index)]);
    q->setAccessibleName(ToolBar::tr("白板工具"));
    QObject::connect(group, &QButtonGroup::idClicked, q, [this](int index) { toolChosen(index); });

    widths = new QComboBox(q);
    widths->setObjectName(u"lineWidthList"_s);
    widths->setToolTip(ToolBar::tr("线宽"));
    widths->setAccessibleName(ToolBar::tr("线宽"));
    widths->setAccessibleDescription(ToolBar::tr("线宽"));
    widths->setIconSize(QSize(40, 12));
    for (int width = 1; width <= kLineWidths; ++width)
        widths->addItem(LineWidthIcon(width), QString::number(width), u"_%1"_s.arg(width));
    widths->setCurrentIndex(0);
    // `activated` covers both a click on an item and a change made with the
    // keyboard; programmatic changes are not the user's choice.
    QObject::connect(widths, &QComboBox::activated, q, [this](int index) {
        lineWidth = qint16(index + 1);
        Q_EMIT q->OnChangeLineWidth(lineWidth);
    });

    grid = new SwatchPicture(kGridColumns, kGridRows, q);
    grid->setObjectName(u"swatchGrid"_s);
    strip = new SwatchPicture(kSwatchCount, 1, q);
    strip->setObjectName(u"swatchStrip"_s);
    QWidget::setTabOrder(tools[kToolCount - 1], widths);
    QWidget::setTabOrder(widths, grid);
    QWidget::setTabOrder(grid, strip);
    for (SwatchPicture *picture : {grid, strip}) {
        picture->setAccessibleName(ToolBar::tr("颜色"));
        QObject::connect(
            picture, &SwatchPicture::chosen, q, [this](int index) { swatchChosen(index); });
    }
}

void ToolBarPrivate::layOut()
{
    delete q->layout();
    const bool tall = viewMode == 0;
    auto *outer = new QBoxLayout(tall ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, q);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(4);
    auto *buttons = new QBoxLayout(tall ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    buttons->setSpacing(1);
    for (QToolButton *button : tools)
        buttons->addWidget(button, 0, Qt::AlignCenter);
    outer->addLayout(buttons);
    outer->addWidget(widths, 0, tall ? Qt::AlignHCenter : Qt::AlignVCenter);
    SwatchPicture *shown = tall ? grid : strip;
    SwatchPicture *hidden = tall ? strip : grid;
    hidden->hide();
    outer->addWidget(shown, 0, Qt::AlignCenter);
    shown->show();
    outer->addStretch(1);
    q->updateGeometry();
}

void ToolBarPrivate::toolChosen(int index)
{
    switch (index) {
    case 1: Q_EMIT q->OnRect(lineWidth, color); break;
    case 2: Q_EMIT q->OnRoundRect(lineWidth, color); break;
    case 3: Q_EMIT q->OnCircle(lineWidth, color); break;
    case 4: Q_EMIT q->OnLine(lineWidth, color); break;
    case 5: Q_EMIT q->OnText(); break;
    case 6: Q_EMIT q->OnArrow(); break;
    default: break; // the no-tool button raises nothing
    }
}

void ToolBarPrivate::swatchChosen(int index)
{
    // Both pictures show the same colours in the same order; keeping their
    // frames together shows the right cell after a layout change.
    grid->setMarked(index);
    strip->setMarked(index);
    color = kSwatchColors[std::size_t(index)];
    Q_EMIT q->OnChangeColor(color);
}

ToolBar::ToolBar(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<ToolBarPrivate>(this))
{
    d->build();
    d->layOut();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

ToolBar::~ToolBar() = default;

void ToolBar::Reset()
{
    d->tools[0]->setChecked(true);
    d->tools[0]->setFocus(Qt::OtherFocusReason);
}

qint16 ToolBar::ViewMode() const
{
    return d->viewMode;
}

void ToolBar::setViewMode(qint16 ViewMode)
{
    d->viewMode = ViewMode == 0 ? 0 : 1;
    d->layOut();
}

quint32 ToolBar::currentColor() const
{
    return d->color;
}

qint16 ToolBar::currentLineWidth() const
{
    return d->lineWidth;
}

int ToolBar::currentTool() const
{
    return d->group->checkedId();
}
