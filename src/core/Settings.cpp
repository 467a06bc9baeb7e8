#include "core/Settings.h"

#include "core/DataFolders.h"
#include "core/IniFile.h"
#include "core/InventoryFile.h"
#include "core/TextFormat.h"

#include <optional>

namespace core {
namespace {

// How much of a value is looked at, as the profile functions' buffers did. Paths get their full
// length, so that every path the record can hold reads back whole.
constexpr size_t kNumberBuffer = 14; // numbers and flags
constexpr size_t kTextBuffer = 249;  // report texts
constexpr size_t kNameBuffer = 149;  // display names, font names, font sizes and colors
constexpr size_t kPathBuffer = kPathLength;

constexpr std::array<std::string_view, WindowColor::Count> kColorKeys = {
    "Main Background", "Major Title",      "Minor Title", "Edit Background",
    "Edit Text",       "Combo Background", "Combo Text",  "List Box Background",
    "List Box Text",   "Radio Background", "Radio Text",  "Check Background",
    "Check Text"};

constexpr std::array<std::string_view, 5> kColorSections = {
    "Main Window Color", "Edit Window Color", "Search Window Color", "Report Window Color",
    "Configure Window Color"};

constexpr std::array<std::string_view, 4> kSortKeys = {"Primary Sort", "Secondary Sort",
                                                       "Third Level Sort", "Fourth Level Sort"};

std::string cut(std::string_view text, size_t length) {
    return std::string(text.substr(0, length));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Leading blanks, an optional sign, then decimal digits or "$" and hexadecimal digits. Reading
// stops at the first character that is not part of the number, and also before a digit that
// would no longer fit in 32 bits; what was read so far counts, nothing gives 0. Hexadecimal is
// a bit pattern ("$FFFFFFFF" is -1), as colors are often written.
int32_t parseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    uint32_t magnitude = 0;
    if (i < text.size() && text[i] == '$') {
        for (++i; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
            if (magnitude > 0x0FFFFFFFu) break;
            magnitude = magnitude * 16 + static_cast<uint32_t>(hexDigit(text[i]));
        }
    } else {
        const uint32_t limit = negative ? 2147483648u : 2147483647u;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            const auto digit = static_cast<uint32_t>(text[i] - '0');
            if (magnitude > (limit - digit) / 10) break;
            magnitude = magnitude * 10 + digit;
        }
    }
    // Unsigned arithmetic wraps; the conversion to int32_t keeps the bit pattern.
    return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

std::string formatNumber(int32_t number) {
    return FormatFixed(number, 1, 0);
}

const char* formatFlag(bool flag) {
    return flag ? "Yes" : "No";
}

// Reads values with the rules of the settings file: a missing key gives the default, a present
// one is cut to its buffer and then converted.
class Reader {
public:
    explicit Reader(const IniFile& ini) : ini_(ini) {}

    int32_t number(std::string_view section, std::string_view key, int32_t fallback,
                   size_t buffer = kNumberBuffer) const {
        const std::optional<std::string> value = ini_.value(section, key);
        return value ? parseNumber(cut(*value, buffer)) : fallback;
    }

    bool flag(std::string_view section, std::string_view key, bool fallback) const {
        const std::optional<std::string> value = ini_.value(section, key);
        return value ? UpperAscii(cut(*value, kNumberBuffer)) == "YES" : fallback;
    }

    std::string text(std::string_view section, std::string_view key, std::string_view fallback,
                     size_t buffer, size_t length) const {
        const std::optional<std::string> value = ini_.value(section, key);
        return cut(cut(value ? *value : fallback, buffer), length);
    }

private:
    const IniFile& ini_;
};

class Writer {
public:
    explicit Writer(IniFile& ini) : ini_(ini) {}

