#include "core/Settings.h"

#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using core::LoadSettings;
using core::SaveSettings;
using core::Settings;

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

// A record as the main window has it before loading: the start folder is known.
Settings freshRecord() {
    Settings s;
    s.StartDirectory = QStringLiteral("/home/pat");
    return s;
}

// The file a first shutdown writes: every member at its default, sections and keys in the order
// they are read. Last Import File and Last Export File hold the start folder.
const char* const kDefaultFile = R"([Misc]
Button Bar=1
Main Window Left=0
Main Window Top=0
Main Window Width=640
Main Window Height=480
Last Import File=/home/pat
Last Export File=/home/pat
Last Database=
Last File 1=
Last File 2=
Last File 3=
Last File 4=
Last File 5=
Show Tips=Yes
Window Size=640
Date Format=1
Currency Format=1
Numeric Format=1

[Field Names]
Item=Item
Brand=Brand
Model=Model
Serial=Serial Number
Location=Location
Descriptio=Description
BoughtFrom=Purchased From
IDMarks=ID Marks
Quantity=Quantity
PurchDate=Purchase Date
Cost=Cost
Category=Category
RepCost=Replacement Cost
Warranty=Warranty
WarDate=Warranty Date
WarNotes=Warranty Notes
Owner=Owner
Value=Value
UserDef1=User Defined 1
UserDef2=User Defined 2
UserDef3=User Defined 3
UserDef4=User Defined 4

[Display Fields]
Item=Yes
Brand=Yes
Model=Yes
Serial=Yes
Location=Yes
Descriptio=Yes
BoughtFrom=Yes
IDMarks=Yes
Quantity=Yes
PurchDate=Yes
Cost=Yes
Category=Yes
RepCost=Yes
Warranty=Yes
WarDate=Yes
WarNotes=Yes
Owner=Yes
Value=Yes
UserDef1=Yes
UserDef2=Yes
UserDef3=Yes
UserDef4=Yes

[Field Width]
Item=15
Brand=15
Model=15
Serial=15
Location=15
Descriptio=15
BoughtFrom=15
IDMarks=15
Quantity=15
PurchDate=15
Cost=15
Category=15
RepCost=15
Warranty=15
WarDate=15
WarNotes=15
Owner=15
Value=15
UserDef1=15
UserDef2=15
UserDef3=15
UserDef4=15

[Field Order]
Item=1
Brand=2
Model=3
Serial=4
Location=5
Descriptio=6
BoughtFrom=7
IDMarks=8
Quantity=9
PurchDate=10
Cost=11
Category=12
RepCost=13
Warranty=14
WarDate=15
WarNotes=16
Owner=17
Value=18
UserDef1=19
UserDef2=20
UserDef3=21
UserDef4=22

[Export Fields]
Item=Yes
Brand=Yes
Model=Yes
Serial=Yes
Location=Yes
Descriptio=Yes
BoughtFrom=Yes
IDMarks=Yes
Quantity=Yes
PurchDate=Yes
Cost=Yes
Category=Yes
RepCost=Yes
Warranty=Yes
WarDate=Yes
WarNotes=Yes
Owner=Yes
Value=Yes
UserDef1=Yes
UserDef2=Yes
UserDef3=Yes
UserDef4=Yes

[Export Order]
Item=1
Brand=2
Model=3
Serial=4
Location=5
Descriptio=6
BoughtFrom=7
IDMarks=8
Quantity=9
PurchDate=10
Cost=11
Category=12
RepCost=13
Warranty=14
WarDate=15
WarNotes=16
Owner=17
Value=18
UserDef1=19
UserDef2=20
UserDef3=21
UserDef4=22

[Export]
First Row=Yes
File Type=1

[Import]
Skip First=Yes
File Type=1

[Sort Order]
Primary Sort=12
Secondary Sort=0
Third Level Sort=0
Fourth Level Sort=0

