// The window's pixels go over the display connection; a value already in the environment is left
// as it was.

#include "ui/displaytransfer.h"

#include <gtest/gtest.h>
#include <optional>
#include <QByteArray>
#include <QtGlobal>

namespace {

struct TransferCase
{
    std::optional<QByteArray> before; // none: not set
    QByteArray after;
};

class DisplayTransfer : public ::testing::TestWithParam<TransferCase>
{
protected:
    void TearDown() override { qunsetenv(displaytransfer::environmentVariable); }
};

TEST_P(DisplayTransfer, KeepsWhatTheEnvironmentChose)
{
    qunsetenv(displaytransfer::environmentVariable);
    if (GetParam().before) {
        qputenv(displaytransfer::environmentVariable, *GetParam().before);
    }
    displaytransfer::chooseSocketTransfer();
    EXPECT_TRUE(qEnvironmentVariableIsSet(displaytransfer::environmentVariable));
    EXPECT_EQ(qgetenv(displaytransfer::environmentVariable), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayTransfer,
                         ::testing::Values(TransferCase{std::nullopt, "1"},
                                           TransferCase{QByteArray("0"), "0"},
                                           TransferCase{QByteArray(""), ""},
                                           TransferCase{QByteArray("1"), "1"}));

} // namespace
