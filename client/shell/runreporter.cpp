#include "client/shell/runreporter.h"

#include <QApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace {

QString FileNamePart(QString text)
{
    for (QChar &c : text) {
        if (!c.isLetterOrNumber() || c.unicode() > 127)
            c = u'_';
    }
    return text.left(40);
}

QString WindowName(const QWidget *window)
{
    return window->objectName().isEmpty() ? QString::fromLatin1(window->metaObject()->className())
                                          : window->objectName();
}

} // namespace

RunReporter::RunReporter(std::FILE *out, const QString &pictureDir, QObject *parent)
    : QObject(parent)
    , m_out(out)
{
    if (!pictureDir.isEmpty() && QDir().mkpath(pictureDir)) {
        m_pictures = QDir(pictureDir);
        m_savePictures = true;
    }
    qApp->installEventFilter(this);
}

RunReporter::~RunReporter() = default;

void RunReporter::event(const QString &kind, const QJsonObject &fields)
{
    if (!m_out)
        return;
    QJsonObject line = fields;
    line.insert(QStringLiteral("event"), kind);
    line.insert(QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), m_out);
    std::fflush(m_out);
}

void RunReporter::stage(const QString &name, const QString &detail, QWidget *window)
{
    const int number = ++m_stage;
    event(QStringLiteral("stage"),
        {{QStringLiteral("stage"), number}, {QStringLiteral("name"), name},
            {QStringLiteral("detail"), detail}});
    if (!m_savePictures)
        return;
    const QString prefix
        = QStringLiteral("%1-%2").arg(number, 2, 10, QLatin1Char('0')).arg(FileNamePart(name));
    if (window) {
        // Once its layout has run, before a scripted answer can close it.
        QTimer::singleShot(0, this, [this, number, prefix, shown = QPointer<QWidget>(window)] {
            if (!shown)
                return;
            const QString file = m_pictures.filePath(prefix + QStringLiteral("-window.png"));
            if (shown->grab().save(file))
                event(QStringLiteral("picture"),
                    {{QStringLiteral("stage"), number}, {QStringLiteral("file"), file}});
        });
    }
    // After the windows have painted what the stage changed.
    QTimer::singleShot(250, this, [this, number, prefix] {
        const QStringList files = savePictures(prefix);
        for (const QString &file : files)
            event(QStringLiteral("picture"),
                {{QStringLiteral("stage"), number}, {QStringLiteral("file"), file}});
    });
}

QStringList RunReporter::savePictures(const QString &name)
{
    QStringList files;
    if (!m_savePictures)
        return files;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->isVisible() || window->isMinimized())
            continue;
        const QString file = m_pictures.filePath(
            name + u'-' + FileNamePart(WindowName(window)) + QStringLiteral(".png"));
        if (window->grab().save(file))
            files << file;
    }
    return files;
}

QString RunReporter::pictureFile(const QString &name) const
{
    return m_savePictures ? m_pictures.filePath(FileNamePart(name) + QStringLiteral(".png"))
                          : QString();
}

bool RunReporter::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::Show && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow() && !widget->inherits("QMenu") && !widget->inherits("QToolTip")
            && widget->windowType() != Qt::ToolTip && widget->windowType() != Qt::Popup) {
            stage(QStringLiteral("shown ") + WindowName(widget), widget->windowTitle(),
                widget->inherits("QMainWindow") ? nullptr : widget);
        }
    }
    return false;
}

ReportingPrompter::ReportingPrompter(Global::Prompter *inner, RunReporter *reporter)
    : m_inner(inner)
    , m_reporter(reporter)
{ }

Global::PromptAnswer ReportingPrompter::FirstButton(Global::PromptButtons buttons)
{
    using B = Global::PromptButtons;
    using A = Global::PromptAnswer;
    switch (buttons) {
    case B::Ok:
    case B::OkCancel: return A::Ok;
    case B::YesNo:
    case B::YesNoCancel: return A::Yes;
    case B::RetryCancel: return A::Retry;
    case B::AbortRetryIgnore: return A::Abort;
    }
    return A::Ok;
}

void ReportingPrompter::show(
    const Global::Prompt &prompt, std::function<void(Global::PromptAnswer)> done)
{
    m_reporter->event(QStringLiteral("prompt"),
        {{QStringLiteral("title"), prompt.title}, {QStringLiteral("text"), prompt.text}});
    if (m_inner) {
        m_inner->show(prompt, std::move(done));
        return;
    }
    m_reporter->stage(QStringLiteral("prompt"), prompt.text);
    if (done)
        done(FirstButton(prompt.buttons));
}

void ReportingPrompter::askText(const QString &title, const QString &label, const QString &initial,
    std::function<void(bool, const QString &)> done)
{
    m_reporter->event(QStringLiteral("question"),
        {{QStringLiteral("title"), title}, {QStringLiteral("text"), label}});
    if (m_inner) {
        m_inner->askText(title, label, initial, std::move(done));
        return;
    }
    if (done)
        done(false, QString());
}
