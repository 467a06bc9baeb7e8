#include "Record.h"

#include "NumberText.h"

#include <cstdint>
#include <cstring>

namespace dbase {

namespace {

// The length of a character field without its trailing blanks (and NULs, which some writers
// pad with). Text fields are mostly padding, so whole words of it are skipped at a time.
size_t textEnd(std::string_view s) {
    size_t end = s.size();
    constexpr uint64_t kBlanks = 0x2020202020202020ull;
    while (end >= 8) {
        uint64_t word;
        std::memcpy(&word, s.data() + end - 8, 8);
        if ((word | kBlanks) != kBlanks) break; // a byte other than blank or NUL
        end -= 8;
    }
    while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\0')) --end;
    return end;
}

} // namespace

Record::Record(std::shared_ptr<const std::vector<FieldDef>> fields, const DateFormat* dateFormat)
    : fields_(std::move(fields)), dateFormat_(dateFormat) {}

std::string_view Record::raw(int index) const {
    if (index < 0 || index >= fieldCount()) return {};
    const FieldDef& f = field(index);
    const auto offset = static_cast<size_t>(f.offset);
    const auto width = static_cast<size_t>(f.width);
    if (offset + width > bytes_.size()) return {};
    return std::string_view(bytes_).substr(offset, width);
}

std::string Record::text(int index) const {
    std::string out;
    appendText(index, out);
    return out;
}

void Record::appendText(int index, std::string& out) const {
    if (index < 0 || index >= fieldCount()) return;
    std::string_view s = raw(index);
    switch (field(index).type) {
    case 'C': out.append(s.data(), textEnd(s)); break;
    case 'N':
    case 'F': number_text::appendShortest(s, out); break;
    case 'D':
        if (auto d = Date::fromStorage(s); d && dateFormat_) dateFormat_->append(*d, out);
        break;
    case 'L':
        if (!s.empty()) {
            const char c = s[0];
            if (c == 'T' || c == 't' || c == 'Y' || c == 'y') out.append("True");
            if (c == 'F' || c == 'f' || c == 'N' || c == 'n') out.append("False");
        }
        break;
    default: break; // memo and binary fields hold a block number, not text
    }
}

double Record::number(int index) const {
    if (index < 0 || index >= fieldCount()) return 0;
    const char type = field(index).type;
    if (type == 'D' || type == 'L' || type == 'M') return 0;
    return number_text::parse(raw(index)).value_or(0);
}

Date Record::date(int index) const {
    if (index < 0 || index >= fieldCount()) return {};
    if (field(index).type != 'D') return {};
    return Date::fromStorage(raw(index)).value_or(Date{});
}

bool Record::isBlank(int index) const {
    if (index < 0 || index >= fieldCount()) return true;
    for (char c : raw(index))
        if (c != ' ' && c != '\0') return false;
    return true;
}

} // namespace dbase
