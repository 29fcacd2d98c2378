#include "ui/displaytransfer.h"

#include <QByteArray>
#include <QtGlobal>

namespace displaytransfer {

void chooseSocketTransfer()
{
    if (!qEnvironmentVariableIsSet(environmentVariable)) {
        qputenv(environmentVariable, QByteArrayLiteral("1"));
    }
}

} // namespace displaytransfer
