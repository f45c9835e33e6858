// The cost of reading the settings file when the program starts: an IniSettingsStore
// made on a file of many keys, and one key read back.
//
//   ReadFile/40000: 40 000 keys in one section ("K12345=67"), a file of about 400 kB.
//   ReadFile/1300000: about 15.5 MB, just under the 16 MB the store reads at most.
//
// Reading should grow with the file's size alone: well under a second at the limit.
//   bench_settings

#include "platform/settings/inisettingsstore.h"

#include <benchmark/benchmark.h>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

using namespace plenwick;

namespace {

QString writeKeys(const QTemporaryDir &dir, int keys)
{
    const QString path = dir.filePath(QStringLiteral("Plenwick.ini"));
    QByteArray text;
    text.reserve(qsizetype(keys) * 12);
    text += "[S]\n";
    for (int i = 0; i < keys; ++i) {
        text += 'K' + QByteArray::number(i) + '=' + QByteArray::number(i % 97) + '\n';
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

void ReadFile(benchmark::State &state)
{
    const QTemporaryDir dir;
    const int keys = static_cast<int>(state.range(0));
    const QString path = writeKeys(dir, keys);
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    const QString lastKey = QStringLiteral("k%1").arg(keys - 1);
    for (auto _ : state) {
        const IniSettingsStore store(path);
        benchmark::DoNotOptimize(store.value(QStringLiteral("s"), lastKey));
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(ReadFile)->Arg(40000)->Arg(1300000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
