#include "control/program/programfile.h"

#include "control/record/recordfile.h"

#include "control/seams/systemerrors.h"
#include "link/wire/numbertext.h"
#include "link/wire/systemfacts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;
using program::Mode;
using program::Step;
using program::Steps;

namespace programfile {

namespace {

struct Refused
{
    QString reason;
};

// A field as a spreadsheet may write it: blanks around it, quotes around that.
QString unquoted(QString field)
{
    field = field.trimmed();
    if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"')) {
        field = field.mid(1, field.size() - 2).replace(u"\"\""_s, u"\""_s).trimmed();
    }
    return field;
}

std::optional<double> numberField(const QString &text, const QString &name, QString &reason)
{
    if (text.isEmpty()) {
        reason = u"缺少%1"_s.arg(name);
        return std::nullopt;
    }
    const auto value = numbertext::toDouble(text);
    if (!value) {
        reason = u"%1“%2”不是数字（小数点用“.”）"_s.arg(name, text);
    }
    return value;
}

// The fields of a line; a comma inside quotes is the field's own ("1,5" from a spreadsheet
// that writes a decimal comma stays one field, and is refused as no number).
QStringList splitFields(const QString &line)
{
    QStringList fields(1);
    bool quoted = false;
    for (const QChar c : line) {
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            fields.append(QString());
            continue;
        }
        fields.back().append(c);
    }
    return fields;
}

// One line's step, or why not.
std::optional<Step> parseStep(const QString &line, QString &reason)
{
    const QStringList fields = splitFields(line);
    if (fields.size() < 3 || fields.size() > 4) {
        reason = u"应为 3 或 4 列（分钟、流量、方式、压力上限），实为 %1 列"_s.arg(fields.size());
        return std::nullopt;
    }
    Step step;
    const auto minutes = numberField(unquoted(fields[0]), u"时长"_s, reason);
    if (!minutes) {
        return std::nullopt;
    }
    const auto flow = numberField(unquoted(fields[1]), u"流量"_s, reason);
    if (!flow) {
        return std::nullopt;
    }
    const QString mode = unquoted(fields[2]);
    if (mode.compare(u"hold"_s, Qt::CaseInsensitive) == 0) {
        step.mode = Mode::Hold;
    } else if (mode.compare(u"ramp"_s, Qt::CaseInsensitive) == 0) {
        step.mode = Mode::Ramp;
    } else {
        reason = u"方式“%1”应为 hold（保持）或 ramp（渐变）"_s.arg(mode);
        return std::nullopt;
    }
    if (fields.size() == 4 && !unquoted(fields[3]).isEmpty()) {
        const auto limit = numberField(unquoted(fields[3]), u"压力上限"_s, reason);
        if (!limit) {
            return std::nullopt;
        }
        step.pressureLimit = *limit;
    }
    step.minutes = *minutes;
    step.flow = *flow;
    return step;
}

bool blank(const QString &line)
{
    for (const QChar c : line) {
        if (!c.isSpace() && c != u',') {
            return false;
        }
    }
    return true;
}

} // namespace

Read parse(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
    }
    Steps steps;
    std::vector<int> lineOf; // each step's line
    bool headerSeen = false;
    int lineNumber = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0) {
            end = bytes.size();
        }
        QByteArrayView raw = bytes.sliced(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString line = decoder.decode(raw);
        if (decoder.hasError()) {
            return {std::nullopt, lineNumber, u"不是 UTF-8 文本"_s};
        }
        if (blank(line)) {
            continue;
        }
        if (!headerSeen) {
            QStringList names = splitFields(line);
            for (QString &name : names) {
                name = unquoted(name).toLower();
            }
            if (names.join(u',') != QLatin1StringView(header)) {
                return {std::nullopt, lineNumber,
                        u"第一行应为表头 %1"_s.arg(QLatin1StringView(header))};
            }
            headerSeen = true;
            continue;
        }
        QString reason;
        const auto step = parseStep(line, reason);
        if (!step) {
            return {std::nullopt, lineNumber, reason};
        }
        steps.push_back(*step);
        lineOf.push_back(lineNumber);
    }
    if (!headerSeen) {
        return {std::nullopt, 0, u"文件是空的"_s};
    }
    if (const auto problem = program::problem(steps)) {
        const int line = problem->step < 0 ? 0 : lineOf[std::size_t(problem->step)];
        return {std::nullopt, line, problem->reason};
    }
    return {std::move(steps), 0, {}};
}

QByteArray format(const Steps &steps)
{
    QByteArray out = header.toByteArray() + "\r\n";
    for (const Step &step : steps) {
        out += numbertext::shortest(step.minutes).toLatin1() + ',' +
               numbertext::shortest(step.flow).toLatin1() + ',' +
               (step.mode == Mode::Ramp ? "ramp" : "hold") + ',' +
               (step.pressureLimit ? numbertext::shortest(*step.pressureLimit).toLatin1()
                                   : QByteArray()) +
               "\r\n";
    }
    return out;
}

Read load(const QString &path)
{
    if (QFileInfo(path).isDir()) {
        return {std::nullopt, 0, systemerrors::words(systemerrors::Cause::IsAFolder)};
    }
    QFile file(path);
    systemfacts::clearLastError();
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, 0, systemerrors::failure(file)};
    }
    if (file.size() > largestFile) {
        return {std::nullopt, 0, u"文件过大（超过 %1 MB），不是程序文件"_s.arg(largestFile >> 20)};
    }
    systemfacts::clearLastError();
    const QByteArray bytes = file.read(largestFile + 1);
    if (file.error() != QFileDevice::NoError) {
        return {std::nullopt, 0, systemerrors::failure(file)};
    }
    return parse(bytes);
}

Saved save(const QString &path, const Steps &steps)
{
    const QByteArray bytes = format(steps);
    const recordfile::SaveResult saved = recordfile::saveWhole(
        path, [&bytes](QIODevice &device) { return device.write(bytes) == bytes.size(); });
    return {saved.ok, saved.error};
}

QString refusal(const Read &read)
{
    return read.line > 0 ? u"第 %1 行：%2"_s.arg(read.line).arg(read.reason) : read.reason;
}

QString shortHash(const Steps &steps)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(format(steps), QCryptographicHash::Sha256).toHex().left(8));
}

} // namespace programfile
