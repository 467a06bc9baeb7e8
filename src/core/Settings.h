#pragma once

#include "core/FieldCatalogue.h"
#include "core/SortKey.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The settings record: every user preference of the program, read whole from TALBEX.INI at
// start-up and written whole back at shutdown. Windows read and change the members directly.
//
// Texts and paths are kept as the bytes the file holds, so that a value the program did not
// change is written back exactly as it was read; they are turned into QStrings where they meet
// a window or a file name.
namespace core {

class IniFile;

// An array numbered from 1, like the things it holds: catalogue numbers 1..22, recent files
// 1..5. Any other number throws std::out_of_range.
template <typename T, int Count> class NumberedArray {
public:
    static constexpr int first = 1;
    static constexpr int last = Count;

    T& operator[](int number) { return items_[position(number)]; }
    const T& operator[](int number) const { return items_[position(number)]; }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    bool operator==(const NumberedArray&) const = default;

private:
    static size_t position(int number) {
        if (number < first || number > last) {
            throw std::out_of_range("Number out of range: " + std::to_string(number));
        }
        return static_cast<size_t>(number - first);
    }

    std::array<T, Count> items_{};
};

// One value per field, indexed by catalogue number 1..22.
template <typename T> using FieldArray = NumberedArray<T, kFieldCount>;

// The colors of a window color set, in the order the file and the color window know them.
namespace WindowColor {
enum Index : size_t {
    MainBackground,
    MajorTitle,
    MinorTitle,
    EditBackground,
    EditText,
    ComboBackground,
    ComboText,
    ListBoxBackground,
    ListBoxText,
    RadioBackground,
    RadioText,
    CheckBackground,
    CheckText,
    Count
};
} // namespace WindowColor

// 13 colors, each red in the low byte, then green, then blue. The color window copies a set
// as one block of 52 bytes.
using WindowColorSet = std::array<int32_t, WindowColor::Count>;
static_assert(sizeof(WindowColorSet) == 52);

// Light grey backgrounds for the window, radio buttons and check boxes, white for the boxes one
// types or picks in, black text.
inline constexpr WindowColorSet kDefaultWindowColors = {
    12632256, 0, 0, 16777215, 0, 16777215, 0, 16777215, 0, 12632256, 0, 12632256, 0};

// A font as the settings keep it. A plain value rather than a QFont: it holds the name as the
// file's bytes, compares with ==, and needs no running application; the windows make their
// QFont from it. For the edit, label and button fonts only the name, bold and italic are
// stored; their size and color stay as the program set them.
struct FontSpec {
    std::string name = "Arial";
    int32_t size = 10; // points
    int32_t color = 0; // red in the low byte, then green, then blue
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    bool operator==(const FontSpec&) const = default;
};

// Longest texts the record holds, in bytes. Longer values read from the file are cut.
inline constexpr size_t kPathLength = 255;
inline constexpr size_t kDisplayNameLength = 20;
inline constexpr size_t kInsuranceCompanyLength = 40;
inline constexpr size_t kPolicyNumberLength = 20;
inline constexpr size_t kYourNameLength = 30;

constexpr int kRecentFileCount = 5;

// Members in the order they are read and written; each default is the value a missing key
// gives (LastImportFile and LastExportFile default to StartDirectory when loading).
struct Settings {
    Settings();

    // [Misc]
    int32_t ButtonBar = 1; // 1 speed buttons, 2 lettered buttons, 3 none
    int32_t MainWindowLeft = 0;
    int32_t MainWindowTop = 0;
    int32_t MainWindowWidth = 640;
    int32_t MainWindowHeight = 480;
    std::string LastImportFile;
    std::string LastExportFile;
    std::string LastDatabase;
    NumberedArray<std::string, kRecentFileCount> RecentFiles;
    bool ShowTips = true;
    int32_t WindowSize = 640; // 640, 800, 1024 or 1280
    int32_t DateFormat = 1;   // 1..12
    int32_t CurrencyFormat = 1;
    int32_t NumericFormat = 1;

    // One section each, keyed by catalogue name.
    FieldArray<std::string> FieldDisplayNames; // default captions
    FieldArray<bool> DisplayFields;            // all shown
    FieldArray<int32_t> FieldWidths;           // 15 each
    FieldArray<int32_t> FieldOrder;            // catalogue order
    FieldArray<bool> ExportFields;             // all exported
    FieldArray<int32_t> ExportOrder;           // catalogue order

    // [Export], [Import]
    bool ExportFirstRow = true;
    int32_t ExportFileType = 1;
    bool ImportSkipFirst = true;
    int32_t ImportFileType = 1;

    // [Sort Order]: SortLevels[0] is the primary level; 0 none, else a catalogue number.
    core::SortLevels SortLevels = {12, 0, 0, 0};

    WindowColorSet MainWindowColors = kDefaultWindowColors;
    WindowColorSet EditWindowColors = kDefaultWindowColors;
    WindowColorSet SearchWindowColors = kDefaultWindowColors;
    WindowColorSet ReportWindowColors = kDefaultWindowColors;
    WindowColorSet ConfigureWindowColors = kDefaultWindowColors;

    // [Grid Title], [Grid Title Font], [Grid Font], [Grid Options]
    bool GridShowTitles = true;
    int32_t GridTitleColor = 8553090; // grey 130
    int32_t GridTitleAlignment = 2;
    FontSpec GridTitleFont{.name = "Arial", .size = 12};
    FontSpec GridFont{.name = "Arial", .size = 10};
    int32_t GridCellColor = 12632256; // grey 192
    bool GridColumnLines = true;
    bool GridRowLines = true;
    bool GridRowIndicator = true;
    bool GridFieldEditing = false;

    // [Edit Font], [Label Font], [Button Font]
    FontSpec EditFont;
    FontSpec LabelFont;
    FontSpec ButtonFont;

    // [Reports]
    int32_t LastReport = 0;
    bool PrintInsuranceCompany = false;
    bool PrintPolicyNumber = false;
    bool PrintStatement = false;
    std::string InsuranceCompany;
    std::string PolicyNumber;
    std::string YourName;
    int32_t ReportWindowLeft = 0;
    int32_t ReportWindowTop = 0;
    int32_t ReportWindowWidth = 640;
    int32_t ReportWindowHeight = 480;

    // Set by the main window for the run; never stored.
    QString ProgramDirectory; // no trailing "/"
    QString StartDirectory;   // the working folder at start-up
    int32_t ScreenWidth = 0;
    int32_t ScreenHeight = 0;
    double ScaleFactor = 1.0; // 1.0, 1.25, 1.6 or 2.0
    bool BrowseMode = false;
    bool SavedFieldEditing = false;
    bool SearchActive = false;

    bool operator==(const Settings&) const = default;
};

// Reads every stored member from the file at the path; a missing file, section or key gives
// the member its default, a key present but empty gives 0 or false. Run-time values and the
// size and color of the edit, label and button fonts are left as they are. StartDirectory must
// be set first.
void LoadSettings(Settings& settings, const QString& iniPath);

// Writes every stored member to the file at the path, keeping everything else in the file
// (keys of other versions, comments) in place. Returns whether the file was written; on false
// the file is as it was. The program does not tell the user.
bool SaveSettings(const Settings& settings, const QString& iniPath);

// One window color set as the 13 keys of the section ("Main Window Color", ...).
void LoadColorSet(const IniFile& ini, std::string_view section, WindowColorSet& set);
void SaveColorSet(const WindowColorSet& set, std::string_view section, IniFile& ini);

// TALBEX.INI in the settings folder (created when missing; throws std::runtime_error when that
// fails).
QString SettingsFilePath();

} // namespace core
