#include "core/DataFolders.h"
#include "support/ScopedEnv.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using test_support::ScopedEnv;

TEST(DataFolders, FollowTheXdgFoldersAndAreCreated) {
    QTemporaryDir data, config;
    ScopedEnv d("XDG_DATA_HOME", data.path().toLocal8Bit());
    ScopedEnv c("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    EXPECT_EQ(core::ProgramDirectory(), data.path() + QStringLiteral("/vantorel-inventory/"));
    EXPECT_TRUE(QDir(data.path() + QStringLiteral("/vantorel-inventory")).exists());
    EXPECT_EQ(core::SettingsDirectory(), config.path() + QStringLiteral("/vantorel-inventory/"));
    EXPECT_EQ(core::DefaultDatabasePath(),
              data.path() + QStringLiteral("/vantorel-inventory/MASTER.DBF"));
}

TEST(DataFolders, ARelativeXdgFolderIsIgnoredAsTheStandardSays) {
    QTemporaryDir home;
    ScopedEnv h("HOME", home.path().toLocal8Bit());
    ScopedEnv d("XDG_DATA_HOME", "relative/folder");
    EXPECT_EQ(core::ProgramDirectory(),
              home.path() + QStringLiteral("/.local/share/vantorel-inventory/"));
}
