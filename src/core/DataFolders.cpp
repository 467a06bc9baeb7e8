#include "core/DataFolders.h"

#include "core/InventoryFile.h"

#include <QDir>

#include <stdexcept>

namespace core {
namespace {

const QString kFolderName = QStringLiteral("vantorel-inventory");

// The XDG variable when it holds an absolute path, otherwise the home-relative default.
QString ensureFolder(const char* variable, const QString& homeDefault) {
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + homeDefault;
    const QString folder = QDir::cleanPath(base + QLatin1Char('/') + kFolderName);
    if (!QDir().mkpath(folder))
        throw std::runtime_error("Cannot create the folder " + toNativePath(folder));
    return folder + QLatin1Char('/');
}

} // namespace

QString ProgramDirectory() {
    return ensureFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString SettingsDirectory() { return ensureFolder("XDG_CONFIG_HOME", QStringLiteral("/.config")); }

QString DefaultDatabasePath() { return ProgramDirectory() + QStringLiteral("MASTER.DBF"); }

} // namespace core
