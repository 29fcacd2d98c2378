#include "ui/trend/logfollower.h"

#include "ui/trend/trendrows.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// A reply row is about 70 bytes: room for a file's pressures at once, not in many growths.
constexpr qint64 bytesPerRow = 70;

} // namespace

LogFollower::LogFollower(TrendSeries &series, QObject *parent) : QObject(parent), m_series(series)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LogFollower::readPiece);
}

QString LogFollower::open(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return u"无法打开 %1：%2。"_s.arg(QDir::toNativeSeparators(path), file.errorString());
    }
    // The first piece decides whether this is a run log, before anything shown is replaced.
    runlog::RunLogReader reader;
    TrendSeries series;
    const QByteArray head = file.read(pieceBytes);
    const bool accepted =
        reader.feed(head, [&series](const runlog::RowView &row) { trendrows::add(series, row); });
    if (!accepted) {
        return reader.refusal();
    }
    if (head.isEmpty()) {
        return u"这不是运行记录：文件是空的。"_s;
    }
    if (!reader.isRunLog() && file.atEnd()) {
        return u"这不是运行记录：文件在第一行中间就结束了。"_s;
    }
    stop();
    m_file.setFileName(path);
    (void)m_file.open(QIODevice::ReadOnly);
    m_file.seek(head.size());
    m_reader = std::move(reader);
    series.reserve(file.size() / bytesPerRow);
    m_series = std::move(series);
    m_reachedEnd = false;
    Q_EMIT grew();
    m_timer.start(0);
    return {};
}

void LogFollower::stop()
{
    m_timer.stop();
    m_file.close();
    m_reader = {};
    m_buffer = {};
    m_otherLogs.clear();
}

void LogFollower::readPiece()
{
    if (!m_file.isOpen()) {
        return;
    }
    // A file replaced or cut shorter is no longer the one read so far.
    const QFileInfo info(m_file.fileName());
    if (!info.exists() || info.size() < m_file.pos()) {
        const QString path = m_file.fileName();
        stop();
        Q_EMIT failed(
            u"运行记录 %1 已被删除或改写，不再跟随。"_s.arg(QDir::toNativeSeparators(path)));
        return;
    }
    const qint64 want = std::min(pieceBytes, info.size() - m_file.pos());
    m_buffer.resize(want);
    const qint64 got = want > 0 ? m_file.read(m_buffer.data(), want) : 0;
    if (got < 0) {
        const QString why = m_file.errorString();
        stop();
        Q_EMIT failed(u"读取运行记录失败：%1。"_s.arg(why));
        return;
    }
    if (got > 0) {
        (void)m_reader.feed(QByteArrayView(m_buffer.constData(), got),
                            [this](const runlog::RowView &row) { trendrows::add(m_series, row); });
        Q_EMIT grew();
    }
    if (got == pieceBytes || (got == 0 && moveToNextPart())) {
        m_timer.start(0);
        return;
    }
    if (!std::exchange(m_reachedEnd, true)) {
        Q_EMIT reachedEnd();
    }
    m_buffer = {};
    // At the end: a console still writing adds rows at least every half second.
    m_timer.start(growthCheckMs);
}

bool LogFollower::moveToNextPart()
{
    // Only a log named as the console names them has parts: BASE.csv, BASE-2.csv, …
    const QFileInfo current(m_file.fileName());
    const std::optional<runlog::FilePart> name = runlog::filePart(current.fileName());
    if (!name) {
        return false;
    }
    // A name taken by another connection in the same second is skipped by the console, and
    // here: that file begins with its own line opening, a continued log with its next reply.
    constexpr int partsLookedAt = 8;
    for (int next = name->part + 1; next <= name->part + partsLookedAt; ++next) {
        const QString path = current.dir().filePath(runlog::fileName(name->baseName, next));
        QFile file(path);
        if (m_otherLogs.contains(path) || !file.open(QIODevice::ReadOnly)) {
            continue;
        }
        // Its first row tells: the header and one line. A file with none yet is looked at
        // again later.
        constexpr qint64 longestFirstLine = 4096;
        std::optional<bool> opensALine;
        runlog::RunLogReader reader;
        (void)reader.feed(file.readLine(longestFirstLine) + file.readLine(longestFirstLine),
                          [&](const runlog::RowView &row) {
                              opensALine =
                                  row.word && (row.word->kind == RunEventKind::LineOpened ||
                                               row.word->kind == RunEventKind::LineBack);
                          });
        if (!reader.refusal().isEmpty() || opensALine.value_or(false)) {
            m_otherLogs.insert(path);
        }
        if (!opensALine || *opensALine) {
            continue;
        }
        m_file.close();
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly)) {
            return false;
        }
        m_reader.startNextFile();
        return true;
    }
    return false;
}