[Main Window Color]
Main Background=12632256
Major Title=0
Minor Title=0
Edit Background=16777215
Edit Text=0
Combo Background=16777215
Combo Text=0
List Box Background=16777215
List Box Text=0
Radio Background=12632256
Radio Text=0
Check Background=12632256
Check Text=0

[Edit Window Color]
Main Background=12632256
Major Title=0
Minor Title=0
Edit Background=16777215
Edit Text=0
Combo Background=16777215
Combo Text=0
List Box Background=16777215
List Box Text=0
Radio Background=12632256
Radio Text=0
Check Background=12632256
Check Text=0

[Search Window Color]
Main Background=12632256
Major Title=0
Minor Title=0
Edit Background=16777215
Edit Text=0
Combo Background=16777215
Combo Text=0
List Box Background=16777215
List Box Text=0
Radio Background=12632256
Radio Text=0
Check Background=12632256
Check Text=0

[Report Window Color]
Main Background=12632256
Major Title=0
Minor Title=0
Edit Background=16777215
Edit Text=0
Combo Background=16777215
Combo Text=0
List Box Background=16777215
List Box Text=0
Radio Background=12632256
Radio Text=0
Check Background=12632256
Check Text=0

[Configure Window Color]
Main Background=12632256
Major Title=0
Minor Title=0
Edit Background=16777215
Edit Text=0
Combo Background=16777215
Combo Text=0
List Box Background=16777215
List Box Text=0
Radio Background=12632256
Radio Text=0
Check Background=12632256
Check Text=0

[Grid Title]
Show Titles=Yes
Background Color=8553090
Alignment=2

[Grid Title Font]
Color=0
Font Name=Arial
Size=12
Bold=No
Italic=No
Underline=No
Strikeout=No

[Grid Font]
Color=0
Font Name=Arial
Size=10
Bold=No
Italic=No
Underline=No
Strikeout=No

[Grid Options]
Cell Color=12632256
Column Lines=Yes
Row Lines=Yes
Row Indicator=Yes
Field Editing=No

[Edit Font]
Font Name=Arial
Bold=No
Italic=No

[Label Font]
Font Name=Arial
Bold=No
Italic=No

[Button Font]
Font Name=Arial
Bold=No
Italic=No

[Reports]
Last Report=0
Print Insurance Company=No
Print Policy Number=No
Print Statement=No
Insurance Company=
Policy Number=
Your Name=
Report Viewing Window Left=0
Report Viewing Window Top=0
Report Viewing Window Width=640
Report Viewing Window Height=480
)";

class SettingsFile : public testing::Test {
protected:
    QString path(const char* name = "TALBEX.INI") const {
        return dir_.filePath(QString::fromLatin1(name));
    }

    // The record loaded from a file holding these bytes.
    Settings loadFrom(const std::string& bytes) {
        writeBytes(path(), bytes);
        Settings s = freshRecord();
        LoadSettings(s, path());
        return s;
    }

private:
    QTemporaryDir dir_;
};

TEST_F(SettingsFile, WithoutAFileEveryMemberTakesItsDefaultAndTheFirstSaveWritesThemAll) {
    Settings s = freshRecord();
    LoadSettings(s, path());
    Settings expected = freshRecord();
    expected.LastImportFile = "/home/pat";
    expected.LastExportFile = "/home/pat";
    EXPECT_TRUE(s == expected);

    ASSERT_TRUE(SaveSettings(s, path()));
    EXPECT_EQ(readBytes(path()), kDefaultFile);
}

