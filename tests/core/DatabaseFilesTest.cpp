#include "core/DatabaseFiles.h"

#include "core/FieldCatalogue.h"
#include "core/InventoryFile.h"
#include "core/MessageService.h"
#include "core/TextFormat.h"
#include "dbase/DbfLayout.h"
#include "dbase/Error.h"
#include "dbase/Table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using dbase::Date;
using dbase::DateFormat;
using dbase::FieldDef;

using Row = std::vector<std::string>; // one text per column, "" leaves it empty

// The version 2 layout as the old program wrote it: a record number first, then the columns
// that became catalogue fields 1 to 18.
std::vector<FieldDef> version2Fields() {
    std::vector<FieldDef> fields{{"H2NUM", 'N', 6, 0, 0}};
    for (int number = 1; number <= 18; ++number) {
        FieldDef field = dbase::columnFor(core::InventoryColumns()[number - 1]);
        if (core::KindOfField(number) == core::FieldKind::WholeNumber) field = {"", 'N', 4, 0, 0};
        if (core::KindOfField(number) == core::FieldKind::Money) field = {"", 'N', 12, 2, 0};
        field.name = std::string(core::CatalogueName(number));
        fields.push_back(field);
    }
    return fields;
}

std::vector<FieldDef> version1Fields() {
    return {
        {"HNUM", 'N', 6, 0, 0},         {"Item", 'C', 40, 0, 0},
        {"Brand", 'C', 20, 0, 0},       {"Model", 'C', 20, 0, 0},
        {"Serial", 'C', 20, 0, 0},      {"Room", 'C', 30, 0, 0},
        {"Descriptio", 'C', 110, 0, 0}, {"BoughtFrom", 'C', 40, 0, 0},
        {"IDMarks", 'C', 60, 0, 0},     {"Quantity", 'N', 4, 0, 0},
        {"PurchDay", 'C', 2, 0, 0},     {"PurchMonth", 'C', 10, 0, 0},
        {"PurchYear", 'C', 4, 0, 0},    {"Cost", 'N', 12, 2, 0},
        {"Category", 'C', 20, 0, 0},
    };
}

const QString kInUse =
    QStringLiteral("is currently in use by another program.  New table creation will be aborted.");

QString question(const char* version, const char* file) {
    return QStringLiteral("A database from a previous version (") + QString::fromLatin1(version) +
           QStringLiteral(") has been detected.  Would you like to convert it now?  NOTE: After "
                          "conversion the old file will be deleted.  You may wish to make a copy "
                          "of \"") +
           QString::fromLatin1(file) + QStringLiteral("\" first.");
}

