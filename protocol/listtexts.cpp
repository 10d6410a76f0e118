#include "protocol/listtexts.h"

#include <limits>
#include <optional>

namespace ListTexts {
namespace {

bool isAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

QString keepAlnum(QStringView field, QStringView alsoKeep = {})
{
    QString out;
    out.reserve(field.size());
    for (QChar c : field) {
        if (isAsciiAlnum(c) || alsoKeep.contains(c))
            out.append(c);
    }
    return out;
}

// A numeric field: only digits and letters count; what remains must be a
// number in [min, max]. Read in place: it runs for three fields of every
// user of a roster, and a kept copy would be an allocation each.
std::optional<qint64> readNumber(QStringView field, qint64 min, qint64 max)
{
    qint64 value = 0;
    bool anyDigit = false;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            value = value * 10 + (u - u'0');
            anyDigit = true;
            // More digits only make it larger (and could overflow).
            if (value > max)
                return std::nullopt;
        } else if (isAsciiAlnum(c)) {
            return std::nullopt; // a letter: not a decimal number
        }
    }
    if (!anyDigit || value < min)
        return std::nullopt;
    return value;
}

// A text field ends at its first NUL; blanks are trimmed at both ends.
QString readText(QStringView field)
{
    const qsizetype nul = field.indexOf(QChar(0));
    if (nul >= 0)
        field = field.left(nul);
    while (!field.isEmpty() && field.front() == QLatin1Char(' '))
        field = field.mid(1);
    while (!field.isEmpty() && field.back() == QLatin1Char(' '))
        field.chop(1);
    return field.toString();
}

constexpr qint64 int32Min = std::numeric_limits<qint32>::min();
constexpr qint64 int32Max = std::numeric_limits<qint32>::max();

// Runs `read` over every whole record of the text, at most `count` of them.
template <typename Record, typename Read>
Parsed<Record> parseRecords(const QString &text, int count, int width, const char *what, Read read)
{
    Parsed<Record> result;
    const qsizetype whole = text.size() / width;
    const qsizetype n = qMin<qsizetype>(qMax(count, 0), whole);
    result.records.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QStringView record = QStringView(text).mid(i * width, width);
        QString why;
        if (std::optional<Record> r = read(record, why))
            result.records.append(std::move(*r));
        else
            result.refused.append(QStringLiteral("%1 record %2 refused: %3")
                                      .arg(QLatin1String(what))
                                      .arg(i)
                                      .arg(why));
    }
    if (count > n)
        result.refused.append(QStringLiteral("%1 list announces %2 records, the text holds %3")
                                  .arg(QLatin1String(what))
                                  .arg(count)
                                  .arg(whole));
    return result;
}

} // namespace

QString CourseRecord::CourseName() const
{
    return QStringLiteral("Course") + QString::number(CourseID);
}

QString CategoryRecord::FolderName() const
{
    return QStringLiteral("campus") + QString::number(CategoryID);
}

QString CategoryRecord::ComboText() const
{
    return QLatin1Char('[') + QString::number(CategoryID) + QLatin1Char(']') + Name;
}

qint32 categoryFromComboText(const QString &text)
{
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    if (close < 1 || !text.startsWith(QLatin1Char('[')))
        return -1;
    bool ok = false;
    const qint32 value = QStringView(text).mid(1, close - 1).toInt(&ok);
    return ok ? value : -1;
}

Parsed<RosterRecord> parseUserList(const QString &text, int count)
{
    return parseRecords<RosterRecord>(text, count, UserRecordWidth, "user",
        [](QStringView r, QString &why) -> std::optional<RosterRecord> {
            const auto id = readNumber(r.mid(0, 10), int32Min, int32Max);
            const auto status = readNumber(r.mid(26, 3), 0, 255);
            const auto type = readNumber(r.mid(29, 3), 0, 255);
            if (!id || !status || !type) {
                why = !id     ? QStringLiteral("user number")
                    : !status ? QStringLiteral("status")
                              : QStringLiteral("user type");
                return std::nullopt;
            }
            return RosterRecord{
                qint32(*id), readText(r.mid(10, 16)), quint8(*status), quint8(*type)};
        });
}

Parsed<CourseRecord> parseCourseList(const QString &text, int count)
{
    return parseRecords<CourseRecord>(text, count, CourseRecordWidth, "course",
        [](QStringView r, QString &why) -> std::optional<CourseRecord> {
            const auto course = readNumber(r.mid(0, 10), int32Min, int32Max);
            const auto category = readNumber(r.mid(10, 10), int32Min, int32Max);
            const auto port = readNumber(r.mid(151, 10), int32Min, int32Max);
            if (!course || !category || !port) {
                why = !course   ? QStringLiteral("course number")
                    : !category ? QStringLiteral("category number")
                                : QStringLiteral("port");
                return std::nullopt;
            }
            CourseRecord c;
            c.CourseID = qint32(*course);
            c.CategoryID = qint32(*category);
            c.FileName = readText(r.mid(20, 100));
            c.Teacher = readText(r.mid(120, 16));
            c.ServerAddress = readText(r.mid(136, 15));
            c.ServerPort = qint32(*port);
            c.ClassTime = readText(r.mid(161, 20));
            c.Description = readText(r.mid(181, 200));
            return c;
        });
}

Parsed<CategoryRecord> parseCategoryList(const QString &text, int count)
{
    return parseRecords<CategoryRecord>(text, count, CategoryRecordWidth, "category",
        [](QStringView r, QString &why) -> std::optional<CategoryRecord> {
            const auto category = readNumber(r.mid(0, 10), int32Min, int32Max);
            if (!category) {
                why = QStringLiteral("category number");
                return std::nullopt;
            }
            CategoryRecord c;
            c.CategoryID = qint32(*category);
            c.Name = readText(r.mid(10, 20));
            c.Text = readText(r.mid(130, 200));
            // The web host may name a port ("127.0.0.1:8080"), so ":" stays.
            c.WebHost = keepAlnum(readText(r.mid(330, 15)), u".:");
            c.FirstWord = keepAlnum(r.mid(345, 16));
            c.SecondWord = keepAlnum(r.mid(361, 16));
            return c;
        });
}

} // namespace ListTexts
