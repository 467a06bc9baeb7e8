#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using core::IniFile;

std::string readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll().toStdString();
}

void writeBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Everything in the folder but "." and "..": a failed save must not leave its new file behind.
QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

const char* const kLookupFile = "; a comment line\n"
                                "Orphan=before any section\n"
                                "[Misc]\n"
                                "Show Tips=Yes\n"
                                "  Main Window Width \t=  800  \n"
                                "Empty=\n"
                                "Spaced Out =   \n"
                                "Formula=a=b=c\n"
                                ";Commented=1\n"
                                "Duplicate=first\n"
                                "Duplicate=second\n"
                                "a line without an equals sign\n"
                                "[ misc two ]\n"
                                "Key=in misc two\n"
                                "[MISC]\n"
                                "Late=in the second Misc\n"
                                "[Crlf]\r\n"
                                "Value=windows\r\n";

struct LookupCase {
    const char* name;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(IniFile, FindsValuesAsTheProfileFunctionsDo) {
    const LookupCase cases[] = {
        {"exact_names", "Misc", "Show Tips", "Yes"},
        {"section_in_other_case", "mIsC", "Show Tips", "Yes"},
        {"key_in_other_case", "Misc", "SHOW TIPS", "Yes"},
        {"blanks_and_tabs_around_key_and_value", "Misc", "Main Window Width", "800"},
        {"empty_value_is_present", "Misc", "Empty", ""},
        {"only_blanks_is_empty", "Misc", "Spaced Out", ""},
        {"later_equals_signs_belong_to_the_value", "Misc", "Formula", "a=b=c"},
        {"commented_key_is_missing", "Misc", ";Commented", std::nullopt},
        {"commented_key_without_semicolon", "Misc", "Commented", std::nullopt},
        {"first_of_two_keys", "Misc", "Duplicate", "first"},
        {"key_before_any_section", "Misc", "Orphan", std::nullopt},
        {"blanks_inside_brackets", "Misc Two", "Key", "in misc two"},
        {"second_section_of_a_name_unseen", "Misc", "Late", std::nullopt},
        {"key_of_another_section", "Misc", "Key", std::nullopt},
        {"missing_section", "Nowhere", "Key", std::nullopt},
        {"crlf_not_part_of_the_value", "Crlf", "Value", "windows"},
    };
    const IniFile ini = IniFile::fromBytes(kLookupFile);
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ini.value(c.section, c.key), c.expected);
    }
}

TEST(IniFile, WritingKeepsEveryLineInPlace) {
    IniFile ini = IniFile::fromBytes("; Vantorel test file\n"
                                     "[Misc]\n"
                                     "Show Tips = Yes\n"
                                     "Old Key=kept\n"
                                     "\n"
                                     "; next comes the grid\n"
                                     "[Grid]\n"
                                     "  Width =  5  \n");
    ini.setValue("Misc", "SHOW TIPS", "No"); // changed in place, spelling and spacing kept
    ini.setValue("Misc", "New Key", "7");    // after the section's last key
    ini.setValue("Grid", "width", "5");      // same value: the line stays byte for byte
    ini.setValue("Fresh", "A", "1");         // new section at the end
    ini.setValue("Fresh", "B", "2");
    EXPECT_EQ(ini.toBytes(), "; Vantorel test file\n"
                             "[Misc]\n"
                             "Show Tips = No\n"
                             "Old Key=kept\n"
                             "New Key=7\n"
                             "\n"
                             "; next comes the grid\n"
                             "[Grid]\n"
                             "  Width =  5  \n"
                             "\n"
                             "[Fresh]\n"
                             "A=1\n"
                             "B=2\n");
}

TEST(IniFile, NewLinesFollowTheFilesLineEnds) {
    // Windows line ends and no line end after the last line.
    IniFile ini = IniFile::fromBytes("[A]\r\nX=1");
    ini.setValue("A", "Y", "2");
    ini.setValue("B", "Z", "3");
    EXPECT_EQ(ini.toBytes(), "[A]\r\nX=1\r\nY=2\r\n\r\n[B]\r\nZ=3\r\n");

    IniFile empty;
    empty.setValue("A", "X", "");
    EXPECT_EQ(empty.toBytes(), "[A]\nX=\n");
}

TEST(IniFile, UnchangedBytesComeBackUnchanged) {
    const std::string files[] = {
        "",
        "[A]\nX=1",
        "[A]\r\nX=1\r\n\n;mixed\r\n",
        std::string("bin\0ary\x01\xff\r\r\n[\n=\n]\n", 18),
        "\n\n\n",
    };
    for (const std::string& bytes : files) {
        EXPECT_EQ(IniFile::fromBytes(bytes).toBytes(), bytes);
    }
}

