#pragma once

#include "Date.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dbase {

// One column of a table as the field descriptor describes it.
struct FieldDef {
    std::string name; // as stored, at most 10 characters
    char type = 'C';  // C, N, F, D, L, M (memo fields are listed but their text is not read)
    int width = 0;
    int decimals = 0;
    int offset = 0; // of the field's first byte within the record (byte 0 is the deletion mark)
};

// A record as bytes (deletion mark first) with its table's fields: the cursor's record, or a
// candidate handed to a filter. Reads never throw; a field whose bytes do not hold a valid
// value reads as empty text, 0 and the empty date.
class Record {
public:
    Record() = default;
    Record(std::shared_ptr<const std::vector<FieldDef>> fields, const DateFormat* dateFormat);

    int fieldCount() const { return fields_ ? static_cast<int>(fields_->size()) : 0; }
    const FieldDef& field(int index) const { return (*fields_)[static_cast<size_t>(index)]; }
    bool isDeleted() const { return !bytes_.empty() && bytes_[0] == '*'; }

    // The field as text: character fields without trailing blanks, numbers in the shortest
    // general form, dates in the short date format (empty date: empty text), logicals as
    // "True"/"False".
    std::string text(int index) const;
    // The same, appended to out: the allocation-free form for passes over a whole table.
    void appendText(int index, std::string& out) const;
    double number(int index) const;
    Date date(int index) const;
    bool isBlank(int index) const; // only blanks (an empty number, date or text)
    // The stored characters of the field, untouched.
    std::string_view raw(int index) const;

    const std::string& bytes() const { return bytes_; }
    std::string& bytes() { return bytes_; }

private:
    std::shared_ptr<const std::vector<FieldDef>> fields_;
    const DateFormat* dateFormat_ = nullptr;
    std::string bytes_;
};

} // namespace dbase
