#include "editing/PickLists.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>

using editing::Entries;
using editing::PickList;
using editing::PickLists;

namespace {

constexpr PickList kAllLists[] = {PickList::Brand, PickList::Location, PickList::PurchasedFrom,
                                  PickList::Category, PickList::Owner};

std::string readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void writeBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

class PickListsTest : public testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

    QTemporaryDir dir_;
    PickLists lists_{dir_.path()};
};

TEST(ListFile, ReadsEntriesAsTheFileHoldsThem) {
    const std::string longLine(300, 'x');
    struct Case {
        const char* name;
        std::string bytes;
        Entries expected;
    };
    const Case cases[] = {
        // Blank lines go; an entry keeps its leading blank, so " Acme" and "Acme" are two.
        {"blank_lines_skipped_leading_blank_kept",
         " Acme\r\n\r\n   \r\nAcme\r\n",
         {" Acme", "Acme"}},
        {"trailing_blanks_kept", "Acme  \r\n", {"Acme  "}},
        // Only the space is a blank: a tab is text.
        {"tab_is_not_a_blank", "\t\r\n", {"\t"}},
        {"line_feeds_only", "Acme\nBolt\n", {"Acme", "Bolt"}},
        {"carriage_returns_only", "Acme\rBolt\r", {"Acme", "Bolt"}},
        {"last_line_without_end", "Acme\r\nBolt", {"Acme", "Bolt"}},
        {"empty_file", "", {}},
        // 300 characters: the first 255 are the entry, the other 45 are skipped, not a new one.
        {"long_line_cut_to_255", longLine + "\r\nNext\r\n", {std::string(255, 'x'), "Next"}},
        // Cut first, then tested for blanks: 255 blanks and a late "x" are a blank line.
        {"blanks_up_to_255_then_text", std::string(255, ' ') + "x\r\n", {}},
        {"ctrl_z_ends_the_file",
         "Acme\r\n\x1a"
         "Bolt\r\n",
         {"Acme"}},
        {"ctrl_z_ends_a_line",
         "Ac\x1a"
         "me\r\n",
         {"Ac"}},
        {"bytes_above_127_kept", "Caf\xe9\r\n\x80\x81\r\n", {"Caf\xe9", "\x80\x81"}},
    };
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("BRAND.LST"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(file, c.bytes);
        EXPECT_EQ(editing::ReadListFile(file), c.expected);
    }
}

TEST_F(PickListsTest, FilesAreNamedPerListInTheFolder) {
    const char* names[] = {"BRAND.LST", "LOCATION.LST", "BOUGHT.LST", "CATEGORY.LST", "OWNER.LST"};
    const int fields[] = {2, 5, 7, 12, 17};
    for (int i = 0; i < editing::kPickListCount; ++i) {
        EXPECT_EQ(lists_.filePath(kAllLists[i]), path(names[i]));
        EXPECT_EQ(PickLists::catalogueNumber(kAllLists[i]), fields[i]);
    }
    // With or without the folder's final "/".
    EXPECT_EQ(PickLists(dir_.path() + QLatin1Char('/')).filePath(PickList::Owner),
              path("OWNER.LST"));
}

TEST_F(PickListsTest, LoadListFillsBothCopiesAndEmptiesThemFirst) {
    writeBytes(path("LOCATION.LST"), "Attic\r\nCellar\r\n");
    lists_.Replace(PickList::Location, {"Old"});
    lists_.LoadList(PickList::Location);
    EXPECT_EQ(lists_.edit(PickList::Location), (Entries{"Attic", "Cellar"}));
    EXPECT_EQ(lists_.grid(PickList::Location), (Entries{"Attic", "Cellar"}));

    // A file that has gone empties the lists, without a word.
    QFile::remove(path("LOCATION.LST"));
    lists_.LoadList(PickList::Location);
    EXPECT_TRUE(lists_.edit(PickList::Location).empty());
    EXPECT_TRUE(lists_.grid(PickList::Location).empty());
}

TEST_F(PickListsTest, AddToListKeepsAutomaticEntriesUniqueAndCaseSensitive) {
    writeBytes(path("BRAND.LST"), " Acme\r\n\r\n   \r\nAcme\r\n");
    lists_.LoadAllList();
    ASSERT_EQ(lists_.edit(PickList::Brand), (Entries{" Acme", "Acme"}));

    lists_.AddToList(PickList::Brand, "Acme "); // trimmed, it is listed
    lists_.AddToList(PickList::Brand, "   ");   // nothing left
    lists_.AddToList(PickList::Brand, "");
    EXPECT_EQ(lists_.edit(PickList::Brand), (Entries{" Acme", "Acme"}));

    lists_.AddToList(PickList::Brand, "ACME");
    lists_.AddToList(PickList::Brand, "  Bolt  ");
    EXPECT_EQ(lists_.edit(PickList::Brand), (Entries{" Acme", "Acme", "ACME", "Bolt"}));
    // The edit copy alone: the grid's copy has its own operation.
    EXPECT_EQ(lists_.grid(PickList::Brand), (Entries{" Acme", "Acme"}));

    lists_.AddToListTwwDB(PickList::Brand, "Acme");
    lists_.AddToListTwwDB(PickList::Brand, "");
    lists_.AddToListTwwDB(PickList::Brand, "acme");
    EXPECT_EQ(lists_.grid(PickList::Brand), (Entries{" Acme", "Acme", "acme"}));
    EXPECT_EQ(lists_.edit(PickList::Brand).size(), 4u);
}