TEST(IniFile, AValueCannotMakeUpKeysOrSections) {
    IniFile ini;
    ini.setValue("Reports", "Your Name", "Pat\r\n[Misc]\nShow Tips=No");
    ini.setValue("Reports", "Nul", std::string("a\0b", 3));
    const IniFile reread = IniFile::fromBytes(ini.toBytes());
    EXPECT_EQ(reread.value("Reports", "Your Name"), "Pat  [Misc] Show Tips=No");
    EXPECT_EQ(reread.value("Reports", "Nul"), "a b");
    EXPECT_EQ(reread.value("Misc", "Show Tips"), std::nullopt);

    EXPECT_THROW(ini.setValue("Bad]", "Key", "x"), std::invalid_argument);
    EXPECT_THROW(ini.setValue("Misc", "a=b", "x"), std::invalid_argument);
    EXPECT_THROW(ini.setValue("Misc", ";note", "x"), std::invalid_argument);
    EXPECT_THROW(ini.setValue("Misc", "", "x"), std::invalid_argument);
    EXPECT_THROW(ini.setValue("Misc", " Padded", "x"), std::invalid_argument);
}

TEST(IniFile, AMissingFileReadsAsEmptyAndASaveCreatesIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("NEW.INI"));
    IniFile ini;
    EXPECT_TRUE(ini.load(path));
    EXPECT_EQ(ini.toBytes(), "");
    ini.setValue("Misc", "Key", "value");
    ASSERT_TRUE(ini.save(path));
    EXPECT_EQ(readBytes(path), "[Misc]\nKey=value\n");
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("NEW.INI")});

    IniFile reread;
    ASSERT_TRUE(reread.load(path));
    EXPECT_EQ(reread.value("misc", "key"), "value");
}

TEST(IniFile, ASaveThroughASymbolicLinkReplacesTheFileItPointsTo) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("dotfiles/TALBEX.INI"));
    const QString link = dir.filePath(QStringLiteral("TALBEX.INI"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("dotfiles")));
    writeBytes(target, "[A]\nX=old\n");
    ASSERT_TRUE(QFile::link(QStringLiteral("dotfiles/TALBEX.INI"), link));

    IniFile ini;
    ASSERT_TRUE(ini.load(link));
    ini.setValue("A", "X", "new");
    ASSERT_TRUE(ini.save(link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(target), "[A]\nX=new\n");
}

TEST(IniFile, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TALBEX.INI"));
    ASSERT_TRUE(QDir().mkdir(path));
    IniFile ini = IniFile::fromBytes("[A]\nX=1\n");
    EXPECT_FALSE(ini.load(path));
    EXPECT_EQ(ini.toBytes(), "");
    ini.setValue("A", "X", "1");
    EXPECT_FALSE(ini.save(path));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("TALBEX.INI")});
}

TEST(IniFile, AFailedSaveInAReadOnlyFolderKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TALBEX.INI"));
    writeBytes(path, "[A]\nX=old\n");
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    IniFile ini;
    ASSERT_TRUE(ini.load(path));
    ini.setValue("A", "X", "new");
    const bool saved = ini.save(path);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(path), "[A]\nX=old\n");
}

// The file size limit makes the disk refuse every byte past the first `limit`, as a full disk
// would; looping over every limit proves there is no point at which a failing save damages
// the old file or leaves its new file lying about.
TEST(IniFile, ASaveThatFailsAfterAnyByteKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TALBEX.INI"));
    const std::string old = "[Misc]\nShow Tips=Yes\n";
    writeBytes(path, old);

    IniFile ini;
    ASSERT_TRUE(ini.load(path));
    for (int i = 0; i < 8; ++i)
        ini.setValue("Field Names", "Field" + std::to_string(i), "Name");
    const rlim_t size = ini.toBytes().size();

    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (rlim_t limit = 0; limit < size; ++limit) {
        rlimit cut = original;
        cut.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &cut), 0);
        const bool saved = ini.save(path);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);

        SCOPED_TRACE("limit " + std::to_string(limit));
        EXPECT_FALSE(saved);
        EXPECT_EQ(readBytes(path), old);
        EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("TALBEX.INI")});
    }
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(ini.save(path));
    EXPECT_EQ(readBytes(path), ini.toBytes());
}

} // namespace
