#include "dbase/Table.h"
#include "support/RunProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

test_support::ProcessResult start(const QTemporaryDir& home) {
    const std::string dir = home.path().toStdString();
    return test_support::runCommand("XDG_DATA_HOME='" + dir + "/data' XDG_CONFIG_HOME='" + dir +
                                    "/config' " + PROGRAM);
}

} // namespace

TEST(Start, TheFirstStartCreatesAnEmptyDefaultDatabase) {
    QTemporaryDir home;
    const auto first = start(home);
    EXPECT_EQ(first.exitCode, 0) << first.output;
    const QString master = home.path() + QStringLiteral("/data/vantorel-inventory/MASTER.DBF");
    ASSERT_TRUE(QFile::exists(master));
    EXPECT_NE(first.output.find("MASTER.DBF: 0 records"), std::string::npos) << first.output;

    // Later starts open it as it is.
    {
        dbase::Table t;
        t.openFile(master.toStdString(), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        t.insert();
        t.setText(0, "Lamp");
        t.post();
    }
    const auto second = start(home);
    EXPECT_NE(second.output.find("MASTER.DBF: 1 records"), std::string::npos) << second.output;
}

TEST(Start, AForeignDefaultDatabaseIsRefusedAndKept) {
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/data/vantorel-inventory");
    QDir().mkpath(folder);
    const std::string master = (folder + QStringLiteral("/MASTER.DBF")).toStdString();
    dbase::Table::create(master, std::vector<dbase::FieldDef>{{"Name", 'C', 10, 0, 0}});
    const auto result = start(home);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("was not created with Vantorel Inventory 95"), std::string::npos)
        << result.output;
    dbase::Table t;
    t.openFile(master, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    EXPECT_EQ(t.fieldCount(), 1); // not replaced
}
