// How long "save" keeps the operator waiting with a full record, and how that compares with the
// disk's own speed. Times are printed as ratios against baselines from the same run, so numbers
// from different machines can be compared.
#include "control/record/recordfile.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <iostream>
#include <map>
#include <QSaveFile>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint32 fullRecord = 1'000'000;

QTemporaryDir &benchDir()
{
    static QTemporaryDir dir;
    return dir;
}

// Pressures as the pump reports them: MPa with one or two decimals.
const std::vector<double> &pumpRecord()
{
    static const std::vector<double> record = [] {
        std::vector<double> r(fullRecord);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> hundredths(0, 4000);
        for (std::size_t i = 0; i < r.size(); ++i) {
            r[i] = hundredths(rng) / 100.0;
        }
        return r;
    }();
    return record;
}

// Values with 16 and 17 significant digits, which need the exact 15-digit rounding.
const std::vector<double> &noisyRecord()
{
    static const std::vector<double> record = [] {
        std::vector<double> r(fullRecord);
        std::mt19937_64 rng(2);
        std::uniform_real_distribution<double> value(-50.0, 50.0);
        for (std::size_t i = 0; i < r.size(); ++i) {
            r[i] = value(rng);
        }
        return r;
    }();
    return record;
}

qint64 recordBytes(const std::vector<double> &record)
{
    static std::map<const std::vector<double> *, qint64> sizes;
    auto [it, added] = sizes.try_emplace(&record, 0);
    if (added) {
        it->second = recordfile::formatRecord(record).size();
    }
    return it->second;
}

void saveRecord(benchmark::State &state, const std::vector<double> &record)
{
    const QString path = benchDir().filePath(u"mytext.txt"_s);
    for (auto _ : state) {
        const auto result = recordfile::saveRecord(path, record);
        if (!result.ok) {
            state.SkipWithError(result.error.toStdString().c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * recordBytes(record));
}

void BM_SaveRecord_PumpValues(benchmark::State &state)
{
    saveRecord(state, pumpRecord());
}

void BM_SaveRecord_FullPrecision(benchmark::State &state)
{
    saveRecord(state, noisyRecord());
}

// The disk alone: the same number of bytes of ready-made text through the same QSaveFile path.
void BM_Baseline_FixedText(benchmark::State &state)
{
    const qint64 total = recordBytes(pumpRecord());
    const QByteArray block(64 * 1024, ' ');
    const QString path = benchDir().filePath(u"fixed.txt"_s);
    for (auto _ : state) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot open");
            break;
        }
        for (qint64 left = total; left > 0; left -= block.size()) {
            file.write(block.constData(), std::min<qint64>(left, block.size()));
        }
        file.commit();
    }
    state.SetBytesProcessed(state.iterations() * total);
}

// The obvious formatter: a QString per entry, then the same file.
void BM_Baseline_QStringPerEntry(benchmark::State &state)
{
    const auto &record = pumpRecord();
    const QString path = benchDir().filePath(u"naive.txt"_s);
    for (auto _ : state) {
        QByteArray text;
        for (qint32 i = 1; i <= fullRecord; ++i) {
            const double v = record[std::size_t(i - 1)];
            QString digits = QString::number(std::fabs(v), 'g', 15);
            if (digits.startsWith(u"0."_s)) {
                digits.remove(0, 1);
            }
            text += ((v < 0 ? u"-"_s : u" "_s) + digits + u" "_s).toLatin1();
            if (i % 5 == 0) {
                text += "\r\n";
            }
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot open");
            break;
        }
        file.write(text);
        file.commit();
    }
    state.SetBytesProcessed(state.iterations() * recordBytes(record));
}

BENCHMARK(BM_Baseline_FixedText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_QStringPerEntry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveRecord_PumpValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveRecord_FullPrecision)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (!run.error_occurred && run.iterations > 0 && run.run_type == Run::RT_Iteration) {
                seconds[run.benchmark_name()] = run.real_accumulated_time / run.iterations;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    // Each iteration is a whole save, so a short minimum time still gives a few of them and the
    // run stays within seconds; --benchmark_min_time on the command line still wins.
    std::vector<char *> args(argv, argv + argc);
    std::string defaultMinTime = "--benchmark_min_time=0.2";
    args.insert(args.begin() + 1, defaultMinTime.data());
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto &s = reporter.seconds;
    const auto ratio = [&](const char *name, const char *baseline) {
        const auto a = s.find(name);
        const auto b = s.find(baseline);
        if (a == s.end() || b == s.end() || b->second <= 0) {
            return;
        }
        std::cout << name << ": " << a->second * 1000 << " ms = " << a->second / b->second << " x "
                  << baseline << '\n';
    };
    std::cout << '\n';
    ratio("BM_SaveRecord_PumpValues", "BM_Baseline_FixedText");
    ratio("BM_SaveRecord_PumpValues", "BM_Baseline_QStringPerEntry");
    ratio("BM_SaveRecord_FullPrecision", "BM_Baseline_FixedText");
    ratio("BM_SaveRecord_FullPrecision", "BM_Baseline_QStringPerEntry");
    return 0;
}