class DatabaseFiles : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString path(const char* name) const {
        return dir_.path() + QLatin1Char('/') + QString::fromLatin1(name);
    }
    std::string native(const char* name) const { return core::toNativePath(path(name)); }

    // A table with these columns and rows, every value written as text in m/d/yyyy.
    void createTable(const char* name, const std::vector<FieldDef>& fields,
                     const std::vector<Row>& rows = {}) const {
        dbase::Table::create(native(name), fields);
        dbase::Table table;
        table.openFile(native(name), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const Row& row : rows) {
            table.insert();
            for (size_t i = 0; i < row.size(); ++i)
                table.setText(static_cast<int>(i), row[i]);
            table.post();
        }
        table.close();
    }

    void writeFile(const char* name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // The main table as the program keeps it open: shared, sorted by its own index, with one
    // record of the user's already in it.
    void openMaster(dbase::Table& master) const {
        dbase::Table::create(native("MASTER.DBF"), core::InventoryColumns());
        dbase::Table setup;
        setup.openFile(native("MASTER.DBF"), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        setup.addIndex("NewIndex", "UPPER(CATEGORY)+UPPER(ITEM)");
        setup.close();
        master.openFile(native("MASTER.DBF"), dbase::ShareMode::Shared, dbase::Access::ReadWrite);
        master.selectIndex("NewIndex");
        master.insert();
        master.setText(master.fieldIndex("Item"), "Piano");
        master.post();
    }

    // The values of the master's visible records, field by field, in record order.
    static std::vector<Row> visibleRows(dbase::Table& master) {
        master.selectIndex("");
        std::vector<Row> rows;
        for (master.first(); !master.eof(); master.next()) {
            Row row;
            for (int i = 0; i < master.fieldCount(); ++i)
                row.push_back(master.text(i));
            rows.push_back(row);
        }
        master.selectIndex("NewIndex");
        return rows;
    }

    QTemporaryDir dir_;
    core::ScriptedMessageService messages_;
};

// ---------------------------------------------------------------------------------------------
// The in-use test and creating a table

TEST_F(DatabaseFiles, InUseOnlyWhileSomeoneHoldsTheFile) {
    struct Case {
        const char* name;
        const char* asked; // the path given to DBaseInUse
        std::optional<dbase::ShareMode> heldAs;
        bool damaged;
        bool inUse;
    };
    const Case cases[] = {
        {"missing_file", "MISSING.DBF", std::nullopt, false, false},
        {"free_table", "TABLE.DBF", std::nullopt, false, false},
        {"held_shared", "TABLE.DBF", dbase::ShareMode::Shared, false, true},
        {"held_exclusive", "TABLE.DBF", dbase::ShareMode::Exclusive, false, true},
        {"held_asked_without_extension", "TABLE", dbase::ShareMode::Shared, false, true},
        {"held_asked_in_lower_case", "table.dbf", dbase::ShareMode::Shared, false, true},
        // The engine refuses a damaged file, but no one holds it: it may be replaced.
        {"damaged_file", "TABLE.DBF", std::nullopt, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path("TABLE.DBF"));
        if (c.damaged) {
            writeFile("TABLE.DBF", QByteArray("not a table at all, only its name"));
        } else {
            createTable("TABLE.DBF", {{"Name", 'C', 10, 0, 0}});
        }
        dbase::Table holder;
        if (c.heldAs) holder.openFile(native("TABLE.DBF"), *c.heldAs, dbase::Access::ReadOnly);
        EXPECT_EQ(core::DBaseInUse(path(c.asked)), c.inUse);
        holder.close();
        EXPECT_FALSE(core::DBaseInUse(path(c.asked)));
    }
}

// Whatever was at the path, afterwards it is an empty inventory table that passes the check.
TEST_F(DatabaseFiles, NewDatabaseReplacesAFileNoOneHolds) {
    struct Case {
        const char* name;
        bool foreignTable;
        bool damaged;
    };
    const Case cases[] = {
        {"no_file_yet", false, false},
        {"foreign_table_with_records", true, false},
        {"damaged_file", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path("NEW.DBF"));
        if (c.foreignTable) createTable("NEW.DBF", {{"Name", 'C', 10, 0, 0}}, {{"Kept?"}, {"No"}});
        if (c.damaged) writeFile("NEW.DBF", QByteArray(600, 'x'));

        EXPECT_TRUE(core::MakeNewDB(messages_, path("NEW.DBF")));
        EXPECT_TRUE(messages_.messages().empty());
        dbase::Table table;
        table.openFile(native("NEW.DBF"), dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        EXPECT_EQ(table.fieldCount(), core::kFieldCount);
        EXPECT_EQ(table.recordCount(), 0u);
        EXPECT_TRUE(table.indexes().empty());
        table.close();
        EXPECT_TRUE(core::CheckDBaseFormat(messages_, path("NEW.DBF")));
    }
}

// Another table of this process holding the file counts as another program: the main table
// open on a database keeps a new one from being created over it.
TEST_F(DatabaseFiles, NewDatabaseOverAFileInUseIsRefused) {
    createTable("BUSY.DBF", {{"Name", 'C', 10, 0, 0}}, {{"Mine"}});
    dbase::Table holder;
    holder.openFile(native("BUSY.DBF"), dbase::ShareMode::Shared, dbase::Access::ReadOnly);

    const QString given = path("BUSY.DBF");
    EXPECT_FALSE(core::MakeNewDB(messages_, given));
    ASSERT_EQ(messages_.messages().size(), 1u);
    const core::Message& m = messages_.messages().front();
    EXPECT_EQ(m.caption, QStringLiteral("Error"));
    EXPECT_EQ(m.buttons, core::MessageButtons::Ok);
    EXPECT_EQ(m.text, QStringLiteral("The table \"") + given + QStringLiteral("\" ") + kInUse);

    holder.close();
    dbase::Table table;
    table.openFile(native("BUSY.DBF"), dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    EXPECT_EQ(table.fieldCount(), 1);
    EXPECT_EQ(table.recordCount(), 1u);
}

// The engine's refusal is shown, and a path where something still exists afterwards is not
// taken for a new table.
TEST_F(DatabaseFiles, NewDatabaseTheEngineCannotCreateFails) {
    for (const char* name : {"NO_SUCH_FOLDER/NEW.DBF", "FOLDER.DBF"}) {
        SCOPED_TRACE(name);
        messages_.clear();
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("FOLDER.DBF/inside")));
        EXPECT_FALSE(core::MakeNewDB(messages_, path(name)));
        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.messages().front().caption, QStringLiteral("Error"));
        EXPECT_FALSE(messages_.messages().front().text.isEmpty());
        EXPECT_FALSE(messages_.messages().front().text.contains(kInUse));
    }
    EXPECT_TRUE(QFileInfo(path("FOLDER.DBF/inside")).isDir());
}

