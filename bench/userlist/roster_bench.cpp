#include "bench/report/figures.h"
#include "bench/userlist/ratioreporter.h"
#include "controls/notesmanage/clsnoteuserlist.h"
#include "controls/userlist/clsuserlist.h"

#include <QStringList>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>

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

// "10 000": thousands set apart by a space, as the figures print them.
QString spaced(int number)
{
    QString text = QString::number(number);
    for (qsizetype at = text.size() - 3; at > 0; at -= 3)
        text.insert(at, u' ');
    return text;
}

// Everybody, in the order they arrived or scattered (the same order in
// every run).
std::vector<qint32> departureOrder(int count, bool scattered)
{
    std::vector<qint32> ids(size_t(count), 0);
    std::iota(ids.begin(), ids.end(), 1);
    if (scattered)
        std::shuffle(ids.begin(), ids.end(), std::mt19937(20261208));
    return ids;
}

// A flood of departures: the whole class leaves, as when a crowd drops off
// together. In arrival order every departure is the first user, the case a
// shifting array handles worst; scattered, the tables' cache misses add to
// the growth. Only the removals are timed.
void Departures(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    const std::vector<qint32> order = departureOrder(count, state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        auto roster = std::make_unique<clsUserList>();
        roster->ReserveUsers(count);
        for (int i = 0; i < count; ++i)
            roster->AddUser(i + 1, names.at(i), 0x0F, i == 0 ? 2 : 1);
        state.ResumeTiming();
        for (const qint32 id : order)
            roster->RemoveUser(id);
        benchmark::DoNotOptimize(roster->Count());
        state.PauseTiming();
        roster.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(Departures)
    ->ArgNames({"", "scattered"})
    ->Args({5000, 0})
    ->Args({50000, 0})
    ->Args({5000, 1})
    ->Args({50000, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7);

// The floor of any such flood: the same removals from an ID table and a nick
// table alone. Its own growth is the machine's memory (the tables outgrow
// the cache), not the roster.
void BaselineTableRemovals(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    const std::vector<qint32> order = departureOrder(count, state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        auto byID = std::make_unique<QHash<qint32, quint32>>();
        auto byNick = std::make_unique<QHash<QString, quint32>>();
        byID->reserve(count);
        byNick->reserve(count);
        for (int i = 0; i < count; ++i) {
            byID->insert(i + 1, quint32(i));
            byNick->insert(names.at(i), quint32(i));
        }
        state.ResumeTiming();
        for (const qint32 id : order) {
            byID->remove(id);
            byNick->remove(names.at(id - 1));
        }
        benchmark::DoNotOptimize(byID->size() + byNick->size());
        state.PauseTiming();
        byID.reset();
        byNick.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BaselineTableRemovals)
    ->ArgNames({"", "scattered"})
    ->Args({5000, 0})
    ->Args({50000, 0})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7);

// The same flood through the notes panel's recipients, each departure
// preceded by the lookup of a sender's name, as a note from them would.
void RecipientDepartures(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    const std::vector<qint32> order = departureOrder(count, state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        auto recipients = std::make_unique<clsNoteUserList>();
        for (int i = 0; i < count; ++i)
            recipients->AddUser(i + 1, names.at(i));
        state.ResumeTiming();
        for (const qint32 id : order) {
            benchmark::DoNotOptimize(recipients->GetUserByID(id));
            recipients->RemoveUser(id);
        }
        benchmark::DoNotOptimize(recipients->Count());
        state.PauseTiming();
        recipients.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(RecipientDepartures)
    ->ArgNames({"", "scattered"})
    ->Args({5000, 0})
    ->Args({50000, 0})
    ->Args({5000, 1})
    ->Args({50000, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();

    // The roster's growth against the size of the class: ten times the
    // users may cost at most eleven times the time (linear, with room for
    // the larger tables' cache misses).
    BenchFigures figures(QStringLiteral("userlist_roster"));
    const auto growth = [&](const QString &path, const std::string &family,
                            const std::string &variant, bool target, int small = 1000) {
        const int large = small * 10;
        const double smallTime = reporter.cpuMicros(family + "/" + std::to_string(small) + variant);
        const double largeTime = reporter.cpuMicros(family + "/" + std::to_string(large) + variant);
        if (smallTime > 0 && largeTime > 0)
            figures.add(path, QStringLiteral("median CPU us, %1 users").arg(spaced(large)),
                largeTime, QStringLiteral("the same with %1 users").arg(spaced(small)), smallTime,
                target ? BenchFigures::Target::RatioAtMost : BenchFigures::Target::None, 11);
    };
    growth(QStringLiteral("userlist/roster first fill, room made first"), "FirstFill", "", true);
    growth(QStringLiteral("userlist/roster first fill, no room made"), "FirstFillUnreserved", "",
        false);
    growth(QStringLiteral("userlist/hash tables and array alone"), "BaselineIndexes", "", false);
    growth(QStringLiteral("userlist/roster refill"), "RefillRoster", "", false);
    growth(QStringLiteral("userlist/roster departures, everybody leaves in arrival order"),
        "Departures", "/scattered:0", true, 5000);
    growth(QStringLiteral("userlist/roster departures, everybody leaves scattered"), "Departures",
        "/scattered:1", false, 5000);
    growth(QStringLiteral("userlist/note recipients departures, arrival order"),
        "RecipientDepartures", "/scattered:0", true, 5000);
    growth(QStringLiteral("userlist/note recipients departures, scattered"), "RecipientDepartures",
        "/scattered:1", false, 5000);
    growth(QStringLiteral("userlist/ID and nick tables alone, removals in arrival order"),
        "BaselineTableRemovals", "/scattered:0", false, 5000);
    return 0;
}
