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

void Fill(benchmark::State &state)
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
BENCHMARK(Fill)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

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
    return 0;
}
