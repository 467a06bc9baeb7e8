#include "core/IniFile.h"

#include "dbase/File.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace core {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

// What one line of the file is. Names and values point into the line's text.
struct ParsedLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;
    std::string_view value;
    size_t valueStart = 0; // offset of the value's first character in the line (Key only)
};

ParsedLine parseLine(std::string_view text) {
    const std::string_view content = trimmed(text);
    if (content.empty() || content.front() == ';') return {};
    if (content.front() == '[') {
        const size_t close = content.find(']');
        if (close == std::string_view::npos) return {};
        return {ParsedLine::Section, trimmed(content.substr(1, close - 1)), {}, 0};
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return {};
    const std::string_view name = trimmed(text.substr(0, equals));
    if (name.empty()) return {};
    size_t valueStart = text.find_first_not_of(kBlanks, equals + 1);
    if (valueStart == std::string_view::npos) valueStart = text.size();
    return {ParsedLine::Key, name, trimmed(text.substr(equals + 1)), valueStart};
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool isPaddedOrEmpty(std::string_view name) {
    return name.empty() || trimmed(name) != name;
}

void checkNames(std::string_view section, std::string_view key) {
    if (isPaddedOrEmpty(section) || hasLineBreak(section) ||
        section.find(']') != std::string_view::npos) {
        throw std::invalid_argument("Not a section name for a settings file: " +
                                    std::string(section));
    }
    if (isPaddedOrEmpty(key) || hasLineBreak(key) || key.find('=') != std::string_view::npos ||
        key.front() == ';' || key.front() == '[') {
        throw std::invalid_argument("Not a key name for a settings file: " + std::string(key));
    }
}

} // namespace

bool IniFile::load(const QString& path) {
    *this = IniFile();
    QFile file(path);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    *this = fromBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return true;
}

bool IniFile::save(const QString& path) const {
    // The steps are spelt out rather than left to QSaveFile, which renames its new file over
    // the old one, and reports success, even when its last flush failed: a full disk would
    // leave a cut-off settings file.
    const QFileInfo link(path);
    // Through a symbolic link (settings kept with other dotfiles) the file it points to is
    // replaced, not the link.
    const QFileInfo target(!link.isSymLink() ? link.absoluteFilePath()
                           : link.exists()   ? link.canonicalFilePath()
                                             : link.symLinkTarget());
    if (target.isDir()) return false;

    QTemporaryFile file(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!file.open()) return false;
    if (target.exists()) file.setPermissions(target.permissions());
    const std::string bytes = toBytes();
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size || !file.flush() || ::fsync(file.handle()) != 0) {
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) return false;

    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    file.setAutoRemove(false);
    if (::rename(from.constData(), to.constData()) != 0) {
        QFile::remove(file.fileName());
        return false;
    }
    dbase::syncFolder(QFile::encodeName(target.absolutePath()).toStdString());
    return true;
}

IniFile IniFile::fromBytes(std::string_view bytes) {
    IniFile ini;
    bool newlineKnown = false;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos) {
            ini.lines_.push_back({std::string(bytes.substr(start)), {}});
            break;
        }
        const bool crlf = lf > start && bytes[lf - 1] == '\r';
        const size_t textEnd = crlf ? lf - 1 : lf;
        ini.lines_.push_back({std::string(bytes.substr(start, textEnd - start)),
                              crlf ? std::string("\r\n") : std::string("\n")});
        if (!newlineKnown) {
            ini.newline_ = ini.lines_.back().end;
            newlineKnown = true;
        }
        start = lf + 1;
    }
    return ini;
}

std::string IniFile::toBytes() const {
    std::string bytes;
    for (const Line& line : lines_) {
        bytes += line.text;
        bytes += line.end;
    }
    return bytes;
}

std::optional<IniFile::SectionRange> IniFile::findSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine header = parseLine(lines_[i].text);
        if (header.kind != ParsedLine::Section || !sameName(header.name, section)) continue;
        size_t end = i + 1;
        while (end < lines_.size() && parseLine(lines_[end].text).kind != ParsedLine::Section) {
            ++end;
        }
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> IniFile::findKey(const SectionRange& range, std::string_view key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const ParsedLine line = parseLine(lines_[i].text);
        if (line.kind == ParsedLine::Key && sameName(line.name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::optional<SectionRange> range = findSection(section);
    if (!range) return std::nullopt;
    const std::optional<size_t> index = findKey(*range, key);
    if (!index) return std::nullopt;
    return std::string(parseLine(lines_[*index].text).value);
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    checkNames(section, key);
    std::string oneLine(value);
    for (char& c : oneLine) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }

    const std::optional<SectionRange> range = findSection(section);
    if (!range) {
        // A blank line between sections, as people write them.
        if (!lines_.empty() && !trimmed(lines_.back().text).empty()) {
            insertLine(lines_.size(), {});
        }
        insertLine(lines_.size(), "[" + std::string(section) + "]");
        insertLine(lines_.size(), std::string(key) + "=" + oneLine);
        return;
    }

    if (const std::optional<size_t> index = findKey(*range, key)) {
        std::string& text = lines_[*index].text;
        const ParsedLine line = parseLine(text);
        if (line.value == oneLine) return;
        // Keep the key as it was spelt and spaced; only the value changes.
        text = text.substr(0, line.valueStart) + oneLine;
        return;
    }

    size_t after = range->header;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        if (parseLine(lines_[i].text).kind == ParsedLine::Key) after = i;
    }
    insertLine(after + 1, std::string(key) + "=" + oneLine);
}

void IniFile::insertLine(size_t position, std::string text) {
    // Only the last line of a file can be without a line end; it gets one when a line follows.
    if (position > 0 && lines_[position - 1].end.empty()) lines_[position - 1].end = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position),
                  Line{std::move(text), newline_});
}

} // namespace core