TEST_F(PickListsTest, LoadGridListRefreshesOnlyTheGridCopy) {
    writeBytes(path("OWNER.LST"), "Ann\r\n");
    lists_.LoadAllList();
    lists_.AddToList(PickList::Owner, "Bob");
    lists_.AddToListTwwDB(PickList::Owner, "Bob");
    lists_.LoadGridList(PickList::Owner);
    EXPECT_EQ(lists_.grid(PickList::Owner), (Entries{"Ann"}));
    EXPECT_EQ(lists_.edit(PickList::Owner), (Entries{"Ann", "Bob"}));
}

TEST_F(PickListsTest, ReplaceSetsBothCopies) {
    lists_.AddToListTwwDB(PickList::Category, "Grid only");
    lists_.Replace(PickList::Category, {"Tools", "Tools", " Toys"});
    EXPECT_EQ(lists_.edit(PickList::Category), (Entries{"Tools", "Tools", " Toys"}));
    EXPECT_EQ(lists_.grid(PickList::Category), (Entries{"Tools", "Tools", " Toys"}));
    EXPECT_TRUE(lists_.edit(PickList::Brand).empty());
}

TEST_F(PickListsTest, SaveListWritesEachEntryEndedByCrLf) {
    writeBytes(path("BOUGHT.LST"), "a much longer list that was there before\r\n");
    lists_.Replace(PickList::PurchasedFrom, {" Corner shop ", "Caf\xe9", "Market"});
    ASSERT_TRUE(lists_.SaveList(PickList::PurchasedFrom));
    // 13 + 2 + 4 + 2 + 6 + 2 = 29 bytes.
    EXPECT_EQ(readBytes(path("BOUGHT.LST")), " Corner shop \r\nCaf\xe9\r\nMarket\r\n");
    EXPECT_EQ(QFileInfo(path("BOUGHT.LST")).size(), 29);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("BOUGHT.LST")});

    PickLists again(dir_.path());
    again.LoadList(PickList::PurchasedFrom);
    EXPECT_EQ(again.edit(PickList::PurchasedFrom), lists_.edit(PickList::PurchasedFrom));

    lists_.Replace(PickList::PurchasedFrom, {});
    ASSERT_TRUE(lists_.SaveList(PickList::PurchasedFrom));
    EXPECT_EQ(readBytes(path("BOUGHT.LST")), "");
}

TEST_F(PickListsTest, WithoutFilesTheListsStartEmptyAndSavingCreatesAllFive) {
    lists_.LoadAllList();
    for (PickList list : kAllLists) {
        EXPECT_TRUE(lists_.edit(list).empty());
        EXPECT_TRUE(lists_.grid(list).empty());
    }
    lists_.SaveAllLists();
    for (PickList list : kAllLists)
        EXPECT_EQ(readBytes(lists_.filePath(list)), "") << lists_.filePath(list).toStdString();

    // Each list goes to its own file.
    for (int i = 0; i < editing::kPickListCount; ++i)
        lists_.Replace(kAllLists[i], {"entry " + std::to_string(i)});
    lists_.SaveAllLists();
    for (int i = 0; i < editing::kPickListCount; ++i)
        EXPECT_EQ(readBytes(lists_.filePath(kAllLists[i])), "entry " + std::to_string(i) + "\r\n");
}

TEST_F(PickListsTest, SaveListIntoAMissingFolderFails) {
    PickLists nowhere(path("missing"));
    nowhere.Replace(PickList::Brand, {"Acme"});
    EXPECT_FALSE(nowhere.SaveList(PickList::Brand));
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

// Caps the size of any file this process writes, as a full disk would; writing past it fails
// (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

TEST_F(PickListsTest, AWriteThatFailsAfterAnyNumberOfBytesLeavesTheOldFileWhole) {
    const std::string old = "Old brand\r\n";
    writeBytes(path("BRAND.LST"), old);
    lists_.Replace(PickList::Brand, {"First new brand", "Second new brand"});
    const size_t newSize = 15 + 2 + 16 + 2;
    for (size_t failAfter = 0; failAfter < newSize; ++failAfter) {
        SCOPED_TRACE(failAfter);
        bool saved = true;
        {
            FileSizeLimit limit(failAfter);
            ASSERT_TRUE(limit.ok());
            saved = lists_.SaveList(PickList::Brand);
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(readBytes(path("BRAND.LST")), old);
        // Nothing half-written is left beside it.
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files),
                  QStringList{QStringLiteral("BRAND.LST")});
    }
    ASSERT_TRUE(lists_.SaveList(PickList::Brand));
    EXPECT_EQ(QFileInfo(path("BRAND.LST")).size(), static_cast<qint64>(newSize));
}

} // namespace
