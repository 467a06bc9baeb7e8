#pragma once

#include <QString>

#include <array>
#include <string>
#include <vector>

// The five pick lists: Brand, Location, Purchased From, Category and Owner. Each is held twice,
// as the edit window's combo list (the master, written to the file) and as the main window's
// in-grid combo list, and on disk as a .LST file in the program's folder. Entries are 8-bit
// text (Windows-1252), unsorted, in the order read or added.
namespace editing {

// The lists in their fixed order; the number is the list code of the maintenance window minus 1.
enum class PickList { Brand, Location, PurchasedFrom, Category, Owner };
constexpr int kPickListCount = 5;

using Entries = std::vector<std::string>;

class PickLists {
public:
    // folder: the program's folder (with or without a trailing "/").
    explicit PickLists(QString folder);

    // The file of a list: folder + BRAND.LST, LOCATION.LST, BOUGHT.LST, CATEGORY.LST, OWNER.LST.
    QString filePath(PickList list) const;
    // The catalogue number of the list's field (2, 5, 7, 12, 17).
    static int catalogueNumber(PickList list);

    const Entries& edit(PickList list) const;
    const Entries& grid(PickList list) const;

    // Reads the file into both copies (a missing or unreadable file gives empty lists, silently).
    void LoadList(PickList list);
    void LoadAllList();
    // Reads the file into the grid's copy alone (the main window, each time it is shown).
    void LoadGridList(PickList list);
    // Writes the edit window's copy to the file (nothing written and nothing said when the
    // file cannot be made). Returns whether it was written.
    bool SaveList(PickList list) const;
    void SaveAllLists() const;

    // Appends the text, without leading and trailing blanks, to the edit copy when it is not
    // empty and not listed there exactly.
    void AddToList(PickList list, const std::string& text);
    // The same for the grid's copy with a text already stripped of blanks.
    void AddToListTwwDB(PickList list, const std::string& text);
    // The maintenance window's OK: both copies become these entries.
    void Replace(PickList list, Entries entries);

private:
    QString folder_;
    std::array<Entries, kPickListCount> edit_;
    std::array<Entries, kPickListCount> grid_;
};

// Reads a .LST file as its entries: lines up to their carriage return (or line feed), cut to
// 255 characters, character 26 ends the file, lines that are empty or only blanks skipped,
// the rest kept exactly as read.
Entries ReadListFile(const QString& path);
// Writes entries one per line, each ended by carriage return and line feed; false when the
// file cannot be written (an existing file is then left as it was).
bool WriteListFile(const QString& path, const Entries& entries);

} // namespace editing
