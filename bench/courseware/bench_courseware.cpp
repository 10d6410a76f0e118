// Generates a courseware file of about 200 MB with 500 embedded files, then
// in each round loads it the way the course manager does (every entry
// expanded into a folder on disk) and, as the baseline, inflates the same
// entries in memory with zlib's uncompress(). Prints the medians in MB/s of
// expanded output and their ratios. The headline compares like with like:
// the load on one thread against zlib on one thread; the load on its worker
// threads stands beside it (its gain depends on the cores free at the time).
// Figures go to $LUMO_BENCH_JSON/courseware.json as well.
//
// Usage: bench_courseware [--entries N] [--entry-kib K] [--rounds R] [--dir D]
#include "controls/coursemanage/courseware/coursewareformat.h"
#include "controls/coursemanage/courseware/coursewarereader.h"
#include "controls/coursemanage/courseware/entryexpander.h"
#include "controls/coursemanage/courseware/gbktext.h"

#include "bench/report/figures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Entry {
    QByteArray packed;
    qint64 plainSize = 0;
};

// Text-like content with runs of noise: compresses to roughly 40 %, like
// the documents and pictures a course carries together.
QByteArray makeContent(std::mt19937_64 &random, qsizetype size)
{
    static const char *const words[] = {"lesson ", "student ", "teacher ", "voice ", "board ",
        "class ", "course ", "answer ", "question ", "picture ", "sound ", "the ", "of ", "and ",
        "<p>", "</p>\n", "12 ", "345 ", "\xe8\xaf\xbe\xe4\xbb\xb6 ", "\xe5\xad\xa6\xe7\x94\x9f "};
    QByteArray out;
    out.reserve(size);
    while (out.size() < size) {
        if (random() % 8 == 0) {
            const int noise = int(random() % 40);
            for (int i = 0; i < noise; ++i)
                out.append(char(random()));
        } else {
            out.append(words[random() % std::size(words)]);
        }
    }
    out.resize(size);
    return out;
}

