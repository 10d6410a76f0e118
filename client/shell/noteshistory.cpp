#include "client/shell/noteshistory.h"

#include "client/shell/lumoshell_logging.h"
#include "common/errorlog.h"
#include "controls/notesmanage/notesmanage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace NotesRecord {

namespace {

QByteArray escaped(const QString &text)
{
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// False when the line is not what this file writes (bad UTF-8, a lone
// escape): such a line is skipped.
bool unescaped(QByteArrayView line, QString &out)
{
    QByteArray raw;
    raw.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c != '\\') {
            raw += c;
            continue;
        }
        if (++i == line.size())
            return false;
        switch (line[i]) {
        case '\\': raw += '\\'; break;
        case 'r': raw += '\r'; break;
        case 'n': raw += '\n'; break;
        default: return false;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder(raw);
    return !decoder.hasError();
}

} // namespace

QByteArray keyLine(const QString &key)
{
    return 'K' + escaped(key) + '\n';
}

QByteArray textLine(const QString &text)
{
    return 'T' + escaped(text) + '\n';
}

Read parse(const QByteArray &bytes)
{
    Read read;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            break; // torn: the program ended while writing it
        const QByteArrayView line(bytes.constData() + start, end - start);
        start = end + 1;
        read.wholeBytes = start;
        QString text;
        if (line.isEmpty() || !unescaped(line.sliced(1), text))
            continue;
        if (line[0] == 'K')
            read.key = text;
        else if (line[0] == 'T')
            read.texts << text;
    }
    return read;
}

} // namespace NotesRecord

namespace {

// Texts shown again at re-entry: about what the panel keeps anyway.
constexpr qsizetype ReplayChars = NotesManage::HistoryLimit;

void logFailure(const QString &procedure, const QString &what)
{
    Global::WriteErrorLog(u"NotesHistory"_s, procedure, what);
}

} // namespace

NotesHistory::NotesHistory(Deps deps, QObject *parent)
    : QObject(parent)
    , m(std::move(deps))
{
    connect(&m.panel, &NotesManage::HistoryAppended, this, &NotesHistory::record);
    if (m.detached)
        connect(m.detached, &NotesManage::HistoryAppended, this, &NotesHistory::record);
    // A picture a moment after the signs, not one per sign: a flood of
    // signs costs one grab a second.
    m_snapshotTimer.setSingleShot(true);
    m_snapshotTimer.setInterval(1000);
    connect(&m_snapshotTimer, &QTimer::timeout, this, [this] {
        if (!m_key.isEmpty() && m.captureBoard)
            m_snapshot = m.captureBoard();
    });
}

NotesHistory::~NotesHistory() = default;

QString NotesHistory::keyFileName(const QString &key)
{
    // The key holds what the server and the student typed: never a path.
    return QString::fromLatin1(
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

void NotesHistory::classEntering(const QString &key)
{
    if (key == m_key && m_file.isOpen())
        return; // a return: the panel still shows this class
    close();
    open(key);
    if (!m_file.isOpen())
        return;
    QStringList texts = this->texts();
    qsizetype chars = 0;
    qsizetype first = texts.size();
    while (first > 0 && chars + texts.at(first - 1).size() <= ReplayChars)
        chars += texts.at(--first).size();
    if (first == texts.size())
        return;
    m_replaying = true;
    for (qsizetype i = first; i < texts.size(); ++i)
        m.panel.AddMessage(texts.at(i));
    m.panel.AddMessage(tr("[以上是这堂课先前的记录]") + u"\r\n"_s);
    m_replaying = false;
}

void NotesHistory::panelCleared()
{
    close();
}

void NotesHistory::open(const QString &key)
{
    m_key = key;
    m_writeFailed = false;
    m_boardUsed = false;
    m_lastKept = QImage();
    m_snapshot = QImage();
    m_file.setFileName(QDir(m.folder).filePath(keyFileName(key)) + u".notes"_s);
    if (!QDir().mkpath(m.folder)) {
        logFailure(u"open"_s, u"cannot make "_s + m.folder);
        return;
    }
    // Unbuffered: each line goes to the system in one write, so a killed
    // program loses at most the line being written.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        logFailure(
            u"open"_s, u"cannot open "_s + m_file.fileName() + u": "_s + m_file.errorString());
        return;
    }
    const NotesRecord::Read read = NotesRecord::parse(m_file.readAll());
    if (read.key != key) {
        // New (or a name shared by another key, never seen): begin it.
        m_file.resize(0);
        m_file.seek(0);
        m_file.write(NotesRecord::keyLine(key));
    } else if (read.wholeBytes < m_file.size()) {
        // A torn last line must not run into the next one.
        m_file.resize(read.wholeBytes);
    }
    m_file.seek(m_file.size());
    m_pages = int(pageFiles().size());
    if (m_file.size() > MaxFileBytes)
        compact();
}

void NotesHistory::close()
{
    m_snapshotTimer.stop();
    if (m_file.isOpen())
        m_file.close();
    m_key.clear();
}

void NotesHistory::record(const QString &text)
{
    if (m_replaying || !m_file.isOpen())
        return;
    const QByteArray line = NotesRecord::textLine(text);
    if (m_file.write(line) != line.size()) {
        if (!m_writeFailed)
            logFailure(u"record"_s, m_file.fileName() + u": "_s + m_file.errorString());
        m_writeFailed = true;
        return;
    }
    if (m_file.size() > MaxFileBytes)
        compact();
}

