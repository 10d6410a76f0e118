#include "sim/core/teachercommand.h"

#include "protocol/messages.h"
#include "protocol/msgtypes.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, qint32> &shapes()
{
    static const QHash<QString, qint32> table{{u"rect"_s, 0}, {u"square"_s, 1}, {u"oval"_s, 2},
        {u"circle"_s, 3}, {u"roundrect"_s, 4}, {u"roundsquare"_s, 5}, {u"line"_s, 6}};
    return table;
}

// Words and key=value options of a line.
struct Words {
    QStringList plain;
    QHash<QString, QString> options;
};

Words splitWords(const QString &text)
{
    Words words;
    static const QRegularExpression option(u"^([a-z]+)=(.*)$"_s);
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = option.match(word);
        if (match.hasMatch())
            words.options.insert(match.captured(1), match.captured(2));
        else
            words.plain.append(word);
    }
    return words;
}

bool toNumber(const QString &text, qint32 &value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number < 0 || number > 0x7fffffff)
        return false;
    value = qint32(number);
    return true;
}

// #RRGGBB becomes the peers' colour value R + 256 G + 65536 B.
bool toColor(const QString &text, qint32 &value)
{
    if (text.startsWith(u'#') && text.size() == 7) {
        bool ok = false;
        const uint rgb = text.mid(1).toUInt(&ok, 16);
        if (!ok)
            return false;
        value = qint32(((rgb >> 16) & 0xff) | (rgb & 0xff00) | ((rgb & 0xff) << 16));
        return true;
    }
    return toNumber(text, value);
}

bool numbers(
    const QStringList &words, qsizetype from, qsizetype count, QList<qint32> &out, QString &error)
{
    if (words.size() < from + count) {
        error = u"%1 numbers expected"_s.arg(count);
        return false;
    }
    for (qsizetype i = from; i < from + count; ++i) {
        qint32 value = 0;
        if (!toNumber(words.at(i), value)) {
            error = u"not a number: "_s + words.at(i);
            return false;
        }
        out.append(value);
    }
    return true;
}

bool onOff(const QString &word, bool &on, QString &error)
{
    if (word == u"on"_s || word == u"off"_s) {
        on = word == u"on"_s;
        return true;
    }
    error = u"\"on\" or \"off\" expected"_s;
    return false;
}

QString restAfter(const QString &line, int words)
{
    // The free text of a command keeps its inner spacing: cut after N words.
    QString rest = line.trimmed();
    for (int i = 0; i < words; ++i) {
        const qsizetype space = rest.indexOf(u' ');
        rest = space < 0 ? QString() : rest.mid(space + 1).trimmed();
    }
    return rest;
}

bool parseClassmate(qint32 actor, const QString &line, TeacherCommand &command, QString &error)
{
    const Words words = splitWords(line);
    const QString verb = words.plain.value(0);
    command.actor = actor;
    if (verb == u"hand"_s) {
        command.kind = TeacherCommand::Kind::Hand;
        command.on = words.plain.value(1) == u"up"_s;
        if (!command.on && words.plain.value(1) != u"down"_s) {
            error = u"\"hand up\" or \"hand down\" expected"_s;
            return false;
        }
        return true;
    }
    if (verb == u"mic"_s) {
        const QString what = words.plain.value(1);
        if (what != u"request"_s && what != u"return"_s) {
            error = u"\"mic request\" or \"mic return\" expected"_s;
            return false;
        }
        command.type = mtMicroPhoneRequestion;
        command.verb = what == u"request"_s ? 1 : 0;
        return true;
    }
    if (verb == u"answer"_s || verb == u"ok"_s) {
        const bool yes = verb == u"ok"_s || words.plain.value(1) == u"yes"_s;
        if (verb == u"answer"_s && !yes && words.plain.value(1) != u"no"_s) {
            error = u"\"answer yes\" or \"answer no\" expected"_s;
            return false;
        }
        command.type = verb == u"ok"_s ? mtOK : mtYesNo;
        command.verb = 2;
        command.payload = Messages::answer(yes);
        return true;
    }
    if (verb == u"note"_s) {
        if (!ParseTeacherCommand(line, command, error))
            return false;
        command.actor = actor;
        return true;
    }
    error = u"a classmate can: note, hand up|down, mic request|return, answer yes|no, ok"_s;
    return false;
}

} // namespace

