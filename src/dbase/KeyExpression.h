#pragma once

#include "Record.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dbase {

// The type of an index key: character keys compare as bytes, numeric and date keys by value.
enum class KeyType : char { Character = 'C', Numeric = 'N', Date = 'D' };

// A compiled dBASE key expression such as Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2).
// It understands field names, "+" (concatenation of text, addition of numbers), text and number
// literals, and the functions UPPER, LOWER, LEFT, RIGHT, SUBSTR, TRIM, RTRIM, LTRIM, STR, DTOS
// and DTOC, written in any letter case.
class KeyExpression {
public:
    // Throws dbase::Error naming an unknown function or field, a type mismatch or a key longer
    // than kMaxKeyLength.
    // With `ansiCase`, UPPER and LOWER change the accented letters of Windows code page 1252
    // too, as dBASE does for tables in that code page; otherwise only a..z and A..Z.
    static KeyExpression compile(std::string_view text, const std::vector<FieldDef>& fields,
                                 bool ansiCase = true);

    static constexpr int kMaxKeyLength = 100;

    KeyExpression();
    ~KeyExpression();
    KeyExpression(KeyExpression&&) noexcept;
    KeyExpression& operator=(KeyExpression&&) noexcept;

    const std::string& text() const { return text_; }
    KeyType type() const { return type_; }
    // Bytes of a key: a character key is padded with blanks to this length; numeric keys are
    // 12 bytes, date keys 8.
    int length() const { return length_; }
    // The positions of the fields the expression reads, in the order they appear.
    const std::vector<int>& fields() const { return fields_; }
    // True for a character key that can hold no letter a..z (its text is upper-cased), so that
    // lookups on it ignore letter case.
    bool isCaseInsensitive() const { return caseInsensitive_; }

    // The key of a record as the index stores it (`length()` bytes).
    void evaluate(const Record& record, std::string& key) const;
    // The value of a numeric or date key (a date as its day number; 0 for the empty date).
    double evaluateNumber(const Record& record) const;

    struct Node;

private:
    std::string text_;
    KeyType type_ = KeyType::Character;
    int length_ = 0;
    std::vector<int> fields_;
    bool caseInsensitive_ = false;
    std::unique_ptr<Node> root_;
};

// Day number of a date as dBASE keeps it in date keys: the Julian day (1 January 4713 BC = 0).
double julianDay(int year, int month, int day);

} // namespace dbase
