#include "client/shell/shellcommands.h"

#include "client/session/sessionstate.h"
#include "common/apppaths.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "controls/notesmanage/notesmanage.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTextBrowser>

ShellCommands::ShellCommands(Deps deps, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(deps))
{
    if (!m_deps.openUrl)
        m_deps.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    if (!m_deps.chooseExportFile) {
        m_deps.chooseExportFile = [window = m_deps.window](auto done) {
            const QString text = tr("文本文件 (*.txt)");
            const QString pdf = tr("PDF 文件，含课件页和板书 (*.pdf)");
            auto *dialog = new QFileDialog(window);
            dialog->setNameFilters({text, pdf});
            dialog->setObjectName(QStringLiteral("dlgExport"));
            dialog->setAcceptMode(QFileDialog::AcceptSave);
            // The text export appends; an existing file is not a reason to
            // ask. A PDF replaces the file: then the dialog asks.
            dialog->setOption(QFileDialog::DontConfirmOverwrite);
            connect(
                dialog, &QFileDialog::filterSelected, dialog, [dialog, pdf](const QString &filter) {
                    dialog->setOption(QFileDialog::DontConfirmOverwrite, filter != pdf);
                    dialog->setDefaultSuffix(filter == pdf ? QStringLiteral("pdf") : QString());
                });
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            connect(dialog, &QFileDialog::fileSelected, dialog,
                [done](const QString &file) { done(file); });
            dialog->open();
        };
    }
}

QString ShellCommands::LocalHelpPath()
{
    return Global::WithTrailingSeparator(Global::ApplicationFolder())
        + QStringLiteral("help/LumoStudent.html");
}

void ShellCommands::Help()
{
    const QUrl page(
        QStringLiteral("http://%1/askdesk/lumo/sindex.htm").arg(m_deps.session.WebHost));
    if (!m_deps.session.WebHost.isEmpty() && page.isValid() && m_deps.openUrl(page))
        return;
    showLocalHelp();
}

void ShellCommands::showLocalHelp()
{
    const QString path = LocalHelpPath();
    if (!QFileInfo::exists(path)) {
        Global::WriteErrorLog(QStringLiteral("Form1"), QStringLiteral("mnuHelp_Click"),
            QStringLiteral("help page missing: ") + path);
        m_deps.prompter.inform(
            tr("Lumo Class 系统提示："), tr("指定文件:LumoStudent.html,没有找到！"));
        return;
    }
    if (!m_helpWindow) {
        m_helpWindow = new QTextBrowser(m_deps.window);
        m_helpWindow->setWindowFlag(Qt::Window);
        m_helpWindow->setObjectName(QStringLiteral("helpWindow"));
        m_helpWindow->setWindowTitle(tr("帮助"));
        m_helpWindow->setOpenExternalLinks(true);
        m_helpWindow->resize(560, 480);
    }
    m_helpWindow->setSource(QUrl::fromLocalFile(path));
    m_helpWindow->show();
    m_helpWindow->raise();
}

void ShellCommands::OpenWebSite()
{
    if (m_deps.session.WebHost.isEmpty())
        return;
    m_deps.openUrl(QUrl(QStringLiteral("http://") + m_deps.session.WebHost));
}

bool ShellCommands::AppendExport(const QString &path, const QString &history, const QDateTime &when)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QString header = QStringLiteral("------------短消息导出-------------------- ")
        + when.date().toString(QStringLiteral("yyyy-MM-dd")) + u' '
        + when.time().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("\r\n");
    const QByteArray bytes = (header + history + QStringLiteral("\r\n")).toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

void ShellCommands::ExportNotes()
{
    QPointer<NotesManage> notes = m_deps.notes;
    m_deps.chooseExportFile([this, notes](const QString &path) {
        if (path.isEmpty() || !notes)
            return;
        const bool pdf = path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
        if (pdf && m_deps.exportPdf) {
            if (!m_deps.exportPdf(path))
                m_deps.prompter.inform(tr("Lumo Class 系统提示："), tr("打开指定文件出错！"));
            return;
        }
        if (!AppendExport(path, notes->Export(), QDateTime::currentDateTime())) {
            Global::WriteErrorLog(QStringLiteral("Form1"), QStringLiteral("mnuExportMsg_Click"),
                QStringLiteral("cannot write ") + path);
            m_deps.prompter.inform(tr("Lumo Class 系统提示："), tr("打开指定文件出错！"));
        }
    });
}
