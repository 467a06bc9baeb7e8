#include "app/TableMaintenance.h"
#include "core/DatabaseFiles.h"
#include "core/InventoryFile.h"
#include "core/MessageService.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char* const kPackQuestion = "Deleted items are not permanently removed from the database "
                                  "until packing occurs.  Packing simply "
                                  "removes them to free up space.  Continue?";
const char* const kRebuildQuestion =
    "It is possible for your index files to become corrupted.  As a result, some items may not "
    "show up in "
    "the viewer or in reports.  This will rebuild your index files correctly.  Continue?";
const char* const kHeld = " requires exclusive use of the DBase File.  Make sure that the DBase "
                          "File is not in use by another "
                          "program  or that no other users are running the software or that no "
                          "other copies of the software are "
                          "in use.";

using Command = MaintenanceResult (*)(MainTableHost&, core::MessageService&);

// Five items in the categories e, d, c, b, a, so that the sort index reads them backwards;
// b and d are marked deleted: the grid shows "eca".
class MaintenanceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.path() + QStringLiteral("/MASTER.DBF");
        ASSERT_TRUE(core::MakeNewDB(quiet_, path_));
        dbase::Table t;
        t.openFile(path_.toStdString(), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const char* item : {"a", "b", "c", "d", "e"}) {
            t.insert();
            t.setText(t.fieldIndex("Item"), item);
            t.setText(t.fieldIndex("Category"),
                      std::string(1, static_cast<char>('a' + 'e' - item[0])));
            t.post();
        }
        t.addIndex("NewIndex", "Upper(Left(Category,20))");
        t.close();
        openShared();
        for (table_.first(); !table_.eof();) {
            const std::string item = table_.text(table_.fieldIndex("Item"));
            if (item == "b" || item == "d")
                table_.remove(); // moves on by itself
            else
                table_.next();
        }
        recordLength_ = table_.recordLength();
        ASSERT_EQ(shown(), "eca");
    }

    void openShared() {
        core::OpenTable(table_, core::LocateTable(path_), dbase::ShareMode::Shared,
                        dbase::Access::ReadWrite);
        table_.selectIndex("NewIndex");
        table_.first();
    }

    std::string shown() {
        std::string items;
        for (table_.first(); !table_.eof(); table_.next())
            items += table_.text(table_.fieldIndex("Item"));
        return items;
    }

    qint64 fileSize() const { return QFileInfo(path_).size(); }

    void expectOpenShared() {
        ASSERT_TRUE(table_.isOpen());
        EXPECT_FALSE(table_.isExclusive());
        EXPECT_EQ(table_.selectedIndex(), "NEWINDEX");
    }

    QTemporaryDir dir_;
    QString path_;
    dbase::Table table_;
    int viewerOptions_ = 0;
    uint16_t recordLength_ = 0;
    MainTableHost host_{table_,
                        {},
                        [this] { table_.close(); },
                        [this] { openShared(); },
                        [this] { ++viewerOptions_; }};
    core::ScriptedMessageService quiet_;
    core::ScriptedMessageService messages_;
};

TEST_F(MaintenanceTest, PackRemovesTheDeletedRecordsForGood) {
    host_.databasePath = path_;
    const qint64 before = fileSize();
    messages_.queueAnswer(core::MessageButton::Yes);
    EXPECT_EQ(MenuPackClick(host_, messages_), MaintenanceResult::Done);

    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Confirm"));
    EXPECT_EQ(messages_.messages()[0].text, QLatin1String(kPackQuestion));
    EXPECT_EQ(messages_.messages()[0].buttons, core::MessageButtons::YesNo);
    // Two records of the table's record length fewer; the header and end mark stay.
    EXPECT_EQ(fileSize(), before - 2 * recordLength_);
    expectOpenShared();
    EXPECT_EQ(table_.recordCount(), 3u);
    EXPECT_EQ(table_.countDeleted(), 0u);
    EXPECT_EQ(shown(), "eca");
    EXPECT_EQ(table_.verifyIndexes(), "");
    EXPECT_EQ(viewerOptions_, 1);
}

// A record changed behind the index's back (as another tool or a crash could leave it) is out of
// place until the rebuild puts it where its key now says.
TEST_F(MaintenanceTest, RebuildPutsAStaleIndexRight) {
    host_.databasePath = path_;
    const int field = table_.fieldIndex("Category");
    const qint64 offset =
        table_.headerLength() + 0 * recordLength_ + table_.field(field).offset; // record 1
    table_.close();
    {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(offset));
        ASSERT_EQ(file.write("0"), 1); // "a"'s category "e" becomes "0", which sorts first
    }
    openShared();
    ASSERT_NE(table_.verifyIndexes(), "");

    messages_.queueAnswer(core::MessageButton::Yes);
    EXPECT_EQ(MenuRebuildClick(host_, messages_), MaintenanceResult::Done);
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Confirm"));
    EXPECT_EQ(messages_.messages()[0].text, QLatin1String(kRebuildQuestion));
    expectOpenShared();
    EXPECT_EQ(table_.verifyIndexes(), "");
    EXPECT_EQ(shown(), "aec");
    EXPECT_EQ(table_.recordCount(), 5u); // a rebuild removes nothing
    EXPECT_EQ(viewerOptions_, 1);
}

struct CommandCase {
    const char* name;
    Command command;
    const char* refused; // what the message says before the shared tail
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class MaintenanceCommand : public MaintenanceTest,
                           public testing::WithParamInterface<CommandCase> {};

TEST_P(MaintenanceCommand, NoLeavesEverythingAsItWas) {
    host_.databasePath = path_;
    const qint64 before = fileSize();
    messages_.queueAnswer(core::MessageButton::No);
    EXPECT_EQ(GetParam().command(host_, messages_), MaintenanceResult::Declined);
    EXPECT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(fileSize(), before);
    expectOpenShared();
    EXPECT_EQ(viewerOptions_, 0);
}

TEST_P(MaintenanceCommand, DatabaseHeldByAnotherProgramStaysOpenAndUsable) {
    host_.databasePath = path_;
    const qint64 before = fileSize();
    dbase::Table other;
    other.openFile(path_.toStdString(), dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    messages_.queueAnswer(core::MessageButton::Yes);
    EXPECT_EQ(GetParam().command(host_, messages_), MaintenanceResult::Refused);

    ASSERT_EQ(messages_.messages().size(), 2u);
    EXPECT_EQ(messages_.messages()[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[1].text,
              QLatin1String(GetParam().refused) + QLatin1String(kHeld));
    EXPECT_EQ(fileSize(), before);
    expectOpenShared();
    EXPECT_EQ(table_.recordCount(), 5u);
    EXPECT_EQ(shown(), "eca");
    EXPECT_EQ(viewerOptions_, 1);
    // Usable: the table still takes an edit.
    table_.first();
    table_.edit();
    table_.setText(table_.fieldIndex("Item"), "E");
    EXPECT_NO_THROW(table_.post());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MaintenanceCommand,
    testing::Values(CommandCase{"Pack", &MenuPackClick, "Unable to pack table.  Packing"},
                    CommandCase{"Rebuild", &MenuRebuildClick,
                                "Unable to reindex table.  Reindexing"}),
    [](const testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

} // namespace
