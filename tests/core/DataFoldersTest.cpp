#include "core/DataFolders.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)) {
        had_ = qEnvironmentVariableIsSet(name);
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_ = false;
};

} // namespace

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