// Every member set away from its default, so that a member read from another key than the one
// it is written to shows up.
Settings everyMemberChanged() {
    Settings s;
    s.ButtonBar = 3;
    s.MainWindowLeft = -20;
    s.MainWindowTop = 35;
    s.MainWindowWidth = 1000;
    s.MainWindowHeight = 700;
    s.LastImportFile = "/data/in/list.csv";
    s.LastExportFile = "/data/out/all.txt";
    s.LastDatabase = "/data/HOME.DBF";
    for (int n = 1; n <= core::kRecentFileCount; ++n) {
        s.RecentFiles[n] = "/data/recent" + std::to_string(n) + ".dbf";
    }
    s.ShowTips = false;
    s.WindowSize = 1024;
    s.DateFormat = 7;
    s.CurrencyFormat = 2;
    s.NumericFormat = 2;
    for (int n = 1; n <= core::kFieldCount; ++n) {
        s.FieldDisplayNames[n] = "My field " + std::to_string(n);
        s.DisplayFields[n] = n % 2 == 0;
        s.FieldWidths[n] = 30 + n;
        s.FieldOrder[n] = 23 - n;
        s.ExportFields[n] = n % 3 == 0;
        s.ExportOrder[n] = n % 22 + 1;
    }
    s.ExportFirstRow = false;
    s.ExportFileType = 2;
    s.ImportSkipFirst = false;
    s.ImportFileType = 3;
    s.SortLevels = {5, 9, 0, 17};
    int32_t color = 1;
    for (core::WindowColorSet* set :
         {&s.MainWindowColors, &s.EditWindowColors, &s.SearchWindowColors, &s.ReportWindowColors,
          &s.ConfigureWindowColors}) {
        for (int32_t& c : *set)
            c = color++;
    }
    s.GridShowTitles = false;
    s.GridTitleColor = 255;
    s.GridTitleAlignment = 0;
    s.GridTitleFont = {"Times New Roman", 14, 65280, true, false, true, false};
    s.GridFont = {"Courier New", 9, 16711680, false, true, false, true};
    s.GridCellColor = 16777215;
    s.GridColumnLines = false;
    s.GridRowLines = false;
    s.GridRowIndicator = false;
    s.GridFieldEditing = true;
    s.EditFont.name = "Verdana";
    s.EditFont.bold = true;
    s.LabelFont.name = "Tahoma";
    s.LabelFont.italic = true;
    s.ButtonFont.name = "Georgia";
    s.ButtonFont.bold = true;
    s.ButtonFont.italic = true;
    s.LastReport = 8;
    s.PrintInsuranceCompany = true;
    s.PrintPolicyNumber = true;
    s.PrintStatement = true;
    s.InsuranceCompany = "Example Mutual";
    s.PolicyNumber = "PX-0042-77";
    s.YourName = "Pat Example";
    s.ReportWindowLeft = -4;
    s.ReportWindowTop = 12;
    s.ReportWindowWidth = 800;
    s.ReportWindowHeight = 600;
    return s;
}

TEST_F(SettingsFile, SavingWhatWasLoadedWritesTheSameBytes) {
    // The default file, and one where every member differs from its default.
    writeBytes(path("DEFAULT.INI"), kDefaultFile);
    const Settings changed = everyMemberChanged();
    ASSERT_TRUE(SaveSettings(changed, path("CHANGED.INI")));

    for (const char* name : {"DEFAULT.INI", "CHANGED.INI"}) {
        SCOPED_TRACE(name);
        Settings loaded;
        LoadSettings(loaded, path(name));
        ASSERT_TRUE(SaveSettings(loaded, path("AGAIN.INI")));
        EXPECT_EQ(readBytes(path("AGAIN.INI")), readBytes(path(name)));
    }
    Settings loaded;
    LoadSettings(loaded, path("CHANGED.INI"));
    EXPECT_TRUE(loaded == changed);
}

TEST_F(SettingsFile, RunTimeValuesAndTheWindowFontsSizeAndColorAreNotStored) {
    Settings s = freshRecord();
    s.ProgramDirectory = QStringLiteral("/opt/inventory");
    s.ScreenWidth = 1920;
    s.ScreenHeight = 1080;
    s.ScaleFactor = 1.6;
    s.BrowseMode = true;
    s.SavedFieldEditing = true;
    s.SearchActive = true;
    s.EditFont.size = 20;
    s.EditFont.color = 255;
    s.LastImportFile = s.LastExportFile = "/home/pat";
    ASSERT_TRUE(SaveSettings(s, path()));
    EXPECT_EQ(readBytes(path()), kDefaultFile);

    // Loading leaves them as the program set them, even where the file has such keys.
    writeBytes(path(), "[Edit Font]\nSize=8\nColor=0\nBold=Yes\n");
    Settings reloaded = s;
    LoadSettings(reloaded, path());
    EXPECT_TRUE(reloaded.EditFont.bold);
    reloaded.EditFont.bold = false;
    EXPECT_TRUE(reloaded == s);
}

