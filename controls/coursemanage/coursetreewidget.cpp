#include "controls/coursemanage/coursetreewidget.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

CourseTreeWidget::CourseTreeWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setInteractive(true);
}

void CourseTreeWidget::setInteractive(bool interactive)
{
    m_interactive = interactive;
    setEditTriggers(interactive
            ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
            : QAbstractItemView::NoEditTriggers);
    setDragEnabled(interactive);
    setAcceptDrops(interactive);
    viewport()->setAcceptDrops(interactive);
}

void CourseTreeWidget::mousePressEvent(QMouseEvent *event)
{
    if (!m_interactive) {
        event->accept();
        return;
    }
    QTreeWidgetItem *item = itemAt(event->position().toPoint());
    // A press beside every node keeps the selection as it was.
    if (item)
        QTreeWidget::mousePressEvent(event);
    else
        event->accept();
    Q_EMIT nodePressed(item, event->button(), event->globalPosition().toPoint());
}

void CourseTreeWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_interactive)
        QTreeWidget::mouseDoubleClickEvent(event);
    event->accept();
    Q_EMIT nodeActivated();
}

void CourseTreeWidget::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && state() != QAbstractItemView::EditingState) {
        event->accept();
        Q_EMIT nodeActivated();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CourseTreeWidget::startDrag(Qt::DropActions supportedActions)
{
    Q_UNUSED(supportedActions)
    QTreeWidgetItem *item = currentItem();
    if (!m_interactive || !item)
        return;
    auto *mime = new QMimeData;
    mime->setText(item->data(0, KeyRole).toString());
    // QDrag runs the platform's drag loop until the drop; the tree is
    // changed only by the drop handler afterwards.
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(item->icon(0).pixmap(16, 16));
    drag->exec(Qt::MoveAction);
}

void CourseTreeWidget::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (m_interactive && mime && (!localFiles(mime).isEmpty() || mime->hasText()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CourseTreeWidget::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_interactive) {
        event->ignore();
        return;
    }
    if (QTreeWidgetItem *item = itemAt(event->position().toPoint()))
        setCurrentItem(item);
    event->acceptProposedAction();
}

void CourseTreeWidget::dropEvent(QDropEvent *event)
{
    if (!m_interactive) {
        event->ignore();
        return;
    }
    const QMimeData *mime = event->mimeData();
    const QStringList files = localFiles(mime);
    event->acceptProposedAction();
    if (!files.isEmpty())
        Q_EMIT filesDropped(files);
    else if (mime && mime->hasText())
        Q_EMIT nodeDropped(mime->text(), itemAt(event->position().toPoint()));
}
