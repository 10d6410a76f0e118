#include "bench/report/figures.h"
#include "bench/userlist/ratioreporter.h"
#include "controls/userlist/clsuserlist.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

QStringList nicks(int count)
{
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(u"学生%1"_s.arg(i));
    return list;
}

// Filling a new roster the way a full user list does: every add checks the
// ID and the nick against everybody already present. The host knows the
// count from the list and makes room first.
void FirstFill(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    for (auto _ : state) {
        clsUserList roster;
        roster.ReserveUsers(count);
        for (int i = 0; i < count; ++i)
            roster.AddUser(i + 1, names.at(i), 0x0F, i == 0 ? 2 : 1);
        benchmark::DoNotOptimize(roster.Count());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(FirstFill)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(7);

// The same without making room first: the tables grow as they fill.
void FirstFillUnreserved(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    for (auto _ : state) {
        clsUserList roster;
        for (int i = 0; i < count; ++i)
            roster.AddUser(i + 1, names.at(i), 0x0F, i == 0 ? 2 : 1);
        benchmark::DoNotOptimize(roster.Count());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(FirstFillUnreserved)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7);

// The way the client fills it: each record of the server's user-list text
// (32 characters a user) is cut into ID and nick just before it is added.
void DecodeAndBuildRoster(benchmark::State &state)
{
    const int count = int(state.range(0));
    QString text;
    text.reserve(count * 32);
    for (int i = 0; i < count; ++i)
        text += u"%1%2 15  1"_s.arg(i + 1, 10, 10, QChar(u'0'))
                    .arg(u"学生%1"_s.arg(i), -16, QChar(u' '));
    for (auto _ : state) {
        clsUserList roster;
        roster.ReserveUsers(count);
        for (int i = 0; i < count; ++i) {
            const QStringView record = QStringView(text).mid(i * 32, 32);
            roster.AddUser(record.left(10).toInt(), record.mid(10, 16).trimmed().toString(),
                quint8(record.mid(26, 3).trimmed().toUInt()),
                quint8(record.mid(29, 3).trimmed().toUInt()));
        }
        if (roster.Count() != count) {
            state.SkipWithError("records did not decode into one user each");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(DecodeAndBuildRoster)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The roster lives as long as the control and is emptied and refilled by
// every full user list: the common case after the first.
void RefillRoster(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    clsUserList roster;
    for (auto _ : state) {
        roster.RemoveAllUsers();
        for (int i = 0; i < count; ++i)
            roster.AddUser(i + 1, names.at(i), 0x0F, i == 0 ? 2 : 1);
        benchmark::DoNotOptimize(roster.Count());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(RefillRoster)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// What any roster with an ID and a nick index must at least do: the same
// users put into two hash tables and an array, with room made first. Its own ratio between the
// sizes shows how much of the growth is the machine's memory, not the roster.
void BaselineIndexes(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    for (auto _ : state) {
        QHash<qint32, quint64> byID;
        QHash<QString, quint64> byNick;
        std::vector<utUser> users;
        byID.reserve(count);
        byNick.reserve(count);
        users.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            byID.insert(i + 1, quint64(i));
            byNick.insert(names.at(i), quint64(i));
            users.push_back(utUser{names.at(i), i + 1, 0x0F, ccutStudent});
        }
        benchmark::DoNotOptimize(users.size());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BaselineIndexes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(7);

// Searches by name, ID and teacher in a full roster.
void SearchRoster(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    clsUserList roster;
    for (int i = 0; i < count; ++i)
        roster.AddUser(i + 1, names.at(i), 0x0F, 1);
    roster.SetUserType(count, 2);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(roster.FindUserByName(names.at(i)));
        benchmark::DoNotOptimize(roster.FindUserByID(count - i));
        benchmark::DoNotOptimize(roster.FindTeacherID());
        i = (i + 7919) % count;
    }
}
BENCHMARK(SearchRoster)->Arg(1000)->Arg(10000);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();

    // The roster's growth against the size of the class: ten times the
    // users may cost at most twelve times the time.
    BenchFigures figures(QStringLiteral("userlist_roster"));
    const auto growth = [&](const QString &path, const std::string &family, bool target) {
        const double small = reporter.cpuMicros(family + "/1000");
        const double large = reporter.cpuMicros(family + "/10000");
        if (small > 0 && large > 0)
            figures.add(path, QStringLiteral("median CPU us, 10 000 users"), large,
                QStringLiteral("the same with 1 000 users"), small,
                target ? BenchFigures::Target::RatioAtMost : BenchFigures::Target::None, 12);
    };
    growth(QStringLiteral("userlist/roster first fill, room made first"), "FirstFill", true);
    growth(
        QStringLiteral("userlist/roster first fill, no room made"), "FirstFillUnreserved", false);
    growth(QStringLiteral("userlist/hash tables and array alone"), "BaselineIndexes", false);
    growth(QStringLiteral("userlist/roster refill"), "RefillRoster", false);
    return 0;
}