void appendInt16(QByteArray &out, qint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void appendInt32(QByteArray &out, qint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int entries = 500;
    int entryKiB = 800;
    int rounds = 5;
    QString dir;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--entries"_s)
            entries = args[i + 1].toInt();
        else if (args[i] == u"--entry-kib"_s)
            entryKiB = args[i + 1].toInt();
        else if (args[i] == u"--rounds"_s)
            rounds = args[i + 1].toInt();
        else if (args[i] == u"--dir"_s)
            dir = args[i + 1];
    }
    QTemporaryDir temp(dir.isEmpty() ? QDir::tempPath() + u"/bench_courseware-XXXXXX"_s
                                     : dir + u"/bench_courseware-XXXXXX"_s);
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(temp.filePath(u"LumoClass.log"_s)));

    // The file: header, root, one folder, then the entries under it.
    std::mt19937_64 random(20261207);
    std::vector<Entry> packed;
    QByteArray file(Courseware::Magic, Courseware::MagicSize);
    for (qint16 v : Courseware::HeaderValues)
        appendInt16(file, v);
    Courseware::AppendTextField(file, u"基准课件"_s);
    Courseware::AppendTextField(file, u"Lumo Class Instructer"_s);
    appendInt16(file, 1);
    Courseware::AppendTextField(file, u"基准课件"_s);
    Courseware::AppendTextField(file, u"_0"_s);
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(6);
    qint64 plainTotal = 0;
    for (int i = 0; i < entries; ++i) {
        // Sizes vary around the mean, as real course files do.
        const qsizetype size
            = qsizetype(entryKiB) * 1024 / 2 + qsizetype(random() % (entryKiB * 1024));
        const QByteArray plain = makeContent(random, size);
        QByteArray out(
            qsizetype(libdeflate_zlib_compress_bound(compressor, size_t(size))), Qt::Uninitialized);
        out.resize(qsizetype(libdeflate_zlib_compress(
            compressor, plain.constData(), size_t(size), out.data(), size_t(out.size()))));
        appendInt16(file, 2);
        Courseware::AppendTextField(file, u"第%1页.txt"_s.arg(i));
        Courseware::AppendTextField(file, u"_0_%1.txt"_s.arg(i + 1));
        appendInt32(file, qint32(out.size()));
        file += out;
        file += '\0';
        packed.push_back({out, size});
        plainTotal += size;
    }
    libdeflate_free_compressor(compressor);
    const QString path = temp.filePath(u"bench.lsn"_s);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const double plainMB = double(plainTotal) / 1e6;
    std::printf("courseware file: %.1f MB, %d entries, %.1f MB expanded\n",
        double(file.size()) / 1e6, entries, plainMB);
    file.clear();

    const QString expandFolder = temp.filePath(u"temp"_s);
    QDir().mkpath(expandFolder);
    std::vector<double> zlibRates;
    std::vector<double> loadRates;
    std::vector<double> expandRates;
    std::vector<double> serialRates;
    std::vector<char> buffer;
    for (int round = 0; round < rounds; ++round) {
        // Baseline: zlib uncompress of every entry into memory.
        QElapsedTimer timer;
        timer.start();
        for (const Entry &entry : packed) {
            buffer.resize(size_t(entry.plainSize));
            uLongf length = uLongf(entry.plainSize);
            if (uncompress(reinterpret_cast<Bytef *>(buffer.data()), &length,
                    reinterpret_cast<const Bytef *>(entry.packed.constData()),
                    uLong(entry.packed.size()))
                != Z_OK) {
                std::fprintf(stderr, "zlib baseline failed\n");
                return 1;
            }
        }
        zlibRates.push_back(plainMB / (double(timer.nsecsElapsed()) / 1e9));

        // The expander alone, into memory, for the breakdown.
        Courseware::EntryExpander expander(Courseware::DefaultExpandLimit);
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        timer.restart();
        for (const Entry &entry : packed) {
            sink.seek(0);
            expander.expand(entry.packed, sink);
        }
        expandRates.push_back(plainMB / (double(timer.nsecsElapsed()) / 1e9));

        // The whole load: read the file, expand every entry to disk. The
        // control empties its temporary folder first; so does each round.
        auto emptyFolder = [&] {
            QDir(expandFolder).removeRecursively();
            QDir().mkpath(expandFolder);
        };
        emptyFolder();
        Courseware::ReadOptions options;
        options.expandFolder = expandFolder;
        timer.restart();
        const Courseware::ReadResult result = Courseware::ReadCoursewareFile(path, options);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (result.expandedBytes != plainTotal) {
            std::fprintf(stderr, "load expanded %lld of %lld bytes\n",
                qlonglong(result.expandedBytes), qlonglong(plainTotal));
            return 1;
        }
        loadRates.push_back(plainMB / seconds);

        // The same load with every entry expanded on the reading thread.
        emptyFolder();
        options.expandThreads = 1;
        timer.restart();
        const Courseware::ReadResult serial = Courseware::ReadCoursewareFile(path, options);
        if (serial.expandedBytes != plainTotal) {
            std::fprintf(stderr, "serial load expanded too little\n");
            return 1;
        }
        serialRates.push_back(plainMB / (double(timer.nsecsElapsed()) / 1e9));
        std::printf("round %d: zlib uncompress %.0f MB/s, expander in memory %.0f MB/s, load to "
                    "disk %.0f MB/s, load on one thread %.0f MB/s\n",
            round + 1, zlibRates.back(), expandRates.back(), loadRates.back(), serialRates.back());
    }
    const double zlibMedian = median(zlibRates);
    const double loadMedian = median(loadRates);
    const double expandMedian = median(expandRates);
    const double serialMedian = median(serialRates);
    std::printf("median zlib uncompress, one thread (memory): %.0f MB/s\n", zlibMedian);
    std::printf("HEADLINE load on one thread, files on disk:  %.0f MB/s  ratio %.2f\n",
        serialMedian, serialMedian / zlibMedian);
    std::printf("beside it: load on worker threads:           %.0f MB/s  ratio %.2f\n", loadMedian,
        loadMedian / zlibMedian);
    std::printf("breakdown: expander alone, one thread (memory): %.0f MB/s  ratio %.2f\n",
        expandMedian, expandMedian / zlibMedian);

    const QString baseline = u"zlib uncompress of the same entries, one thread, in memory"_s;
    const QString figure = u"median MB/s expanded"_s;
    BenchFigures figures(u"courseware"_s);
    // The load writes every file to disk and still keeps up with zlib
    // inflating into memory.
    figures.add(u"courseware/load on one thread"_s, figure, serialMedian, baseline, zlibMedian,
        BenchFigures::Target::RatioAtLeast, 1.0);
    figures.add(u"courseware/load on worker threads"_s, figure, loadMedian, baseline, zlibMedian);
    figures.add(u"courseware/expander alone"_s, figure, expandMedian, baseline, zlibMedian);
    return 0;
}
