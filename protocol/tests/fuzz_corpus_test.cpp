#include "common/testsupport/testhome.h"
#include "fuzz/protocol/targets.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using Target = void (*)(const uint8_t *, size_t);

// Runs every kept input of one harness; a broken property aborts the run.
int replay(const QString &harness, Target target)
{
    const QDir corpus(QStringLiteral(LUMO_PROTOCOL_FUZZ_ROOT) + u'/' + harness + u"/corpus"_s);
    int inputs = 0;
    for (const QString &name : corpus.entryList(QDir::Files)) {
        QFile file(corpus.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << name.toStdString();
            continue;
        }
        const QByteArray bytes = file.readAll();
        SCOPED_TRACE(name.toStdString());
        target(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
        ++inputs;
    }
    return inputs;
}

} // namespace

TEST(FuzzCorpus, KeptInputsRunClean)
{
    TestHome home;
    EXPECT_GT(replay(u"protocol"_s, &ProtocolFuzz::receivePath), 0);
    EXPECT_GT(replay(u"decoders"_s, &ProtocolFuzz::decoders), 0);
    EXPECT_GT(replay(u"listtexts"_s, &ProtocolFuzz::listTexts), 0);
}

TEST(FuzzCorpus, ProtocolSeedsReachLargeFrames)
{
    // The receive path's kept inputs must include a frame near the 64 KiB
    // limit, or the harness never explores the large payloads.
    const QDir corpus(QStringLiteral(LUMO_PROTOCOL_FUZZ_ROOT) + u"/protocol/corpus"_s);
    qint64 largest = 0;
    for (const QFileInfo &info : corpus.entryInfoList(QDir::Files))
        largest = qMax(largest, info.size());
    EXPECT_GT(largest, 65536);
}
