#include "editing/PickLists.h"

#include "core/FieldCatalogue.h"
#include "core/InventoryFile.h"
#include "core/TextFormat.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace editing {

namespace {

constexpr size_t kLineLength = 255;
constexpr char kEndOfFile = 26;

size_t index(PickList list) { return static_cast<size_t>(list); }

} // namespace

PickLists::PickLists(QString folder) : folder_(std::move(folder)) {
    if (!folder_.isEmpty() && !folder_.endsWith(QLatin1Char('/'))) folder_ += QLatin1Char('/');
}

QString PickLists::filePath(PickList list) const {
    return folder_ + QString::fromLatin1(core::PickListFile(static_cast<int>(list) + 1));
}

int PickLists::catalogueNumber(PickList list) { return core::PickListField(static_cast<int>(list) + 1); }

const Entries& PickLists::edit(PickList list) const { return edit_[index(list)]; }
const Entries& PickLists::grid(PickList list) const { return grid_[index(list)]; }

void PickLists::LoadList(PickList list) {
    edit_[index(list)] = ReadListFile(filePath(list));
    grid_[index(list)] = edit_[index(list)];
}

void PickLists::LoadAllList() {
    for (int i = 0; i < kPickListCount; ++i) LoadList(static_cast<PickList>(i));
}

void PickLists::LoadGridList(PickList list) { grid_[index(list)] = ReadListFile(filePath(list)); }

bool PickLists::SaveList(PickList list) const { return WriteListFile(filePath(list), edit_[index(list)]); }

void PickLists::SaveAllLists() const {
    for (int i = 0; i < kPickListCount; ++i) SaveList(static_cast<PickList>(i));
}

void PickLists::AddToList(PickList list, const std::string& text) {
    const std::string value = core::TrimBlanks(text);
    Entries& entries = edit_[index(list)];
    if (!value.empty() && std::find(entries.begin(), entries.end(), value) == entries.end())
        entries.push_back(value);
}

void PickLists::AddToListTwwDB(PickList list, const std::string& text) {
    Entries& entries = grid_[index(list)];
    if (!text.empty() && std::find(entries.begin(), entries.end(), text) == entries.end())
        entries.push_back(text);
}

void PickLists::Replace(PickList list, Entries entries) {
    grid_[index(list)] = entries;
    edit_[index(list)] = std::move(entries);
}

Entries ReadListFile(const QString& path) {
    Entries entries;
    std::ifstream in(core::toNativePath(path), std::ios::binary);
    if (!in) return entries;
    std::string line;
    bool ended = false;
    auto take = [&] {
        if (line.size() > kLineLength) line.resize(kLineLength);
        if (!core::TrimBlanks(line).empty()) entries.push_back(line);
        line.clear();
    };
    char c;
    while (!ended && in.get(c)) {
        if (c == kEndOfFile) {
            ended = true;
        } else if (c == '\r' || c == '\n') {
            // A line ends at its carriage return; the line feed after it (or a lone one, as
            // other systems write) ends nothing more.
            if (c == '\r' && in.peek() == '\n') in.get(c);
            take();
        } else {
            line.push_back(c);
        }
    }
    take();
    return entries;
}

bool WriteListFile(const QString& path, const Entries& entries) {
    std::string bytes;
    for (const std::string& e : entries) bytes += e + "\r\n";
    // A new file beside the old, renamed over it: a failed write never leaves half a list.
    const QString temp = path + QStringLiteral(".new");
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool written = out.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                             static_cast<qint64>(bytes.size()) &&
                         out.flush();
    out.close();
    if (!written || out.error() != QFileDevice::NoError) {
        QFile::remove(temp);
        return false;
    }
    // rename() replaces the old file in one step.
    if (std::rename(core::toNativePath(temp).c_str(), core::toNativePath(path).c_str()) != 0) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

} // namespace editing