    void number(std::string_view section, std::string_view key, int32_t value) {
        ini_.setValue(section, key, formatNumber(value));
    }
    void flag(std::string_view section, std::string_view key, bool value) {
        ini_.setValue(section, key, formatFlag(value));
    }
    void text(std::string_view section, std::string_view key, std::string_view value,
              size_t length) {
        ini_.setValue(section, key, value.substr(0, length));
    }

private:
    IniFile& ini_;
};

std::string recentFileKey(int number) {
    return "Last File " + std::to_string(number);
}

// The grid fonts keep everything; the window fonts only their name, bold and italic.
enum class FontKeys { All, NameAndStyle };

void loadFont(const Reader& in, std::string_view section, FontKeys keys, FontSpec& font) {
    const FontSpec fallback = font;
    if (keys == FontKeys::All) {
        font.color = in.number(section, "Color", fallback.color, kNameBuffer);
    }
    font.name = in.text(section, "Font Name", fallback.name, kNameBuffer, kNameBuffer);
    if (keys == FontKeys::All) font.size = in.number(section, "Size", fallback.size, kNameBuffer);
    font.bold = in.flag(section, "Bold", false);
    font.italic = in.flag(section, "Italic", false);
    if (keys == FontKeys::All) {
        font.underline = in.flag(section, "Underline", false);
        font.strikeout = in.flag(section, "Strikeout", false);
    }
}

void saveFont(Writer& out, std::string_view section, FontKeys keys, const FontSpec& font) {
    if (keys == FontKeys::All) out.number(section, "Color", font.color);
    out.text(section, "Font Name", font.name, kNameBuffer);
    if (keys == FontKeys::All) out.number(section, "Size", font.size);
    out.flag(section, "Bold", font.bold);
    out.flag(section, "Italic", font.italic);
    if (keys == FontKeys::All) {
        out.flag(section, "Underline", font.underline);
        out.flag(section, "Strikeout", font.strikeout);
    }
}

std::array<WindowColorSet*, 5> colorSets(Settings& s) {
    return {&s.MainWindowColors, &s.EditWindowColors, &s.SearchWindowColors, &s.ReportWindowColors,
            &s.ConfigureWindowColors};
}

std::array<const WindowColorSet*, 5> colorSets(const Settings& s) {
    return {&s.MainWindowColors, &s.EditWindowColors, &s.SearchWindowColors, &s.ReportWindowColors,
            &s.ConfigureWindowColors};
}

} // namespace

Settings::Settings() {
    for (int n = 1; n <= kFieldCount; ++n) {
        FieldDisplayNames[n] = std::string(DefaultCaption(n));
        DisplayFields[n] = true;
        FieldWidths[n] = 15;
        FieldOrder[n] = n;
        ExportFields[n] = true;
        ExportOrder[n] = n;
    }
}

void LoadColorSet(const IniFile& ini, std::string_view section, WindowColorSet& set) {
    const Reader in(ini);
    for (size_t i = 0; i < set.size(); ++i) {
        set[i] = in.number(section, kColorKeys[i], kDefaultWindowColors[i]);
    }
}

void SaveColorSet(const WindowColorSet& set, std::string_view section, IniFile& ini) {
    Writer out(ini);
    for (size_t i = 0; i < set.size(); ++i)
        out.number(section, kColorKeys[i], set[i]);
}

void LoadSettings(Settings& s, const QString& iniPath) {
    IniFile ini;
    // A file that cannot be read gives the defaults, as a missing one does.
    ini.load(iniPath);
    const Reader in(ini);
    const Settings d;
    const std::string startDirectory = toNativePath(s.StartDirectory);

    const std::string_view misc = "Misc";
    s.ButtonBar = in.number(misc, "Button Bar", d.ButtonBar);
    s.MainWindowLeft = in.number(misc, "Main Window Left", d.MainWindowLeft);
    s.MainWindowTop = in.number(misc, "Main Window Top", d.MainWindowTop);
    s.MainWindowWidth = in.number(misc, "Main Window Width", d.MainWindowWidth);
    s.MainWindowHeight = in.number(misc, "Main Window Height", d.MainWindowHeight);
    s.LastImportFile = in.text(misc, "Last Import File", startDirectory, kPathBuffer, kPathLength);
    s.LastExportFile = in.text(misc, "Last Export File", startDirectory, kPathBuffer, kPathLength);
    s.LastDatabase = in.text(misc, "Last Database", d.LastDatabase, kPathBuffer, kPathLength);
    for (int n = 1; n <= kRecentFileCount; ++n) {
        s.RecentFiles[n] = in.text(misc, recentFileKey(n), {}, kPathBuffer, kPathLength);
    }
    s.ShowTips = in.flag(misc, "Show Tips", d.ShowTips);
    s.WindowSize = in.number(misc, "Window Size", d.WindowSize);
    s.DateFormat = in.number(misc, "Date Format", d.DateFormat);
    s.CurrencyFormat = in.number(misc, "Currency Format", d.CurrencyFormat);
    s.NumericFormat = in.number(misc, "Numeric Format", d.NumericFormat);

    for (int n = 1; n <= kFieldCount; ++n) {
        s.FieldDisplayNames[n] = in.text("Field Names", CatalogueName(n), d.FieldDisplayNames[n],
                                         kNameBuffer, kDisplayNameLength);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        s.DisplayFields[n] = in.flag("Display Fields", CatalogueName(n), d.DisplayFields[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        s.FieldWidths[n] = in.number("Field Width", CatalogueName(n), d.FieldWidths[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        s.FieldOrder[n] = in.number("Field Order", CatalogueName(n), d.FieldOrder[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        s.ExportFields[n] = in.flag("Export Fields", CatalogueName(n), d.ExportFields[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        s.ExportOrder[n] = in.number("Export Order", CatalogueName(n), d.ExportOrder[n]);
    }

    s.ExportFirstRow = in.flag("Export", "First Row", d.ExportFirstRow);
    s.ExportFileType = in.number("Export", "File Type", d.ExportFileType);
    s.ImportSkipFirst = in.flag("Import", "Skip First", d.ImportSkipFirst);
    s.ImportFileType = in.number("Import", "File Type", d.ImportFileType);

    for (size_t level = 0; level < kSortKeys.size(); ++level) {
        s.SortLevels[level] = in.number("Sort Order", kSortKeys[level], d.SortLevels[level]);
    }

    const auto sets = colorSets(s);
    for (size_t i = 0; i < sets.size(); ++i)
        LoadColorSet(ini, kColorSections[i], *sets[i]);

    s.GridShowTitles = in.flag("Grid Title", "Show Titles", d.GridShowTitles);
    s.GridTitleColor = in.number("Grid Title", "Background Color", d.GridTitleColor);
    s.GridTitleAlignment = in.number("Grid Title", "Alignment", d.GridTitleAlignment);
    s.GridTitleFont = d.GridTitleFont;
    loadFont(in, "Grid Title Font", FontKeys::All, s.GridTitleFont);
    s.GridFont = d.GridFont;
    loadFont(in, "Grid Font", FontKeys::All, s.GridFont);

    s.GridCellColor = in.number("Grid Options", "Cell Color", d.GridCellColor);
    s.GridColumnLines = in.flag("Grid Options", "Column Lines", d.GridColumnLines);
    s.GridRowLines = in.flag("Grid Options", "Row Lines", d.GridRowLines);
    s.GridRowIndicator = in.flag("Grid Options", "Row Indicator", d.GridRowIndicator);
    s.GridFieldEditing = in.flag("Grid Options", "Field Editing", d.GridFieldEditing);

    // Size and color of these three are not stored: they keep what the record holds.
    s.EditFont.name = d.EditFont.name;
    loadFont(in, "Edit Font", FontKeys::NameAndStyle, s.EditFont);
    s.LabelFont.name = d.LabelFont.name;
    loadFont(in, "Label Font", FontKeys::NameAndStyle, s.LabelFont);
    s.ButtonFont.name = d.ButtonFont.name;
    loadFont(in, "Button Font", FontKeys::NameAndStyle, s.ButtonFont);

    const std::string_view reports = "Reports";
    s.LastReport = in.number(reports, "Last Report", d.LastReport);
    s.PrintInsuranceCompany = in.flag(reports, "Print Insurance Company", d.PrintInsuranceCompany);
    s.PrintPolicyNumber = in.flag(reports, "Print Policy Number", d.PrintPolicyNumber);
    s.PrintStatement = in.flag(reports, "Print Statement", d.PrintStatement);
    s.InsuranceCompany = in.text(reports, "Insurance Company", d.InsuranceCompany, kTextBuffer,
                                 kInsuranceCompanyLength);
    s.PolicyNumber =
        in.text(reports, "Policy Number", d.PolicyNumber, kTextBuffer, kPolicyNumberLength);
    s.YourName = in.text(reports, "Your Name", d.YourName, kTextBuffer, kYourNameLength);
    s.ReportWindowLeft = in.number(reports, "Report Viewing Window Left", d.ReportWindowLeft);
    s.ReportWindowTop = in.number(reports, "Report Viewing Window Top", d.ReportWindowTop);
    s.ReportWindowWidth = in.number(reports, "Report Viewing Window Width", d.ReportWindowWidth);
    s.ReportWindowHeight = in.number(reports, "Report Viewing Window Height", d.ReportWindowHeight);
}

bool SaveSettings(const Settings& s, const QString& iniPath) {
    IniFile ini;
    // Writing over a file we could not read would throw away whatever else it holds.
    if (!ini.load(iniPath)) return false;
    Writer out(ini);

    const std::string_view misc = "Misc";
    out.number(misc, "Button Bar", s.ButtonBar);
    out.number(misc, "Main Window Left", s.MainWindowLeft);
    out.number(misc, "Main Window Top", s.MainWindowTop);
    out.number(misc, "Main Window Width", s.MainWindowWidth);
    out.number(misc, "Main Window Height", s.MainWindowHeight);
    out.text(misc, "Last Import File", s.LastImportFile, kPathLength);
    out.text(misc, "Last Export File", s.LastExportFile, kPathLength);
    out.text(misc, "Last Database", s.LastDatabase, kPathLength);
    for (int n = 1; n <= kRecentFileCount; ++n) {
        out.text(misc, recentFileKey(n), s.RecentFiles[n], kPathLength);
    }
    out.flag(misc, "Show Tips", s.ShowTips);
    out.number(misc, "Window Size", s.WindowSize);
    out.number(misc, "Date Format", s.DateFormat);
    out.number(misc, "Currency Format", s.CurrencyFormat);
    out.number(misc, "Numeric Format", s.NumericFormat);

    for (int n = 1; n <= kFieldCount; ++n) {
        out.text("Field Names", CatalogueName(n), s.FieldDisplayNames[n], kDisplayNameLength);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        out.flag("Display Fields", CatalogueName(n), s.DisplayFields[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        out.number("Field Width", CatalogueName(n), s.FieldWidths[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        out.number("Field Order", CatalogueName(n), s.FieldOrder[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        out.flag("Export Fields", CatalogueName(n), s.ExportFields[n]);
    }
    for (int n = 1; n <= kFieldCount; ++n) {
        out.number("Export Order", CatalogueName(n), s.ExportOrder[n]);
    }

    out.flag("Export", "First Row", s.ExportFirstRow);
    out.number("Export", "File Type", s.ExportFileType);
    out.flag("Import", "Skip First", s.ImportSkipFirst);
    out.number("Import", "File Type", s.ImportFileType);

    for (size_t level = 0; level < kSortKeys.size(); ++level) {
        out.number("Sort Order", kSortKeys[level], s.SortLevels[level]);
    }

    const auto sets = colorSets(s);
    for (size_t i = 0; i < sets.size(); ++i)
        SaveColorSet(*sets[i], kColorSections[i], ini);

    out.flag("Grid Title", "Show Titles", s.GridShowTitles);
    out.number("Grid Title", "Background Color", s.GridTitleColor);
    out.number("Grid Title", "Alignment", s.GridTitleAlignment);
    saveFont(out, "Grid Title Font", FontKeys::All, s.GridTitleFont);
    saveFont(out, "Grid Font", FontKeys::All, s.GridFont);

    out.number("Grid Options", "Cell Color", s.GridCellColor);
    out.flag("Grid Options", "Column Lines", s.GridColumnLines);
    out.flag("Grid Options", "Row Lines", s.GridRowLines);
    out.flag("Grid Options", "Row Indicator", s.GridRowIndicator);
    out.flag("Grid Options", "Field Editing", s.GridFieldEditing);

    saveFont(out, "Edit Font", FontKeys::NameAndStyle, s.EditFont);
    saveFont(out, "Label Font", FontKeys::NameAndStyle, s.LabelFont);
    saveFont(out, "Button Font", FontKeys::NameAndStyle, s.ButtonFont);

    const std::string_view reports = "Reports";
    out.number(reports, "Last Report", s.LastReport);
    out.flag(reports, "Print Insurance Company", s.PrintInsuranceCompany);
    out.flag(reports, "Print Policy Number", s.PrintPolicyNumber);
    out.flag(reports, "Print Statement", s.PrintStatement);
    out.text(reports, "Insurance Company", s.InsuranceCompany, kInsuranceCompanyLength);
    out.text(reports, "Policy Number", s.PolicyNumber, kPolicyNumberLength);
    out.text(reports, "Your Name", s.YourName, kYourNameLength);
    out.number(reports, "Report Viewing Window Left", s.ReportWindowLeft);
    out.number(reports, "Report Viewing Window Top", s.ReportWindowTop);
    out.number(reports, "Report Viewing Window Width", s.ReportWindowWidth);
    out.number(reports, "Report Viewing Window Height", s.ReportWindowHeight);

    return ini.save(iniPath);
}

QString SettingsFilePath() {
    return SettingsDirectory() + QStringLiteral("TALBEX.INI");
}

} // namespace core
