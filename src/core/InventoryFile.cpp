#include "core/InventoryFile.h"

#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/TextFormat.h"
#include "dbase/DbfLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace core {
namespace {

const QString kTableExtension = QStringLiteral(".DBF");
const QString kIndexExtension = QStringLiteral(".MDX");

bool sameNameIgnoringAsciiCase(const QString& a, const QString& b) {
    return UpperAscii(toNativePath(a)) == UpperAscii(toNativePath(b));
}

std::runtime_error writeError(const QString& path, const QFile& file) {
    return std::runtime_error("Cannot clear the index flag of " + toNativePath(path) + ": " +
                              file.errorString().toStdString());
}

bool hasInventoryColumns(const dbase::Table& table) {
    if (table.fieldCount() != kFieldCount) return false;
    for (int number = 1; number <= kFieldCount; ++number) {
        if (UpperAscii(table.field(number - 1).name) != UpperAscii(CatalogueName(number))) {
            return false;
        }
    }
    return true;
}

} // namespace

QString TableLocation::indexPath() const {
    return folder + tableName + kIndexExtension;
}

TableLocation LocateTable(const QString& path) {
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
    TableLocation location{full.left(slash + 1), full.mid(slash + 1)};
    // Only the table extension is dropped, not everything after the first ".": "home.2024.dbf"
    // must open home.2024.DBF and never a neighbouring home.DBF.
    QString& name = location.tableName;
    if (name.size() > kTableExtension.size() &&
        name.endsWith(kTableExtension, Qt::CaseInsensitive)) {
        name.chop(kTableExtension.size());
    }
    return location;
}

std::optional<QString> FindCompanionFile(const QString& folder, const QString& fileName) {
    if (QFileInfo(folder + fileName).isFile()) return folder + fileName;
    const QStringList entries =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (sameNameIgnoringAsciiCase(entry, fileName)) return folder + entry;
    }
    return std::nullopt;
}

std::string toNativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void OpenTable(dbase::Table& table, const TableLocation& location, dbase::ShareMode share,
               dbase::Access access) {
    table.open(toNativePath(location.folder), toNativePath(location.tableName), share, access);
}

bool CheckDBaseFormat(MessageService& messages, const QString& path) {
    const TableLocation location = LocateTable(path);
    if (!FindCompanionFile(location.folder, location.tableName + kIndexExtension)) {
        // The flag is cleared in the file the engine is about to open, which is not always the
        // path as typed ("MASTER" opens MASTER.DBF).
        if (const auto tableFile =
                FindCompanionFile(location.folder, location.tableName + kTableExtension)) {
            RemoveMDXByte(*tableFile);
        }
    }

    dbase::Table check;
    OpenTable(check, location, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    const bool passes = hasInventoryColumns(check);
    check.close();

    if (!passes) {
        messages.show({
            .caption = QStringLiteral("Error"),
            .text = QStringLiteral(
                "This DBase file was not created with Vantorel Inventory 95.  It cannot be "
                "opened.  You may, however, import data from this file using the import "
                "function."),
            .buttons = MessageButtons::Ok,
            .icon = MessageIcon::Error,
        });
    }
    return passes;
}

void RemoveMDXByte(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        return;
    }
    // Only a real dBASE III/IV header is touched: a zero written into some other file that
    // happens to carry the name would damage it, and the engine refuses that file anyway.
    const QByteArray header = file.read(dbase::layout::kHeaderSize);
    if (header.size() < static_cast<qsizetype>(dbase::layout::kHeaderSize) ||
        (static_cast<uint8_t>(header[dbase::layout::kVersion]) & 0x07) != 0x03) {
        return;
    }
    if (header[dbase::layout::kMdxFlag] == 0) return;
    const char zero = 0;
    if (!file.seek(dbase::layout::kMdxFlag) || file.write(&zero, 1) != 1) {
        throw writeError(path, file);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) throw writeError(path, file);
}

} // namespace core
