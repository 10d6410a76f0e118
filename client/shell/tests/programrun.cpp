#include "client/shell/tests/programrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QUdpSocket>

#include <memory>
#include <vector>

ProgramRun::ProgramRun(
    const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    // The tests read the interface's Chinese texts: whatever language the
    // machine speaks, the programs run in the source language.
    QProcessEnvironment environment = env;
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    m_process.setProcessEnvironment(environment);
    QObject::connect(
        &m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readLines(); });
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
        [this] { m_stderr += m_process.readAllStandardError(); });
    m_process.start(binFolder() + program, arguments);
    m_started = m_process.waitForStarted(10000);
}

ProgramRun::~ProgramRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

QString ProgramRun::binFolder()
{
    return QCoreApplication::applicationDirPath() + u'/';
}

void ProgramRun::readLines()
{
    const QByteArray chunk = m_process.readAllStandardOutput();
    m_stdout += chunk;
    m_pending += chunk;
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            m_lines << doc.object();
    }
}

void ProgramRun::send(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
}

bool ProgramRun::waitFor(const std::function<bool(const QJsonObject &)> &match, int timeoutMs)
{
    return waitFrom(0, match, timeoutMs);
}

bool ProgramRun::waitFrom(
    qsizetype from, const std::function<bool(const QJsonObject &)> &match, int timeoutMs)
{
    qsizetype checked = from;
    return QTest::qWaitFor(
        [&] {
            for (; checked < m_lines.size(); ++checked) {
                if (match(m_lines.at(checked)))
                    return true;
            }
            return false;
        },
        timeoutMs);
}

namespace {
bool Matches(const QJsonObject &line, const QString &event, const QString &text)
{
    if (line.value(QStringLiteral("event")).toString() != event)
        return false;
    if (text.isEmpty())
        return true;
    for (auto it = line.begin(); it != line.end(); ++it) {
        if (it.value().isString() && it.value().toString().contains(text))
            return true;
    }
    return false;
}
} // namespace

bool ProgramRun::waitForEvent(const QString &event, const QString &text, int timeoutMs)
{
    return waitFor([&](const QJsonObject &line) { return Matches(line, event, text); }, timeoutMs);
}

bool ProgramRun::hasEvent(const QString &event, const QString &text) const
{
    for (const QJsonObject &line : m_lines) {
        if (Matches(line, event, text))
            return true;
    }
    return false;
}

QString ProgramRun::transcript() const
{
    QStringList out;
    for (const QJsonObject &line : m_lines)
        out << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
    return out.join(u'\n') + QStringLiteral("\n--- stderr ---\n")
        + QString::fromUtf8(m_stderr.right(3000));
}

SimRun::SimRun(const QString &folder, const QByteArray &configJson, bool console,
    const SimRun *samePortsAs, const QStringList &extra)
{
    const QString configPath = folder + QStringLiteral("/sim.json");
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(configJson) != configJson.size())
        return;
    file.close();
    QStringList arguments{QStringLiteral("--config"), configPath, QStringLiteral("--script-start"),
        QStringLiteral("never")};
    if (!console)
        arguments << QStringLiteral("--no-console");
    if (samePortsAs)
        arguments << QStringLiteral("--web-port") << QString::number(samePortsAs->web())
                  << QStringLiteral("--campus-port") << QString::number(samePortsAs->campus())
                  << QStringLiteral("--classroom-port")
                  << QString::number(samePortsAs->classroom());
    arguments << extra;
    m_run = std::make_unique<ProgramRun>(QStringLiteral("lumo-classroom-sim"), arguments);
    m_run->waitFor([this](const QJsonObject &line) {
        if (!line.contains(QStringLiteral("campus")))
            return false;
        m_web = line.value(QStringLiteral("web")).toInt();
        m_campus = line.value(QStringLiteral("campus")).toInt();
        m_classroom = line.value(QStringLiteral("classroom")).toInt();
        return true;
    });
}

QByteArray SimRun::DemoConfig(
    const QString &courseFolder, const std::function<void(QJsonObject &)> &change)
{
    QFile demo(ProgramRun::binFolder() + QStringLiteral("demo/demo.json"));
    if (!demo.open(QIODevice::ReadOnly))
        return {};
    QJsonObject root = QJsonDocument::fromJson(demo.readAll()).object();
    root.insert(QStringLiteral("courseFolder"), courseFolder);
    root.insert(
        QStringLiteral("pagesFolder"), ProgramRun::binFolder() + QStringLiteral("demo/pages"));
    // No scripted lesson: the tests end at the class entry.
    QJsonArray rooms = root.value(QStringLiteral("classrooms")).toArray();
    for (qsizetype i = 0; i < rooms.size(); ++i) {
        QJsonObject room = rooms.at(i).toObject();
        room.insert(QStringLiteral("script"), QString());
        rooms.replace(i, room);
    }
    root.insert(QStringLiteral("classrooms"), rooms);
    if (change)
        change(root);
    return QJsonDocument(root).toJson();
}

ConsoleSim::ConsoleSim(const QString &folder, const QByteArray &configJson,
    const ConsoleSim *samePortsAs, const QStringList &extra)
    : SimRun(folder, configJson, true, samePortsAs, extra)
{ }

void ConsoleSim::command(const QString &line)
{
    program().process().write((line + QLatin1Char('\n')).toUtf8());
}

bool ConsoleSim::waitFor(const QString &what, qint32 id, int timeoutMs)
{
    return program().waitFor(
        [&](const QJsonObject &l) {
            return l.value(QStringLiteral("sim")).toString() == what
                && (id == 0 || l.value(QStringLiteral("UserID")).toInt() == id);
        },
        timeoutMs);
}

bool ConsoleSim::hasNote(qint32 from, qint32 to, const QString &text)
{
    for (const QJsonObject &l : program().lines())
        if (l.value(QStringLiteral("sim")).toString() == QStringLiteral("note")
            && l.value(QStringLiteral("FromID")).toInt() == from
            && l.value(QStringLiteral("ToID")).toInt() == to
            && l.value(QStringLiteral("Message")).toString().contains(text))
            return true;
    return false;
}

qint64 ConsoleSim::relayReceived(qint32 id)
{
    const qsizetype before = program().lineCount();
    command(QStringLiteral("relay"));
    qint64 count = -1;
    program().waitFrom(before, [&](const QJsonObject &l) {
        if (l.value(QStringLiteral("sim")).toString() != QStringLiteral("relay"))
            return false;
        count
            = l.value(QStringLiteral("received")).toObject().value(QString::number(id)).toInteger();
        return true;
    });
    return count;
}

QJsonObject ConsoleSim::relayCounters()
{
    const qsizetype before = program().lineCount();
    command(QStringLiteral("relay"));
    QJsonObject counters;
    program().waitFrom(before, [&](const QJsonObject &l) {
        if (l.value(QStringLiteral("sim")).toString() != QStringLiteral("relay"))
            return false;
        counters = l;
        return true;
    });
    return counters;
}

quint16 PortFreeOnAll(const QStringList &addresses)
{
    if (addresses.isEmpty())
        return 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        QUdpSocket first;
        if (!first.bind(QHostAddress(addresses.first()), 0))
            return 0;
        std::vector<std::unique_ptr<QUdpSocket>> others;
        bool allFree = true;
        for (qsizetype i = 1; i < addresses.size() && allFree; ++i) {
            others.push_back(std::make_unique<QUdpSocket>());
            allFree = others.back()->bind(QHostAddress(addresses[i]), first.localPort());
        }
        if (allFree)
            return first.localPort();
    }
    return 0;
}
