#include "control/portmessages.h"

namespace portmessages {

namespace {

const QString lineSettings = QStringLiteral("9600,n,8,1");

QString sendReason(const PortStatus &status)
{
    switch (status.error) {
    case PortError::NotOpen:
        return QStringLiteral("串口尚未打开，请先在“通信”菜单中连接泵");
    case PortError::WriteFailed:
        return status.detail.isEmpty() ? QStringLiteral("串口写入失败")
                                       : QStringLiteral("串口写入失败：%1").arg(status.detail);
    default:
        return status.detail.isEmpty() ? QStringLiteral("串口错误") : status.detail;
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
    case PortError::BadSettings:
        return QStringLiteral("串口 %1 无法设置为 %2：%3").arg(port, lineSettings, status.detail);
    default:
        return QStringLiteral("无法打开串口 %1：%2").arg(port, status.detail);
    }
}

QString alreadyConnected(const QString &device)
{
    return QStringLiteral("已经连接在串口 %1 上，连接保持不变。\r\n"
                          "连接时不能更换串口；如需更换，请退出程序后重新启动。")
        .arg(device);
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
           (loss.systemText.isEmpty() ? QString() : QStringLiteral("（%1）").arg(loss.systemText));
}

} // namespace portmessages