bool ParseTeacherCommand(const QString &line, TeacherCommand &command, QString &error)
{
    command = {};
    const Words words = splitWords(line);
    const QString verb = words.plain.value(0).toLower();
    if (verb.isEmpty()) {
        error = u"empty command"_s;
        return false;
    }
    auto option = [&](const QString &key, qint32 fallback, qint32 &value, bool color) {
        if (!words.options.contains(key)) {
            value = fallback;
            return true;
        }
        if ((color ? toColor : toNumber)(words.options.value(key), value))
            return true;
        error = u"bad value of "_s + key;
        return false;
    };
    QList<qint32> n;

    if (verb == u"as"_s) {
        qint32 actor = 0;
        if (!toNumber(words.plain.value(1), actor) || actor == 0) {
            error = u"\"as ID command\" expected"_s;
            return false;
        }
        return parseClassmate(actor, restAfter(line, 2), command, error);
    }
    if (shapes().contains(verb)) {
        qint32 color = 0;
        qint32 width = 0;
        if (!numbers(words.plain, 1, 4, n, error) || !option(u"color"_s, 255, color, true)
            || !option(u"width"_s, 2, width, false))
            return false;
        command.type = mtWhiteBoard;
        command.verb = shapes().value(verb);
        command.payload = Messages::whiteBoard(n[0], n[1], n[2], n[3], width, color, {}, 0, {});
        return true;
    }
    if (verb == u"text"_s) {
        qint32 color = 0;
        qint32 size = 0;
        if (!numbers(words.plain, 1, 2, n, error) || !option(u"color"_s, 0, color, true)
            || !option(u"size"_s, 12, size, false))
            return false;
        const QString text = words.plain.mid(3).join(u' ');
        if (text.isEmpty() || size > 0x7fff) {
            error = u"\"text X Y WORDS\" expected"_s;
            return false;
        }
        const QString font = words.options.value(u"font"_s, u"宋体"_s);
        command.type = mtWhiteBoard;
        command.verb = 7;
        command.payload
            = Messages::whiteBoard(n[0], n[1], n[0], n[1], 0, color, text, qint16(size), font);
        return true;
    }
    if (verb == u"pointer"_s || verb == u"arrow"_s) {
        if (!numbers(words.plain, 1, 2, n, error))
            return false;
        command.type = mtWhiteBoard;
        command.verb = 8;
        command.payload = verb == u"pointer"_s
            ? Messages::whiteBoard(255, 255, n[0], n[1], 0, 0, {}, 0, {})
            : Messages::whiteBoard(n[0], n[1], n[0], n[1], 0, 0, {}, 0, {});
        return true;
    }
    if (verb == u"clear"_s) {
        command.type = mtWhiteBoard;
        command.verb = 255;
        command.payload = Messages::whiteBoard(0, 0, 0, 0, 0, 0, {}, 0, {});
        return true;
    }
    if (verb == u"play"_s) {
        qint32 playVerb = 0;
        qint32 position = 0;
        if (!numbers(words.plain, 1, 1, n, error) || !option(u"verb"_s, 0, playVerb, false)
            || !option(u"pos"_s, 0, position, false))
            return false;
        if (playVerb > 255) {
            error = u"the play verb is one byte"_s;
            return false;
        }
        command.type = mtPlay;
        command.verb = playVerb;
        command.payload = Messages::play(n[0], position, words.plain.contains(u"media"_s));
        return true;
    }
    if (verb == u"url"_s || verb == u"yesno"_s || verb == u"ok"_s) {
        const QString text = restAfter(line, 1);
        if (text.isEmpty()) {
            error = verb + u" needs a text"_s;
            return false;
        }
        command.type = verb == u"url"_s ? mtUrl : verb == u"yesno"_s ? mtYesNo : mtOK;
        command.verb = verb == u"url"_s ? 0 : 1;
        command.payload = Messages::note(0, 0, text).payload;
        return true;
    }
    if (verb == u"note"_s) {
        qint32 to = 0;
        if (!option(u"to"_s, 0, to, false))
            return false;
        QStringList text = line.trimmed().split(u' ', Qt::SkipEmptyParts).mid(1);
        text.removeIf([](const QString &word) { return word.startsWith(u"to="_s); });
        if (text.isEmpty()) {
            error = u"note needs a text"_s;
            return false;
        }
        // The actor is filled in when it is known; a note to nobody in
        // particular goes to everybody.
        const Messages::Built built = Messages::note(-1, to, text.join(u' '));
        command.type = mtNotes;
        command.verb = built.verb;
        command.payload = built.payload;
        return true;
    }
    static const QHash<QString, QPair<qint32, qint32>> switches{
        {u"speak"_s, {gsEnableSpeak, gsDisableSpeak}},
        {u"whiteboard"_s, {gsEnableWhiteBoard, gsDisableWhiteBoard}},
        {u"notes"_s, {gsEnableNote, gsDisableNote}}, {u"voice"_s, {gsEnableVoice, gsDisableVoice}}};
    if (switches.contains(verb)) {
        bool on = false;
        if (!onOff(words.plain.value(1), on, error))
            return false;
        Wire::Failure failure;
        command.type = mtEnable;
        command.payload
            = Messages::enable(on ? switches[verb].first : switches[verb].second, failure);
        return true;
    }
    if (verb == u"grant"_s) {
        if (!numbers(words.plain, 1, 1, n, error))
            return false;
        command.kind = TeacherCommand::Kind::Grant;
        command.target = n[0];
        return true;
    }
    if (verb == u"takeback"_s) {
        command.kind = TeacherCommand::Kind::TakeBack;
        return true;
    }
    if (verb == u"permit"_s) {
        static const QHash<QString, quint8> bits{
            {u"whiteboard"_s, 0x10}, {u"notes"_s, 0x08}, {u"speak"_s, 0x04}};
        if (!numbers(words.plain, 1, 1, n, error) || !bits.contains(words.plain.value(2))
            || !onOff(words.plain.value(3), command.on, error)) {
            if (error.isEmpty())
                error = u"\"permit ID whiteboard|notes|speak on|off\" expected"_s;
            return false;
        }
        command.kind = TeacherCommand::Kind::Permit;
        command.target = n[0];
        command.bit = bits.value(words.plain.value(2));
        return true;
    }
    if (verb == u"mpvolume"_s || verb == u"spvolume"_s) {
        if (!numbers(words.plain, 1, 2, n, error))
            return false;
        command.type = mtVolume;
        command.verb = verb == u"mpvolume"_s ? 0 : 1;
        command.payload = Messages::twoNumbers(n[0], n[1]);
        return true;
    }
    if (verb == u"end"_s) {
        command.kind = TeacherCommand::Kind::End;
        return true;
    }
    error = u"unknown command: "_s + verb;
    return false;
}

bool ParseTeacherScript(const QString &text, QList<TimedCommand> &commands, QString &error)
{
    QList<TimedCommand> parsed;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Whole-line comments only: colours are written #RRGGBB.
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype space = line.indexOf(u' ');
        bool ok = false;
        const double seconds = line.left(space).toDouble(&ok);
        TimedCommand timed;
        timed.line = int(i + 1);
        QString commandError;
        if (!ok || seconds < 0 || seconds > 86400 || space < 0
            || !ParseTeacherCommand(line.mid(space + 1), timed.command, commandError)) {
            error = u"line %1: %2"_s.arg(i + 1).arg(
                commandError.isEmpty() ? u"\"SECONDS COMMAND\" expected"_s : commandError);
            return false;
        }
        timed.atMs = qint64(seconds * 1000.0);
        parsed.append(timed);
    }
    std::stable_sort(parsed.begin(), parsed.end(),
        [](const TimedCommand &a, const TimedCommand &b) { return a.atMs < b.atMs; });
    commands = parsed;
    return true;
}
