#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A Windows-style initialisation file: "[Section]" lines, then "key=value" lines. The file is
// 8-bit text and stays bytes here; turning values into numbers, flags or QStrings is the
// caller's business.
//
// It behaves like the classic private-profile functions rather than like QSettings:
// - section and key names match without regard to the case of a..z; blanks and tabs around
//   names and values do not count;
// - only the first section of a name, and in it the first key of a name, is seen;
// - lines starting with ";", blank lines, lines before the first section and anything else
//   that is not a key are kept as they are;
// - a key that changes keeps its line and its spelling, a new key goes after the last key of
//   its section, a new section at the end of the file;
// - a file that does not exist reads as empty.
namespace core {

class IniFile {
public:
    // Replaces what the object holds by the file at the path. A file that does not exist reads
    // as empty and counts as read. Returns false when the file is there but cannot be read (a
    // folder, no permission); the object is then empty, and the caller should not save over a
    // file it could not read.
    bool load(const QString& path);

    // Writes everything to the path: a new file beside the old one, flushed to disk and renamed
    // over it, so that a failure at any point leaves the old file as it was. Returns whether the
    // new file is in place. The new file keeps the old one's permissions (a first file is
    // readable by its owner only); a symbolic link is followed and stays a link.
    bool save(const QString& path) const;

    // The object holding a file's bytes, and the bytes a save writes. Line ends are kept as they
    // were ("\n" or "\r\n"); new lines follow the first line end of the file ("\n" if none).
    static IniFile fromBytes(std::string_view bytes);
    std::string toBytes() const;

    // The value of the key in the section, without the blanks around it; nullopt when the
    // section or the key is missing. A key written as "Key=" is present with an empty value.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Sets the key, creating the section and the key when missing. Setting the value a key
    // already has leaves its line untouched. A value is one line: line breaks and NUL bytes in
    // it are written as blanks, so no value can make up keys or sections of its own.
    // Throws std::invalid_argument for a section or key name that a file cannot hold (empty,
    // a line break, "]" in a section name, "=" in a key name, blanks around it, or a key that
    // would read as a comment or a section).
    void setValue(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::string text; // without its line end
        std::string end;  // "\n", "\r\n", or empty for a last line without one
    };
    struct SectionRange {
        size_t header; // index of the "[Section]" line
        size_t end;    // index of the next section's header, or the line count
    };

    std::optional<SectionRange> findSection(std::string_view section) const;
    std::optional<size_t> findKey(const SectionRange& range, std::string_view key) const;
    void insertLine(size_t position, std::string text);

    std::vector<Line> lines_;
    std::string newline_ = "\n";
};

} // namespace core
