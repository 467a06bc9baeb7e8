#include "app/RecentFiles.h"

#include <gtest/gtest.h>

namespace {
app::RecentFileList list(std::initializer_list<const char*> entries) {
    app::RecentFileList files;
    int i = 1;
    for (const char* e : entries) files[i++] = e;
    return files;
}
std::vector<std::string> entries(const app::RecentFileList& files) {
    return std::vector<std::string>(files.begin(), files.end());
}
} // namespace

TEST(RecentFiles, LeavingADatabasePutsItOnTop) {
    struct Case {
        const char* name;
        app::RecentFileList before;
        const char* previous;
        const char* current;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"first_switch", list({}), "/d/A.DBF", "/d/B.DBF", {"/d/A.DBF", "", "", "", ""}},
        {"the_new_one_leaves_the_list", list({"/d/B.DBF", "/d/C.DBF"}), "/d/A.DBF", "/d/B.DBF",
         {"/d/A.DBF", "/d/C.DBF", "", "", ""}},
        {"back_again", list({"/d/A.DBF", "/d/C.DBF"}), "/d/B.DBF", "/d/A.DBF",
         {"/d/B.DBF", "/d/C.DBF", "", "", ""}},
        {"reopening_the_open_one_lists_it_once", list({"/d/B.DBF", "/d/A.DBF"}), "/d/A.DBF", "/d/A.DBF",
         {"/d/A.DBF", "/d/B.DBF", "", "", ""}},
        {"a_sixth_drops_the_fifth", list({"1", "2", "3", "4", "5"}), "6", "7", {"6", "1", "2", "3", "4"}},
        {"exact_comparison", list({"/d/a.dbf"}), "/d/X.DBF", "/d/A.DBF", {"/d/X.DBF", "/d/a.dbf", "", "", ""}},
        {"empty_previous_still_goes_on_top", list({"1"}), "", "2", {"", "1", "", "", ""}},
    };
    for (const Case& c : cases) {
        app::RecentFileList files = c.before;
        app::DoLastFiles(files, c.previous, c.current);
        EXPECT_EQ(entries(files), c.after) << c.name;
    }
    EXPECT_FALSE(app::HasRecentFiles(list({})));
    EXPECT_TRUE(app::HasRecentFiles(list({"", "x"})));
}