struct ValueCase {
    const char* name;
    const char* section;
    const char* key;
    std::optional<std::string> value; // nullopt: the key is not in the file
    std::function<std::string(const Settings&)> member;
    std::string expected;
};

std::string width(const Settings& s) {
    return std::to_string(s.MainWindowWidth);
}
std::string tips(const Settings& s) {
    return s.ShowTips ? "true" : "false";
}

TEST_F(SettingsFile, ReadsValuesByTheRulesOfTheFile) {
    const std::string name25 = "ABCDEFGHIJKLMNOPQRSTUVWXY";
    const std::string path300(300, 'p');
    const ValueCase cases[] = {
        // Numbers: blanks, a sign, digits or "$" and hexadecimal digits, up to the first
        // character that does not belong.
        {"number_followed_by_letters", "Misc", "Main Window Width", "800px", width, "800"},
        {"number_empty_is_0", "Misc", "Main Window Width", "", width, "0"},
        {"number_missing_is_default", "Misc", "Main Window Width", std::nullopt, width, "640"},
        {"number_leading_blanks", "Misc", "Main Window Width", "   42", width, "42"},
        {"number_minus", "Misc", "Main Window Width", "-15", width, "-15"},
        {"number_plus", "Misc", "Main Window Width", "+7", width, "7"},
        {"number_blank_after_sign", "Misc", "Main Window Width", "- 5", width, "0"},
        {"number_decimal_point_ends_it", "Misc", "Main Window Width", "12.7", width, "12"},
        {"number_letters_only", "Misc", "Main Window Width", "wide", width, "0"},
        {"number_sign_only", "Misc", "Main Window Width", "-", width, "0"},
        {"hex_upper", "Misc", "Main Window Width", "$FF", width, "255"},
        {"hex_lower", "Misc", "Main Window Width", "$ff", width, "255"},
        {"hex_negative", "Misc", "Main Window Width", "-$10", width, "-16"},
        {"hex_without_digits", "Misc", "Main Window Width", "$G1", width, "0"},
        // A color written as a 32-bit pattern.
        {"hex_all_bits_is_minus_1", "Misc", "Main Window Width", "$FFFFFFFF", width, "-1"},
        // Reading stops before the digit that would overflow: 999999999 fits, 9999999999 not.
        {"number_too_large", "Misc", "Main Window Width", "99999999999", width, "999999999"},
        {"number_smallest", "Misc", "Main Window Width", "-2147483648", width, "-2147483648"},
        // "$12345678" is 305419896; a ninth digit would not fit.
        {"hex_too_large", "Misc", "Main Window Width", "$123456789", width, "305419896"},
        // Only 14 characters are read: the 14 zeros, not the 12 after them.
        {"number_cut_to_14_characters", "Misc", "Main Window Width", "0000000000000012", width,
         "0"},

        // Flags: true exactly when the text, upper-cased, is YES.
        {"flag_yes_lower", "Misc", "Show Tips", "yes", tips, "true"},
        {"flag_yes_mixed", "Misc", "Show Tips", "yEs", tips, "true"},
        {"flag_yes_with_blanks_around", "Misc", "Show Tips", "  YES  ", tips, "true"},
        {"flag_y", "Misc", "Show Tips", "Y", tips, "false"},
        {"flag_1", "Misc", "Show Tips", "1", tips, "false"},
        {"flag_true", "Misc", "Show Tips", "true", tips, "false"},
        {"flag_yes_and_more", "Misc", "Show Tips", "Yes please", tips, "false"},
        {"flag_empty_is_false", "Misc", "Show Tips", "", tips, "false"},
        {"flag_missing_is_default", "Misc", "Show Tips", std::nullopt, tips, "true"},
        {"flag_no_over_default_yes", "Display Fields", "Cost", "No",
         [](const Settings& s) { return s.DisplayFields[11] ? "true" : "false"; }, "false"},

        // Texts: cut to the member's length.
        {"display_name_of_25_cut_to_20", "Field Names", "Item", name25,
         [](const Settings& s) { return s.FieldDisplayNames[1]; }, "ABCDEFGHIJKLMNOPQRST"},
        {"display_name_missing_is_caption", "Field Names", "Serial", std::nullopt,
         [](const Settings& s) { return s.FieldDisplayNames[4]; }, "Serial Number"},
        {"display_name_key_in_other_case", "FIELD NAMES", "descriptio", "Notes",
         [](const Settings& s) { return s.FieldDisplayNames[6]; }, "Notes"},
        {"your_name_cut_to_30", "Reports", "Your Name", name25 + name25,
         [](const Settings& s) { return s.YourName; }, name25 + "ABCDE"},
        {"insurance_company_cut_to_40", "Reports", "Insurance Company", name25 + name25,
         [](const Settings& s) { return s.InsuranceCompany; }, name25 + "ABCDEFGHIJKLMNO"},
        {"policy_number_cut_to_20", "Reports", "Policy Number", name25,
         [](const Settings& s) { return s.PolicyNumber; }, "ABCDEFGHIJKLMNOPQRST"},
        {"path_cut_to_255", "Misc", "Last File 3", path300,
         [](const Settings& s) { return s.RecentFiles[3]; }, std::string(255, 'p')},
        {"last_import_missing_is_start_folder", "Misc", "Last Import File", std::nullopt,
         [](const Settings& s) { return s.LastImportFile; }, "/home/pat"},
        {"last_import_empty_stays_empty", "Misc", "Last Import File", "",
         [](const Settings& s) { return s.LastImportFile; }, ""},

        // Per-field numbers: a missing key gives the catalogue number, an empty one 0.
        {"field_order_missing", "Field Order", "Cost", std::nullopt,
         [](const Settings& s) { return std::to_string(s.FieldOrder[11]); }, "11"},
        {"field_order_empty", "Field Order", "Cost", "",
         [](const Settings& s) { return std::to_string(s.FieldOrder[11]); }, "0"},

        // Fonts: sizes and colors are numbers read through the longer buffer.
        {"font_size_with_unit", "Grid Font", "Size", "9pt",
         [](const Settings& s) { return std::to_string(s.GridFont.size); }, "9"},
        {"font_color_hex", "Grid Title Font", "Color", "$0000FF",
         [](const Settings& s) { return std::to_string(s.GridTitleFont.color); }, "255"},
        {"font_style_flag", "Grid Title Font", "Strikeout", "yes",
         [](const Settings& s) { return s.GridTitleFont.strikeout ? "true" : "false"; }, "true"},
        {"window_font_name", "Label Font", "Font Name", "DejaVu Sans",
         [](const Settings& s) { return s.LabelFont.name; }, "DejaVu Sans"},
        {"color_set_member", "Search Window Color", "Edit Text", "255",
         [](const Settings& s) {
             return std::to_string(s.SearchWindowColors[core::WindowColor::EditText]);
         },
         "255"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = std::string("[") + c.section + "]\n";
        if (c.value) file += std::string(c.key) + "=" + *c.value + "\n";
        EXPECT_EQ(c.member(loadFrom(file)), c.expected);
    }
}

TEST_F(SettingsFile, ASaveKeepsUnknownKeysSectionsAndComments) {
    const Settings s = loadFrom("; written by hand\n"
                                "[Misc]\n"
                                "Button Bar=2\n"
                                "Registration Code=ABC-123\n"
                                "; tips off for now\n"
                                "Show Tips=no\n"
                                "\n"
                                "[Printer]\n"
                                "Port=LPT1\n"
                                "[Reports]\n"
                                "Your Name=Pat\n");
    ASSERT_TRUE(SaveSettings(s, path()));
    const std::string saved = readBytes(path());

    // Known keys keep their lines (Show Tips now written as a flag is written), new Misc keys
    // follow the last key of the section, everything else is where it was.
    const std::string start = "; written by hand\n"
                              "[Misc]\n"
                              "Button Bar=2\n"
                              "Registration Code=ABC-123\n"
                              "; tips off for now\n"
                              "Show Tips=No\n"
                              "Main Window Left=0\n";
    EXPECT_EQ(saved.substr(0, start.size()), start);
    const size_t printer = saved.find("\n\n[Printer]\nPort=LPT1\n[Reports]\nYour Name=Pat\n"
                                      "Last Report=0\n");
    ASSERT_NE(printer, std::string::npos);
    EXPECT_LT(saved.find("Numeric Format=1\n"), printer);
    EXPECT_GT(saved.find("[Field Names]"), printer);
    EXPECT_EQ(saved.find("[Misc]", saved.find("[Misc]") + 1), std::string::npos);
}

TEST_F(SettingsFile, GarbageInTheFileNeitherCrashesNorSurvivesASecondSave) {
    // Bytes that make up lines, sections, keys, signs, digits and flags, and some that make
    // up nothing.
    const std::string alphabet = std::string("[]=;$-+ \t\r\n\n\n\0\xff", 16) + "0123456789AFaf" +
                                 "MiscShowTpsFldNamYESyesNo";
    std::mt19937 random(20240611);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    const std::string sectionNames[] = {"[Misc]\n", "[Field Names]\n", "[Grid Font]\n",
                                        "[Reports]\n"};
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string bytes;
        for (int part = 0; part < 30; ++part) {
            bytes += sectionNames[random() % 4];
            for (int i = 0; i < 60; ++i)
                bytes += alphabet[pick(random)];
            bytes += "\nShow Tips=" + std::string(1, alphabet[pick(random)]) + "\n";
        }
        const Settings first = loadFrom(bytes);
        ASSERT_TRUE(SaveSettings(first, path()));
        const std::string once = readBytes(path());

        Settings second = freshRecord();
        LoadSettings(second, path());
        EXPECT_TRUE(second == first);
        ASSERT_TRUE(SaveSettings(second, path()));
        EXPECT_EQ(readBytes(path()), once);
    }
}

