#include "bench/report/figures.h"
#include "bench/userlist/ratioreporter.h"
#include "controls/userlist/userlist.h"

#include <QApplication>
#include <QStringList>

#include <memory>

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

// A shown student-side list, as on the main window. Pending appends, the
// view's layout and the repaint all run in the event loop, so each measured
// step ends by letting the loop run once.
std::unique_ptr<UserList> shownList()
{
    auto list = std::make_unique<UserList>();
    list->setUserType(1);
    list->setMyID(1);
    list->resize(220, 600);
    list->show();
    QCoreApplication::processEvents();
    return list;
}

void fill(UserList &list, const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i)
        list.AddUser(i + 1, names.at(i), i % 3 ? 0x0F : 0x0B, i == 0 ? 2 : 1);
}

// The first full user list of a class, into a new shown list: room made
// for the count the list carries, every user added, then shown.
void FirstFill(benchmark::State &state)
{
    const QStringList names = nicks(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = shownList();
        state.ResumeTiming();
        list->ReserveUsers(qint32(names.size()));
        fill(*list, names);
        QCoreApplication::processEvents();
        state.PauseTiming();
        list.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(FirstFill)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Emptied and filled again, as by every later full user list.
void Refill(benchmark::State &state)
{
    const QStringList names = nicks(int(state.range(0)));
    auto list = shownList();
    for (auto _ : state) {
        fill(*list, names);
        QCoreApplication::processEvents();
        state.PauseTiming();
        list->RemoveAllUsers();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(Refill)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// One status change until the screen shows it, in a class of 20 000.
void StatusChange(benchmark::State &state)
{
    const int count = int(state.range(0));
    auto list = shownList();
    fill(*list, nicks(count));
    QCoreApplication::processEvents();
    int id = 1;
    quint8 status = 0x0F;
    for (auto _ : state) {
        list->SetUserStatus(id, status);
        QCoreApplication::processEvents();
        id = id % 21 + 1; // rows on the screen; an odd count changes each visit
        status ^= 0x84;
    }
}
BENCHMARK(StatusChange)->Arg(20000)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// The floor of any change shown: a plain widget of the list's size asks
// for a repaint and the event loop paints it.
void BaselinePlainRepaint(benchmark::State &state)
{
    QWidget plain;
    plain.resize(220, 600);
    plain.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        plain.update();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BaselinePlainRepaint)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// 1 000 status changes spread over the class, then one repaint.
void StatusUpdates(benchmark::State &state)
{
    const int count = int(state.range(0));
    auto list = shownList();
    fill(*list, nicks(count));
    QCoreApplication::processEvents();
    quint8 status = 0x0F;
    for (auto _ : state) {
        int id = 1;
        for (int i = 0; i < 1000; ++i) {
            list->SetUserStatus(id, status);
            list->SetUserRaiseStatus(id, i % 2);
            id = (id + 7919) % count + 1;
        }
        QCoreApplication::processEvents();
        status ^= 0x04;
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(StatusUpdates)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// One arrival at the end of a full class, until it is on the screen.
void Insert(benchmark::State &state)
{
    const int count = int(state.range(0));
    auto list = shownList();
    fill(*list, nicks(count));
    QCoreApplication::processEvents();
    const QString nick = u"新同学"_s;
    for (auto _ : state) {
        list->AddUser(count + 1, nick, 0x0F, 1);
        QCoreApplication::processEvents();
        state.PauseTiming();
        list->RemoveUser(count + 1);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(Insert)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// One departure from the middle of a full class, until it is off the screen.
void Remove(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QStringList names = nicks(count);
    auto list = shownList();
    fill(*list, names);
    QCoreApplication::processEvents();
    const int id = count / 2;
    for (auto _ : state) {
        list->RemoveUser(id);
        QCoreApplication::processEvents();
        state.PauseTiming();
        list->AddUser(id, names.at(id - 1), 0x0F, 1);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(Remove)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();

    BenchFigures figures(QStringLiteral("userlist_view"));
    const double change = reporter.cpuMicros("StatusChange/20000");
    const double plain = reporter.cpuMicros("BaselinePlainRepaint");
    if (change > 0)
        figures.add(QStringLiteral("userlist/one status change until shown, 20 000 users"),
            QStringLiteral("median CPU us"), change, QStringLiteral("a plain widget repainted"),
            plain, BenchFigures::Target::ValueAtMost, 50);
    const double small = reporter.cpuMicros("FirstFill/1000");
    const double large = reporter.cpuMicros("FirstFill/10000");
    if (small > 0 && large > 0)
        figures.add(QStringLiteral("userlist/first fill of a new shown list"),
            QStringLiteral("median CPU ms, 10 000 users"), large / 1e3,
            QStringLiteral("the same with 1 000 users"), small / 1e3);
    return 0;
}
