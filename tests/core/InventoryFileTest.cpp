#include "core/InventoryFile.h"

#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/TextFormat.h"
#include "dbase/DbfLayout.h"
#include "dbase/Error.h"
#include "dbase/Table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using core::CheckDBaseFormat;

const QString kNotOurs = QStringLiteral(
    "This DBase file was not created with Vantorel Inventory 95.  It cannot be opened.  You may, "
    "however, import data from this file using the import function.");

// The catalogue's columns, their names optionally rewritten by `rename` as another dBASE tool or
// an older version of the program might have written them.
std::vector<dbase::FieldDef>
catalogueFields(const std::function<std::string(std::string)>& rename = {}) {
    std::vector<dbase::FieldDef> fields;
    for (const dbase::ColumnDef& column : core::InventoryColumns()) {
        dbase::FieldDef field = dbase::columnFor(column);
        if (rename) field.name = rename(column.name);
        fields.push_back(field);
    }
    return fields;
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

class InventoryFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString path(const char* name) const {
        return dir_.path() + QLatin1Char('/') + QString::fromLatin1(name);
    }

    void create(const char* name, const std::vector<dbase::FieldDef>& fields) const {
        dbase::Table::create(core::toNativePath(path(name)), fields);
    }
    void createInventory(const char* name) const {
        dbase::Table::create(core::toNativePath(path(name)), core::InventoryColumns());
    }

    QByteArray contents(const char* name) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    void writeFile(const char* name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    char indexFlag(const char* name) const { return contents(name).at(dbase::layout::kMdxFlag); }
    void setIndexFlag(const char* name) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(dbase::layout::kMdxFlag));
        ASSERT_EQ(file.write("\x01", 1), 1);
    }

    QTemporaryDir dir_;
    core::ScriptedMessageService messages_;
};

TEST_F(InventoryFile, ColumnSetsThatPassAndFail) {
    struct Case {
        const char* name;
        std::vector<dbase::FieldDef> fields;
        bool passes;
    };
    std::vector<Case> cases;
    cases.push_back({"catalogue_names", catalogueFields(), true});
    cases.push_back({"upper_case_names", catalogueFields(core::UpperAscii), true});
    cases.push_back({"lower_case_names", catalogueFields(lower), true});
    // Only names and their order count: every column as text of width 10 still passes.
    std::vector<dbase::FieldDef> allText = catalogueFields();
    for (dbase::FieldDef& field : allText)
        field = {field.name, 'C', 10, 0, 0};
    cases.push_back({"types_and_widths_differ", allText, true});

    std::vector<dbase::FieldDef> extra = catalogueFields();
    extra.push_back({"Extra", 'C', 10, 0, 0});
    cases.push_back({"twenty_three_columns", extra, false});
    std::vector<dbase::FieldDef> missing = catalogueFields();
    missing.pop_back();
    cases.push_back({"twenty_one_columns", missing, false});
    std::vector<dbase::FieldDef> swapped = catalogueFields();
    std::swap(swapped[2], swapped[3]);
    cases.push_back({"model_and_serial_swapped", swapped, false});
    std::vector<dbase::FieldDef> renamed = catalogueFields();
    renamed[5].name = "Descript";
    cases.push_back({"one_name_differs", renamed, false});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        create("TABLE.DBF", c.fields);
        EXPECT_EQ(CheckDBaseFormat(messages_, path("TABLE.DBF")), c.passes);
        if (c.passes) {
            EXPECT_TRUE(messages_.messages().empty());
        } else {
            ASSERT_EQ(messages_.messages().size(), 1u);
            const core::Message& m = messages_.messages().front();
            EXPECT_EQ(m.caption, QStringLiteral("Error"));
            EXPECT_EQ(m.text, kNotOurs);
            EXPECT_EQ(m.buttons, core::MessageButtons::Ok);
        }
    }
}

// A table whose .MDX is gone still opens: the flag that promises an index is cleared first,
// in the file the path leads to however the path is written.
TEST_F(InventoryFile, MissingIndexClearsTheFlagOfTheTableOpened) {
    for (const char* given : {"MASTER.DBF", "master.dbf", "MASTER", "master"}) {
        SCOPED_TRACE(given);
        createInventory("MASTER.DBF");
        setIndexFlag("MASTER.DBF");
        EXPECT_TRUE(CheckDBaseFormat(messages_, path(given)));
        EXPECT_EQ(indexFlag("MASTER.DBF"), 0);
        EXPECT_TRUE(messages_.messages().empty());
    }
}

