#include "control/pump/safety.h"

#include "link/wire/numbertext.h"

using namespace Qt::StringLiterals;

namespace safety {

Cause judgePressure(const Limits &limits, double mpa, bool lowerReached) noexcept
{
    if (limits.upper && mpa > *limits.upper) {
        return Cause::AboveUpper;
    }
    if (limits.lower && lowerReached && mpa < *limits.lower) {
        return Cause::BelowLower;
    }
    return Cause::None;
}

bool reachesLower(const Limits &limits, double mpa) noexcept
{
    return limits.lower && mpa >= *limits.lower;
}

bool silenceTrips(const Limits &limits, std::chrono::milliseconds silence) noexcept
{
    return limits.silenceSeconds && silence >= std::chrono::seconds(*limits.silenceSeconds);
}

namespace {

QString mpaText(double mpa)
{
    return QString::number(mpa, 'f', 1);
}

QString range(Field field)
{
    if (field == Field::Silence) {
        return u"%1 到 %2 秒"_s.arg(shortestSilence).arg(longestSilence);
    }
    return u"%1 到 %2 MPa"_s.arg(mpaText(lowestLimit), mpaText(highestLimit));
}

Checked refuse(Field field, const QString &why)
{
    Checked checked;
    checked.field = field;
    checked.refusal = why;
    return checked;
}

} // namespace

QString fieldName(Field field)
{
    switch (field) {
    case Field::Upper:
        return u"压力上限"_s;
    case Field::Lower:
        return u"压力下限"_s;
    case Field::Silence:
        break;
    }
    return u"无应答停泵"_s;
}

Checked check(const Typed &typed)
{
    Limits limits;
    const auto mpa = [](Field field, const QString &text, std::optional<double> &out) {
        if (text.trimmed().isEmpty()) {
            return true;
        }
        const auto value = numbertext::toDouble(text.trimmed());
        if (!value || *value < lowestLimit || *value > highestLimit) {
            return false;
        }
        out = *value;
        (void)field;
        return true;
    };
    if (!mpa(Field::Upper, typed.upper, limits.upper)) {
        return refuse(Field::Upper, u"压力上限应为 %1 的数，或留空不用"_s.arg(range(Field::Upper)));
    }
    if (!mpa(Field::Lower, typed.lower, limits.lower)) {
        return refuse(Field::Lower, u"压力下限应为 %1 的数，或留空不用"_s.arg(range(Field::Lower)));
    }
    if (const QString silence = typed.silence.trimmed(); !silence.isEmpty()) {
        bool whole = false;
        const int seconds = silence.toInt(&whole);
        if (!whole || seconds < shortestSilence || seconds > longestSilence) {
            return refuse(Field::Silence,
                          u"无应答停泵应为 %1 的整数，或留空不用"_s.arg(range(Field::Silence)));
        }
        limits.silenceSeconds = seconds;
    }
    if (limits.upper && limits.lower && !(*limits.upper > *limits.lower)) {
        return refuse(Field::Upper,
                      u"压力上限应高于压力下限（%1 MPa）"_s.arg(mpaText(*limits.lower)));
    }
    Checked checked;
    checked.limits = limits;
    return checked;
}

Typed typed(const Limits &limits)
{
    Typed out;
    if (limits.upper) {
        out.upper = mpaText(*limits.upper);
    }
    if (limits.lower) {
        out.lower = mpaText(*limits.lower);
    }
    if (limits.silenceSeconds) {
        out.silence = QString::number(*limits.silenceSeconds);
    }
    return out;
}

QString causeNote(Cause cause, const Limits &limits)
{
    switch (cause) {
    case Cause::AboveUpper:
        return u"高于上限 %1 MPa"_s.arg(mpaText(limits.upper.value_or(0)));
    case Cause::BelowLower:
        return u"低于下限 %1 MPa"_s.arg(mpaText(limits.lower.value_or(0)));
    case Cause::Silence:
        return u"%1 秒没有压力数据"_s.arg(limits.silenceSeconds.value_or(0));
    case Cause::None:
        break;
    }
    return {};
}

QString tripMessage(Cause cause, const Limits &limits, double mpa, QTime at)
{
    const QString when = at.toString(u"HH:mm:ss"_s);
    switch (cause) {
    case Cause::AboveUpper:
    case Cause::BelowLower:
        return u"压力 %1 MPa %2，已停泵（%3）"_s.arg(mpaText(mpa), causeNote(cause, limits), when);
    case Cause::Silence:
        return u"已 %1 秒没有收到压力数据，已停泵（%2）"_s.arg(limits.silenceSeconds.value_or(0))
            .arg(when);
    case Cause::None:
        break;
    }
    return {};
}

} // namespace safety
