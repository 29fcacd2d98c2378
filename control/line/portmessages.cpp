#include "control/line/portmessages.h"

#include "control/seams/systemerrors.h"

#include <QDir>

namespace portmessages {

namespace {

const QString lineSettings = QStringLiteral("9600,n,8,1");

QString systemReason(const PortStatus &status)
{
    return systemerrors::reason(status.code, status.detail);
}

// Whether the system's cause only repeats what the loss cause already says.
bool repeatsCause(LossCause loss, systemerrors::Cause system)
{
    using systemerrors::Cause;
    switch (loss) {
    case LossCause::DeviceGone:
        return system == Cause::DeviceGone;
    case LossCause::DeviceNotFound:
        return system == Cause::NotFound || system == Cause::DeviceGone;
    case LossCause::AccessDenied:
        return system == Cause::NoPermission;
    default:
        return false;
    }
}

// What the system said about a loss, in brackets after the cause; nothing when it adds nothing.
QString lossDetail(const LineLoss &loss)
{
    const systemerrors::Cause system = systemerrors::causeOf(loss.code);
    if (system == systemerrors::Cause::Unknown) {
        return loss.systemText.isEmpty() ? QString()
                                         : QStringLiteral("（%1）").arg(loss.systemText);
    }
    return repeatsCause(loss.cause, system)
               ? QString()
               : QStringLiteral("（%1）").arg(systemerrors::words(system));
}

QString aliasReason(portnames::AliasTrust why)
{
    using portnames::AliasTrust;
    switch (why) {
    case AliasTrust::FolderNotAFolder:
        return QStringLiteral("它所在的位置不是一个真正的文件夹");
    case AliasTrust::FolderNotOwned:
        return QStringLiteral("它所在的文件夹属于其他用户");
    case AliasTrust::FolderOpenToOthers:
        return QStringLiteral("其他用户也能在它所在的文件夹中放入文件");
    case AliasTrust::AliasNotOwned:
        return QStringLiteral("它属于其他用户");
    case AliasTrust::Trusted:
        break;
    }
    return QStringLiteral("无法确认它是您自己的");
}

QString sendReason(const PortStatus &status)
{
    switch (status.error) {
    case PortError::NotOpen:
        return QStringLiteral("串口尚未打开，请先在“通信”菜单中连接泵");
    case PortError::WriteFailed:
        return status.detail.isEmpty() && !status.code
                   ? QStringLiteral("串口写入失败")
                   : QStringLiteral("串口写入失败：%1").arg(systemReason(status));
    default:
        return status.detail.isEmpty() && !status.code ? QStringLiteral("串口错误")
                                                       : systemReason(status);
    }
}

QString lossReason(const LineLoss &loss)
{
    switch (loss.cause) {
    case LossCause::ReadFailed:
        return QStringLiteral("读取失败（对方已关闭或设备已拔出）");
    case LossCause::WriteFailed:
        return QStringLiteral("写入失败");
    case LossCause::DeviceGone:
        return QStringLiteral("设备已不可用（可能已被拔出）");
    case LossCause::DeviceNotFound:
        return QStringLiteral("设备已不存在");
    case LossCause::AccessDenied:
        return QStringLiteral("设备拒绝访问");
    case LossCause::Other:
        break;
    }
    return QStringLiteral("通信错误（代码 %1）").arg(loss.errorCode);
}

} // namespace

QString commandNotSent(const QString &command, const PortStatus &status)
{
    return QStringLiteral("“%1”命令没有发送到泵（%2）。\r\n请检查连接后重新操作。")
        .arg(command, sendReason(status));
}

QString invalidPortNumber(int number)
{
    return QStringLiteral("串口号 %1 无效：串口号从 1 开始。").arg(number);
}

QString notAPort(const QString &answer)
{
    return QStringLiteral("“%1”不是串口号。\r\n请输入串口号（例如 1），"
                          "或设备名（例如 COM3、/dev/ttyUSB0）。")
        .arg(answer.trimmed());
}

QString openFailed(const PortStatus &status, const QString &port)
{
    switch (status.error) {
    case PortError::NoSuchPort:
        return QStringLiteral("串口 %1 不存在。\r\n请检查串口号和连接线。").arg(port);
    case PortError::Busy:
        return QStringLiteral("串口 %1 正被其他程序占用。\r\n请关闭占用该串口的程序后再连接。")
            .arg(port);
    case PortError::PermissionDenied:
        return QStringLiteral("没有权限打开串口 %1。\r\n请把当前用户加入 dialout 组"
                              "（sudo usermod -aG dialout 用户名），重新登录后再连接。")
            .arg(port);
    case PortError::NotASerialLine:
        return QStringLiteral("%1 不是串口设备，没有打开。\r\n请输入串口号（例如 1），"
                              "或串口设备名（例如 COM3、/dev/ttyUSB0）。")
            .arg(port);
    case PortError::BadSettings:
        return QStringLiteral("串口 %1 无法设置为 %2：%3")
            .arg(port, lineSettings, systemReason(status));
    default:
        return QStringLiteral("无法打开串口 %1：%2").arg(port, systemReason(status));
    }
}

QString alreadyConnected(const QString &device)
{
    return QStringLiteral("已经连接在串口 %1 上，连接保持不变。\r\n"
                          "连接时不能更换串口；如需更换，请退出程序后重新启动。")
        .arg(device);
}

QString aliasRefused(int number, const QString &alias, portnames::AliasTrust why,
                     const QString &device)
{
    return QStringLiteral("没有使用串口 %1 的别名 %2：%3，可能是别人放置的。\r\n"
                          "串口 %1 将打开 %4。")
        .arg(number)
        .arg(QDir::toNativeSeparators(alias), aliasReason(why), device);
}

QString deviceChanged(int number, const QString &device, const QString &previous)
{
    return QStringLiteral("串口 %1 现在是 %2，不再是上次打开的 %3。\r\n"
                          "如果泵不在这个设备上，可以再次选择“通信”更换串口。")
        .arg(number)
        .arg(device, previous);
}

QString lineLost(const LineLoss &loss)
{
    return lossCause(loss) + QStringLiteral("\r\n泵已失去连接。请检查连接线，然后在“通信”菜单中"
                                            "重新连接。");
}

QString sendFailure(const PortStatus &status)
{
    return sendReason(status);
}

QString lossCause(const LineLoss &loss)
{
    return QStringLiteral("串口 %1 已断开：%2").arg(loss.device, lossReason(loss)) +
           lossDetail(loss);
}

QString lineBack(const QString &device, const QString &previous)
{
    const QString port =
        device == previous ? device : QStringLiteral("%1（原 %2）").arg(device, previous);
    return QStringLiteral("串口 %1 已自动重新连接：USB 串口适配器已插回。\r\n"
                          "压力数值继续显示和记录；重新连接时没有向泵发送任何命令。")
        .arg(port);
}

} // namespace portmessages