void NotesHistory::compact()
{
    // Rare (every couple of megabytes of notes): the newest half stays.
    const QStringList all = texts();
    qsizetype bytes = 0;
    qsizetype first = all.size();
    while (first > 0) {
        const qsizetype size = NotesRecord::textLine(all.at(first - 1)).size();
        if (bytes + size > MaxFileBytes / 2)
            break;
        bytes += size;
        --first;
    }
    QSaveFile out(m_file.fileName());
    if (!out.open(QIODevice::WriteOnly)) {
        logFailure(u"compact"_s, out.fileName() + u": "_s + out.errorString());
        return;
    }
    out.write(NotesRecord::keyLine(m_key));
    for (qsizetype i = first; i < all.size(); ++i)
        out.write(NotesRecord::textLine(all.at(i)));
    if (!out.commit()) {
        logFailure(u"compact"_s, out.fileName() + u": "_s + out.errorString());
        return;
    }
    // The file was replaced: append to the new one.
    m_file.close();
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        m_file.seek(m_file.size());
    else
        logFailure(u"compact"_s, m_file.fileName() + u": "_s + m_file.errorString());
}

QStringList NotesHistory::texts() const
{
    if (m_key.isEmpty())
        return {};
    QFile file(m_file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    NotesRecord::Read read = NotesRecord::parse(file.readAll());
    return read.key == m_key ? read.texts : QStringList();
}

QStringList NotesHistory::pageFiles() const
{
    if (m_key.isEmpty())
        return {};
    QDir pages(m_file.fileName().chopped(6) + u".pages"_s);
    QStringList files;
    for (const QString &name : pages.entryList({u"*.png"_s}, QDir::Files, QDir::Name))
        files << pages.filePath(name);
    return files;
}

void NotesHistory::pageChanging()
{
    keepPage();
    m_boardUsed = true;
}

void NotesHistory::keepPage()
{
    m_snapshotTimer.stop();
    m_snapshot = QImage();
    if (!m_boardUsed || m_key.isEmpty() || !m.captureBoard)
        return;
    m_boardUsed = false;
    commitPage(m.captureBoard());
}

void NotesHistory::boardDrawn()
{
    if (m_key.isEmpty())
        return;
    m_boardUsed = true;
    if (!m_snapshotTimer.isActive())
        m_snapshotTimer.start();
}

void NotesHistory::boardWiped()
{
    m_snapshotTimer.stop();
    if (!m_snapshot.isNull())
        commitPage(m_snapshot);
    m_snapshot = QImage();
    m_boardUsed = false;
}

namespace {

// An empty board (nothing painted yet, a web page or video the capture
// cannot see) is no page worth keeping.
bool isBlank(const QImage &image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (line[x] != first)
                return false;
        }
    }
    return true;
}

} // namespace

void NotesHistory::commitPage(const QImage &page)
{
    // A board shown again unchanged (the page replayed after a return) is
    // not a new page.
    if (page.isNull() || m_key.isEmpty() || page == m_lastKept || isBlank(page))
        return;
    if (m_pages >= MaxPages) {
        if (m_pages++ == MaxPages)
            logFailure(u"keepPage"_s, u"more than %1 pages; the rest are not kept"_s.arg(MaxPages));
        return;
    }
    const QString folder = m_file.fileName().chopped(6) + u".pages"_s;
    const QString path = folder + u"/%1.png"_s.arg(m_pages + 1, 4, 10, QLatin1Char('0'));
    QSaveFile out(path);
    if (!QDir().mkpath(folder) || !out.open(QIODevice::WriteOnly) || !page.save(&out, "PNG")
        || !out.commit()) {
        logFailure(u"keepPage"_s, u"cannot write "_s + path);
        return;
    }
    ++m_pages;
    m_lastKept = page;
}

bool NotesHistory::exportPdf(const QString &path) const
{
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextBlockFormat pageBreak;
    pageBreak.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysAfter);
    // The pages first, one a sheet, each fitted into a width that leaves
    // the sheet's margins (the document's units are screen pixels).
    constexpr qreal Width = 620;
    constexpr qreal Height = 860;
    int page = 0;
    for (const QString &file : pageFiles()) {
        QImage image(file);
        if (image.isNull())
            continue;
        const QUrl name(u"page:%1"_s.arg(++page));
        document.addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat format;
        format.setName(name.toString());
        const qreal scale = qMin(Width / image.width(), Height / image.height());
        format.setWidth(image.width() * scale);
        format.setHeight(image.height() * scale);
        cursor.insertImage(format);
        cursor.mergeBlockFormat(pageBreak);
        cursor.insertBlock(QTextBlockFormat());
    }
    // Then the notes as plain text: a note is never read as markup.
    QString notes;
    for (const QString &text : texts())
        notes += text;
    notes.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    cursor.insertText(notes);

    // Written beside and renamed into place: a failed export leaves an
    // older file of that name as it was.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        logFailure(u"exportPdf"_s, u"cannot write "_s + path + u": "_s + out.errorString());
        return false;
    }
    {
        QPdfWriter writer(&out);
        writer.setTitle(tr("课堂记录"));
        writer.setCreator(u"LumoStudent"_s);
        writer.setPageSize(QPageSize(QPageSize::A4));
        document.print(&writer);
    }
    if (!out.commit()) {
        logFailure(u"exportPdf"_s, u"cannot write "_s + path + u": "_s + out.errorString());
        return false;
    }
    return true;
}
