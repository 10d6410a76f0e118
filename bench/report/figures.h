#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QString>
#include <QtGlobal>

// One benchmark's figures, written as JSON for scripts/bench.sh, which prints
// every benchmark's figures in one table. A figure is a value measured in the
// run, optionally beside a baseline measured in the same run; the target is
// either on the ratio (value / baseline) or on the value itself.
//
// The file goes where the environment variable LUMO_BENCH_JSON points (a
// folder: the file is <folder>/<bench>.json); without it nothing is written.
class BenchFigures
{
public:
    enum class Target { None, RatioAtMost, RatioAtLeast, ValueAtMost, ValueAtLeast };

    explicit BenchFigures(QString bench)
        : m_bench(std::move(bench))
    { }
    ~BenchFigures() { write(); }
    BenchFigures(const BenchFigures &) = delete;
    BenchFigures &operator=(const BenchFigures &) = delete;

    // path: what is measured ("whiteboard/remove sign"); figure: the value's
    // meaning with its unit ("median ms"); baselineName: what it is compared
    // with ("memcpy of the same bytes"), empty for none.
    void add(const QString &path, const QString &figure, double value,
        const QString &baselineName = {}, double baseline = 0, Target target = Target::None,
        double limit = 0)
    {
        QJsonObject o{{QStringLiteral("path"), path}, {QStringLiteral("figure"), figure},
            {QStringLiteral("value"), value}};
        double checked = value;
        if (!baselineName.isEmpty()) {
            o.insert(QStringLiteral("baseline_name"), baselineName);
            o.insert(QStringLiteral("baseline"), baseline);
            const double ratio = baseline != 0 ? value / baseline : 0;
            o.insert(QStringLiteral("ratio"), ratio);
            if (target == Target::RatioAtMost || target == Target::RatioAtLeast)
                checked = ratio;
        }
        if (target != Target::None) {
            static const char *const names[] = {"", "ratio <=", "ratio >=", "<=", ">="};
            o.insert(QStringLiteral("target"),
                QStringLiteral("%1 %2").arg(QLatin1String(names[int(target)])).arg(limit));
            const bool atMost = target == Target::RatioAtMost || target == Target::ValueAtMost;
            o.insert(QStringLiteral("met"), atMost ? checked <= limit : checked >= limit);
        }
        m_figures.append(o);
    }

    void write()
    {
        const QByteArray folder = qgetenv("LUMO_BENCH_JSON");
        if (folder.isEmpty() || m_figures.isEmpty())
            return;
        QSaveFile file(
            QString::fromLocal8Bit(folder) + QLatin1Char('/') + m_bench + QStringLiteral(".json"));
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QJsonDocument(
            QJsonObject{{QStringLiteral("bench"), m_bench}, {QStringLiteral("figures"), m_figures}})
                       .toJson());
        file.commit();
        m_figures = {};
    }

private:
    QString m_bench;
    QJsonArray m_figures;
};