// ---------------------------------------------------------------------------------------------
// The layouts of the earlier versions

TEST_F(DatabaseFiles, OldLayoutsThatPassAndFail) {
    struct Case {
        const char* name;
        std::vector<FieldDef> fields;
        bool version2;
        bool version1;
    };
    std::vector<Case> cases;
    cases.push_back({"version_2", version2Fields(), true, false});
    std::vector<FieldDef> anyFirst = version2Fields();
    anyFirst[0] = {"whatever", 'D', 8, 0, 0};
    for (FieldDef& field : anyFirst)
        if (field.name != "whatever") field.name = core::UpperAscii(field.name);
    cases.push_back({"version_2_any_first_column_upper_case_names", anyFirst, true, false});
    std::vector<FieldDef> noFirst = version2Fields();
    noFirst.erase(noFirst.begin());
    cases.push_back({"version_2_with_18_columns", noFirst, false, false});
    std::vector<FieldDef> extra = version2Fields();
    extra.push_back({"UserDef1", 'C', 40, 0, 0});
    cases.push_back({"version_2_with_20_columns", extra, false, false});
    std::vector<FieldDef> swapped = version2Fields();
    std::swap(swapped[9], swapped[10]);
    cases.push_back({"version_2_two_columns_swapped", swapped, false, false});
    cases.push_back({"version_1", version1Fields(), false, true});
    std::vector<FieldDef> location = version1Fields();
    location[5].name = "Location";
    cases.push_back({"version_1_with_location_for_room", location, false, false});
    std::vector<FieldDef> current;
    for (const dbase::ColumnDef& column : core::InventoryColumns())
        current.push_back(dbase::columnFor(column));
    cases.push_back({"current_inventory_table", current, false, false});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        createTable("OLD.DBF", c.fields);
        EXPECT_EQ(core::CheckDBaseFormatV2(path("OLD.DBF")), c.version2);
        EXPECT_EQ(core::CheckDBaseFormatV1(path("OLD.DBF")), c.version1);
    }

    // Files that are no tables are no old databases either; nothing is thrown or shown.
    writeFile("OLD.DBF", QByteArray("text"));
    EXPECT_FALSE(core::CheckDBaseFormatV2(path("OLD.DBF")));
    EXPECT_FALSE(core::CheckDBaseFormatV1(path("MISSING.DBF")));
}