TEST_F(InventoryFile, PresentIndexKeepsTheFlag) {
    createInventory("MASTER.DBF");
    setIndexFlag("MASTER.DBF");
    writeFile("master.mdx", QByteArray()); // other dBASE tools write the name in lower case
    EXPECT_TRUE(CheckDBaseFormat(messages_, path("MASTER.DBF")));
    EXPECT_EQ(indexFlag("MASTER.DBF"), 1);
}

// Only the ".dbf" is taken off the file name: a dotted name opens its own table, not the one
// named by the part before its first dot.
TEST_F(InventoryFile, DottedNameOpensItsOwnTable) {
    create("home.DBF", {{"Name", 'C', 10, 0, 0}});
    createInventory("home.2024.DBF");
    EXPECT_TRUE(CheckDBaseFormat(messages_, path("home.2024.dbf")));
    EXPECT_FALSE(CheckDBaseFormat(messages_, path("home.dbf")));
}

// The engine's refusal reaches the caller's general error report; nothing is shown here and
// nothing is written into a file that is not a table.
TEST_F(InventoryFile, FileTheEngineCannotOpenThrows) {
    const QByteArray text("This is a text file that only carries a table's name.\n");
    writeFile("NOTES.DBF", text);
    EXPECT_THROW(CheckDBaseFormat(messages_, path("NOTES.DBF")), dbase::Error);
    EXPECT_THROW(CheckDBaseFormat(messages_, path("ABSENT.DBF")), dbase::Error);
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(contents("NOTES.DBF"), text);
    EXPECT_FALSE(QFile::exists(path("ABSENT.DBF")));
}

TEST_F(InventoryFile, RemoveMDXByteIgnoresWhatItCannotOpen) {
    EXPECT_NO_THROW(core::RemoveMDXByte(path("ABSENT.DBF")));
    EXPECT_FALSE(QFile::exists(path("ABSENT.DBF")));
    EXPECT_NO_THROW(core::RemoveMDXByte(dir_.path()));
}

TEST(TableLocation, SplitsFolderAndTableName) {
    struct Case {
        const char* name;
        QString path;
        QString folder;
        QString table;
    };
    const QString cwd = QDir::currentPath() + QLatin1Char('/');
    const Case cases[] = {
        {"upper_case_extension", QStringLiteral("/data/MASTER.DBF"), QStringLiteral("/data/"),
         QStringLiteral("MASTER")},
        {"lower_case_extension", QStringLiteral("/data/master.dbf"), QStringLiteral("/data/"),
         QStringLiteral("master")},
        {"no_extension", QStringLiteral("/data/MASTER"), QStringLiteral("/data/"),
         QStringLiteral("MASTER")},
        {"dotted_name", QStringLiteral("/data/home.2024.Dbf"), QStringLiteral("/data/"),
         QStringLiteral("home.2024")},
        {"other_extension_kept", QStringLiteral("/data/home.bak"), QStringLiteral("/data/"),
         QStringLiteral("home.bak")},
        {"dot_dot_resolved", QStringLiteral("/data/old/../MASTER.DBF"), QStringLiteral("/data/"),
         QStringLiteral("MASTER")},
        {"relative_made_full", QStringLiteral("MASTER.DBF"), cwd, QStringLiteral("MASTER")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const core::TableLocation location = core::LocateTable(c.path);
        EXPECT_EQ(location.folder, c.folder);
        EXPECT_EQ(location.tableName, c.table);
        EXPECT_EQ(location.indexPath(), c.folder + c.table + QStringLiteral(".MDX"));
    }
}

TEST_F(InventoryFile, CompanionFileExactNameFirstThenAnyCase) {
    const QString folder = dir_.path() + QLatin1Char('/');
    const QString mdx = QStringLiteral("MASTER.MDX");
    EXPECT_EQ(core::FindCompanionFile(folder, mdx), std::nullopt);

    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("master.mdx"))); // a folder is no index
    EXPECT_EQ(core::FindCompanionFile(folder, mdx), std::nullopt);

    writeFile("Master.Mdx", QByteArray());
    EXPECT_EQ(core::FindCompanionFile(folder, mdx), folder + QStringLiteral("Master.Mdx"));

    writeFile("MASTER.MDX", QByteArray());
    EXPECT_EQ(core::FindCompanionFile(folder, mdx), folder + mdx);
}

} // namespace
