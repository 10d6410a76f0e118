#include "client/shell/talkindicator.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

TalkIndicator::TalkIndicator(QWidget *parent)
    : QWidget(parent)
    , m_state(new QLabel(this))
    , m_pushToTalk(new QCheckBox(tr("按住 F9 说话"), this))
    , m_hint(new QLabel(parent ? parent : this))
{
    setObjectName(QStringLiteral("TalkIndicator"));
    m_state->setObjectName(QStringLiteral("lblWhoHears"));
    m_state->setAccessibleName(tr("谁在听"));
    QFont bold = m_state->font();
    bold.setBold(true);
    m_state->setFont(bold);
    m_pushToTalk->setObjectName(QStringLiteral("chkPushToTalk"));
    // Off at start: a key of its own, not a habit the student has yet.
    m_pushToTalk->setChecked(false);
    m_pushToTalk->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_state, 1);
    row->addWidget(m_pushToTalk);

    m_hint->setObjectName(QStringLiteral("lblTalkHint"));
    m_hint->setWordWrap(true);
    m_hint->setStyleSheet(QStringLiteral(
        "QLabel { background: #fff8c4; border: 1px solid #b8a54a; border-radius: 4px; "
        "padding: 3px 6px; }"));
    m_hint->hide();
    m_hintTimer.setSingleShot(true);
    m_hintTimer.setInterval(HintShowMs);
    connect(&m_hintTimer, &QTimer::timeout, m_hint, &QWidget::hide);

    connect(m_pushToTalk, &QCheckBox::toggled, this, [this](bool on) {
        setKey(false);
        Q_EMIT pushToTalkChanged(on);
    });
    // The key counts wherever the focus is in this window, so the filter
    // sits on the application and keeps only this window's events.
    qApp->installEventFilter(this);
}

TalkIndicator::~TalkIndicator()
{
    delete m_hint;
}

QLabel *TalkIndicator::hintBubble() const
{
    return m_hint;
}

void TalkIndicator::setText(const QString &text)
{
    m_state->setText(text);
}

void TalkIndicator::showHint(const QString &text)
{
    m_hint->setText(text);
    placeHint();
    m_hint->show();
    m_hint->raise();
    m_hintTimer.start();
}

void TalkIndicator::placeHint()
{
    if (m_hint->parentWidget() != parentWidget())
        return;
    const int height = m_hint->heightForWidth(width());
    m_hint->setGeometry(x(), y() - height - 2, width(), height > 0 ? height : 24);
}

void TalkIndicator::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_hint->isVisible())
        placeHint();
}

void TalkIndicator::setKey(bool down)
{
    if (down == m_keyDown)
        return;
    m_keyDown = down;
    Q_EMIT talkKey(down);
}

bool TalkIndicator::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (key->key() != TalkKey || !m_pushToTalk->isChecked() || !widget
            || widget->window() != window())
            break;
        // Held keys repeat press and release pairs: only the real ones count.
        if (!key->isAutoRepeat())
            setKey(event->type() == QEvent::KeyPress);
        return true;
    }
    case QEvent::WindowDeactivate:
        if (watched == window())
            setKey(false);
        break;
    case QEvent::ApplicationDeactivate: setKey(false); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