TEST_F(DatabaseFiles, OldLayoutWithoutItsIndexHasTheFlagCleared) {
    createTable("H2LOG.DBF", version2Fields());
    {
        QFile file(path("H2LOG.DBF"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(dbase::layout::kMdxFlag));
        ASSERT_EQ(file.write("\x01", 1), 1);
    }
    EXPECT_TRUE(core::CheckDBaseFormatV2(path("H2LOG.DBF")));
    QFile file(path("H2LOG.DBF"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().at(dbase::layout::kMdxFlag), 0);
}

// ---------------------------------------------------------------------------------------------
// Converting

// Fields 1 to 18 arrive by position, dates as dates: with a two-digit-year format a trip through
// text would have moved 1921 into 2021. Text keeps its Windows-1252 bytes.
TEST_F(DatabaseFiles, Version2CopiesEighteenFields) {
    const Row first{"7",          "Caf\xe9 table", "Oakworks",  "T-1",     "SN 55",
                    "Kitchen",    "Round",         "Fairbanks", "Scratch", "2",
                    "5/1/1921",   "1250.5",        "Furniture", "1500",    "Yes",
                    "12/31/1999", "Three years",   "Ann",       "900.25"};
    const Row second{"8", "Lamp"};
    createTable("H2LOG.DBF", version2Fields(), {first, second});

    dbase::Table master;
    openMaster(master);
    const DateFormat userFormat{
        .separator = '.', .order = DateFormat::Order::DayMonthYear, .fourDigitYear = false};
    master.setDateFormat(userFormat);

    const core::ConversionResult result = core::ConvertV2(path("H2LOG.DBF"), master);
    EXPECT_EQ(result.records, 2);
    EXPECT_EQ(result.datesNotConverted, 0);

    const std::vector<Row> rows = visibleRows(master);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "Piano"); // the record that was there before
    const Row expected{"Caf\xe9 table",
                       "Oakworks",
                       "T-1",
                       "SN 55",
                       "Kitchen",
                       "Round",
                       "Fairbanks",
                       "Scratch",
                       "2",
                       "1.5.21",
                       "1250.5",
                       "Furniture",
                       "1500",
                       "Yes",
                       "31.12.99",
                       "Three years",
                       "Ann",
                       "900.25",
                       "",
                       "",
                       "",
                       ""};
    EXPECT_EQ(rows[1], expected);
    EXPECT_EQ(rows[2][0], "Lamp");
    master.selectIndex("");
    master.first();
    master.next();
    EXPECT_EQ(master.date(master.fieldIndex("PurchDate")), (Date{1921, 5, 1}));
    EXPECT_EQ(master.verifyIndexes(), "");
}

// Day, month and year are read as month/day/year whatever format the user chose, and that
// format is the one in force afterwards. Parts that form no date leave the date empty and the
// record is converted all the same.
TEST_F(DatabaseFiles, Version1ComposesThePurchaseDate) {
    struct DateCase {
        const char* name;
        const char* day;
        const char* month;
        const char* year;
        Date expected; // the empty date when the parts form none
    };
    const DateCase dates[] = {
        {"month_name", "7", "Mar", "1994", {1994, 3, 7}},
        {"month_number", "7", "3", "1994", {1994, 3, 7}},
        {"last_month_name", "31", "Dec", "1989", {1989, 12, 31}},
        {"two_digit_year_in_the_century_window", "7", "Mar", "94", {1994, 3, 7}},
        {"day_with_leading_blank", " 7", "Jan", "1994", {1994, 1, 7}},
        {"month_name_upper_case", "7", "MAR", "1994", {}},
        {"month_name_written_out", "7", "March", "1994", {}}, // cut to "Marc"
        {"no_such_day", "30", "Feb", "1994", {}},
        {"parts_empty", "", "", "", {}},
    };
    std::vector<Row> rows;
    for (const DateCase& d : dates) {
        rows.push_back({"1", d.name, "Brand", "Model", "Serial", "Attic", "Description", "Shop",
                        "Marks", "3", d.day, d.month, d.year, "19.95", "Tools"});
    }

    const DateFormat userFormats[] = {
        {.separator = '.', .order = DateFormat::Order::DayMonthYear, .fourDigitYear = true},
        {.separator = '-', .order = DateFormat::Order::YearMonthDay, .fourDigitYear = true},
        {.separator = '/', .order = DateFormat::Order::MonthDayYear, .fourDigitYear = false},
    };
    for (const DateFormat& userFormat : userFormats) {
        SCOPED_TRACE(std::string("user format ") + userFormat.separator);
        createTable("HLOG.DBF", version1Fields(), rows);
        dbase::Table master;
        openMaster(master);
        master.setDateFormat(userFormat);

        const core::ConversionResult result = core::ConvertV1(path("HLOG.DBF"), master);
        EXPECT_EQ(result.records, static_cast<int>(std::size(dates)));
        EXPECT_EQ(result.datesNotConverted, 4);
        EXPECT_EQ(master.dateFormat().separator, userFormat.separator);
        EXPECT_EQ(master.dateFormat().order, userFormat.order);
        EXPECT_EQ(master.dateFormat().fourDigitYear, userFormat.fourDigitYear);

        master.selectIndex("");
        master.first();
        for (const DateCase& d : dates) {
            SCOPED_TRACE(d.name);
            master.next();
            ASSERT_FALSE(master.eof());
            EXPECT_EQ(master.text(master.fieldIndex("Item")), d.name);
            EXPECT_EQ(master.date(master.fieldIndex("PurchDate")), d.expected);
            EXPECT_EQ(master.text(master.fieldIndex("Location")), "Attic");
            EXPECT_EQ(master.text(master.fieldIndex("Descriptio")), "Description");
            EXPECT_EQ(master.text(master.fieldIndex("Quantity")), "3");
            EXPECT_EQ(master.text(master.fieldIndex("Cost")), "19.95");
            EXPECT_EQ(master.text(master.fieldIndex("Category")), "Tools");
            EXPECT_EQ(master.text(master.fieldIndex("RepCost")), "");
            EXPECT_EQ(master.text(master.fieldIndex("Warranty")), "");
        }
        master.close();
    }
}

// A record the destination refuses ends the conversion with nothing of it left behind: the
// records converted before it are taken out again, the index stays sound, and the old file is
// kept to be offered again. The look for older databases ends there.
TEST_F(DatabaseFiles, FailedConversionAddsNothingAndKeepsTheOldFile) {
    std::vector<FieldDef> wideItem = version2Fields();
    wideItem[1].width = 60; // wider than the catalogue's 40
    createTable("H2LOG.DBF", wideItem,
                {{"1", "Chair"}, {"2", "Desk"}, {"3", std::string(50, 'x')}, {"4", "Lamp"}});
    createTable("HLOG.DBF", version1Fields(), {{"1", "Radio"}});
    dbase::Table master;
    openMaster(master);
    const std::vector<Row> before = visibleRows(master);

    EXPECT_THROW(core::ConvertV2(path("H2LOG.DBF"), master), dbase::Error);
    EXPECT_EQ(visibleRows(master), before);

    messages_.queueAnswer(core::MessageButton::Yes);
    EXPECT_EQ(core::CheckForConversion(messages_, dir_.path(), master), 0);
    ASSERT_EQ(messages_.messages().size(), 2u);
    EXPECT_EQ(messages_.messages()[0].text, question("2.X", "H2LOG.DBF"));
    EXPECT_EQ(messages_.messages()[1].caption, QStringLiteral("Error"));
    EXPECT_TRUE(messages_.messages()[1].text.contains(QStringLiteral("too long")));
    EXPECT_EQ(visibleRows(master), before);
    EXPECT_EQ(master.verifyIndexes(), "");
    EXPECT_TRUE(QFile::exists(path("H2LOG.DBF")));
    EXPECT_TRUE(QFile::exists(path("HLOG.DBF")));
}

// ---------------------------------------------------------------------------------------------
// The start-up look for older databases

TEST_F(DatabaseFiles, YesConvertsBothInTurnAndDeletesOnlyTheTables) {
    createTable("H2LOG.DBF", version2Fields(), {{"1", "Chair"}, {"2", "Desk"}});
    createTable("HLOG.DBF", version1Fields(),
                {{"1", "Radio", "", "", "", "", "", "", "", "1", "7", "Mar", "1994", "10", ""}});
    writeFile("H2LOG.MDX", QByteArray("an index of the old program"));
    dbase::Table master;
    openMaster(master);

    messages_.queueAnswer(core::MessageButton::Yes);
    messages_.queueAnswer(core::MessageButton::Yes);
    EXPECT_EQ(core::CheckForConversion(messages_, dir_.path(), master), 3);
    ASSERT_EQ(messages_.messages().size(), 2u);
    for (const core::Message& m : messages_.messages()) {
        EXPECT_EQ(m.caption, QStringLiteral("Convert"));
        EXPECT_EQ(m.buttons, core::MessageButtons::YesNo);
    }
    EXPECT_EQ(messages_.messages()[0].text, question("2.X", "H2LOG.DBF"));
    EXPECT_EQ(messages_.messages()[1].text, question("1.X", "HLOG.DBF"));

    std::vector<std::string> items;
    for (const Row& row : visibleRows(master))
        items.push_back(row[0]);
    EXPECT_EQ(items, (std::vector<std::string>{"Piano", "Chair", "Desk", "Radio"}));
    EXPECT_FALSE(QFile::exists(path("H2LOG.DBF")));
    EXPECT_FALSE(QFile::exists(path("HLOG.DBF")));
    EXPECT_TRUE(QFile::exists(path("H2LOG.MDX")));

    messages_.clear();
    EXPECT_EQ(core::CheckForConversion(messages_, dir_.path() + QLatin1Char('/'), master), 0);
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(DatabaseFiles, NoConvertsNothingAndAsksAgainNextTime) {
    createTable("H2LOG.DBF", version2Fields(), {{"1", "Chair"}});
    createTable("HLOG.DBF", version1Fields(), {{"1", "Radio"}});
    dbase::Table master;
    openMaster(master);
    const std::vector<Row> before = visibleRows(master);

    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        messages_.clear();
        messages_.queueAnswer(core::MessageButton::No);
        messages_.queueAnswer(core::MessageButton::No);
        EXPECT_EQ(core::CheckForConversion(messages_, dir_.path(), master), 0);
        ASSERT_EQ(messages_.messages().size(), 2u);
        EXPECT_EQ(messages_.messages()[0].text, question("2.X", "H2LOG.DBF"));
        EXPECT_EQ(messages_.messages()[1].text, question("1.X", "HLOG.DBF"));
        EXPECT_EQ(visibleRows(master), before);
        EXPECT_TRUE(QFile::exists(path("H2LOG.DBF")));
        EXPECT_TRUE(QFile::exists(path("HLOG.DBF")));
    }
}

// A file under an old name without the old layout is not offered.
TEST_F(DatabaseFiles, OldNameWithAnotherLayoutIsNotOffered) {
    createTable("H2LOG.DBF", version1Fields(), {{"1", "Radio"}});
    dbase::Table master;
    openMaster(master);
    EXPECT_EQ(core::CheckForConversion(messages_, dir_.path(), master), 0);
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_TRUE(QFile::exists(path("H2LOG.DBF")));
}

} // namespace