TEST_F(SettingsFile, AFailedSaveReportsFalseAndKeepsTheOldFile) {
    // A folder where the file should be: neither read nor replaced.
    ASSERT_TRUE(QDir().mkdir(path("FOLDER.INI")));
    EXPECT_FALSE(SaveSettings(freshRecord(), path("FOLDER.INI")));
    EXPECT_TRUE(QFileInfo(path("FOLDER.INI")).isDir());

    // A file in a folder that may not be written.
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    QTemporaryDir locked;
    const QString file = locked.filePath(QStringLiteral("TALBEX.INI"));
    writeBytes(file, "[Misc]\nButton Bar=2\n");
    ASSERT_TRUE(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool saved = SaveSettings(freshRecord(), file);
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(file), "[Misc]\nButton Bar=2\n");
}

TEST(Settings, PerFieldArraysTakeCatalogueNumbers) {
    Settings s;
    EXPECT_EQ(s.FieldDisplayNames[1], "Item");
    EXPECT_EQ(s.FieldDisplayNames[22], "User Defined 4");
    EXPECT_THROW(s.FieldWidths[0], std::out_of_range);
    EXPECT_THROW(s.FieldWidths[23], std::out_of_range);
    EXPECT_THROW(s.RecentFiles[6], std::out_of_range);
}

TEST(Settings, TheFileLivesInTheSettingsFolder) {
    QTemporaryDir config;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    const bool had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString path = core::SettingsFilePath();
    if (had)
        qputenv("XDG_CONFIG_HOME", old);
    else
        qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(path, config.path() + QStringLiteral("/vantorel-inventory/TALBEX.INI"));
}

} // namespace
