#include "viewing/SearchCriteria.h"

#include "core/Cp1252.h"
#include "core/FieldCatalogue.h"
#include "core/TextFormat.h"
#include "dbase/NumberText.h"
#include "viewing/CellInput.h"

#include <optional>
#include <stdexcept>
#include <string_view>
#include <tuple>

namespace viewing {

namespace {

// A piece of a row: what lies between the operator characters, blanks around removed.
std::string without(std::string text, char character) {
    if (const size_t at = text.find(character); at != std::string::npos) text.erase(at, 1);
    return core::TrimBlanks(text);
}

char operatorCharacter(SearchOperator op) {
    switch (op) {
    case SearchOperator::Greater:
        return '>';
    case SearchOperator::Less:
        return '<';
    default:
        return '=';
    }
}

std::optional<double> readNumber(const std::string& text) {
    if (!IsDecimalNumber(text)) return std::nullopt;
    return dbase::number_text::parse(text);
}

// A date cell holds the mask's blanks where no digit was typed ("1 /5 /2024"), and an
// untouched one only separators and blanks ("  /  /    "): that one is no date at all.
bool isBlankDate(const std::string& text) {
    for (char c : text)
        if (c != ' ' && c != '/' && c != '-' && c != '.') return false;
    return true;
}

std::optional<dbase::Date> readDate(const std::string& text, const dbase::DateFormat& format) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    return format.parse(digits);
}

// Days since 30 December 1899, as a date criterion's text shows it.
long dayNumber(const dbase::Date& date) {
    // Days from the civil date (proleptic Gregorian), shifted to the epoch above.
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (date.month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + date.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe - 719468;
    return days + 25569; // 1970-01-01 is day 25569
}

// The empty date reads as 0 and so lies before every real date.
auto dateKey(const dbase::Date& date) {
    return std::tuple(date.year, date.month, date.day);
}

template <typename T> bool compare(SearchOperator op, const T& value, const T& criterion) {
    switch (op) {
    case SearchOperator::Equal:
        return value == criterion;
    case SearchOperator::Greater:
        return value > criterion;
    case SearchOperator::Less:
        return value < criterion;
    default:
        return false;
    }
}

// Collects the criteria of one pass; reports the limit when it is passed.
class PassBuilder {
public:
    PassBuilder(std::vector<SearchCriterion>& criteria) : criteria_(criteria) {}
    bool add(SearchCriterion criterion) {
        if (static_cast<int>(criteria_.size()) >= SearchCriteria::kMaxCriteria) return false;
        criteria_.push_back(std::move(criterion));
        return true;
    }

private:
    std::vector<SearchCriterion>& criteria_;
};

SearchCriterion numberCriterion(int field, SearchOperator op, const std::string& typed,
                                double value) {
    return SearchCriterion{.text = typed, .number = value, .field = field, .op = op};
}

SearchCriterion dateCriterion(int field, SearchOperator op, const dbase::Date& value) {
    return SearchCriterion{.text = std::to_string(dayNumber(value)),
                           .date = value,
                           .field = field,
                           .op = op,
                           .isDate = true};
}

// The two sides of a between row: "> low AND < high". Without "AND" all of it is the low side.
std::pair<std::string, std::string> betweenSides(const std::string& text) {
    std::string rest = without(without(text, '<'), '>');
    const size_t at = rest.find("AND");
    if (at == std::string::npos) return {core::TrimBlanks(rest), std::string()};
    return {core::TrimBlanks(std::string_view(rest).substr(0, at)),
            core::TrimBlanks(std::string_view(rest).substr(at + 3))};
}

} // namespace

const SearchCriterion& SearchCriteria::at(int number) const {
    if (number < 1 || number > count())
        throw std::out_of_range("Search criterion out of range: " + std::to_string(number));
    return criteria_[static_cast<size_t>(number - 1)];
}

void SearchCriteria::clear() {
    criteria_.clear();
    level_ = 1;
}

int SearchCriteria::nextLevel() {
    if (level_ < kMaxLevel) ++level_;
    return level_;
}

SearchPassResult SearchCriteria::addRows(const SearchCells& cells, const SearchOperators& operators,
                                         const dbase::DateFormat& format) {
    const size_t start = criteria_.size();
    PassBuilder pass(criteria_);
    auto invalid = [&](int row) {
        criteria_.resize(start);
        return SearchPassResult{SearchPass::Invalid, row};
    };
    auto tooMany = [&] {
        clear();
        return SearchPassResult{SearchPass::TooMany, 0};
    };

    for (int field = 1; field <= core::kFieldCount; ++field) {
        const std::optional<std::string> bytes =
            core::toTableText(cells[static_cast<size_t>(field - 1)]);
        // A character the table cannot hold can never be found in it.
        if (!bytes) return invalid(field);
        const std::string text = core::TrimBlanks(*bytes);
        const SearchOperator op = operators[field];

        if (IsNumberRow(field) && op != SearchOperator::Between) {
            const std::string value = without(text, operatorCharacter(op));
            if (value.empty()) continue;
            const std::optional<double> number = readNumber(value);
            if (!number) return invalid(field);
            if (!pass.add(numberCriterion(field, op, value, *number))) return tooMany();
        } else if (IsNumberRow(field)) {
            const auto [low, high] = betweenSides(text);
            if (low.empty() && high.empty()) continue;
            const std::optional<double> lower = readNumber(low);
            const std::optional<double> upper = readNumber(high);
            if (!lower || !upper) return invalid(field);
            if (!pass.add(numberCriterion(field, SearchOperator::Greater, low, *lower)) ||
                !pass.add(numberCriterion(field, SearchOperator::Less, high, *upper)))
                return tooMany();
        } else if (IsDateRow(field) && op != SearchOperator::Between) {
            const std::string value = without(text, operatorCharacter(op));
            if (isBlankDate(value)) continue;
            const std::optional<dbase::Date> date = readDate(value, format);
            if (!date) return invalid(field);
            if (!pass.add(dateCriterion(field, op, *date))) return tooMany();
        } else if (IsDateRow(field)) {
            const auto [low, high] = betweenSides(text);
            const bool noLow = isBlankDate(low);
            const bool noHigh = isBlankDate(high);
            if (noLow && noHigh) continue;
            if (noLow || noHigh) return invalid(field);
            const std::optional<dbase::Date> lower = readDate(low, format);
            const std::optional<dbase::Date> upper = readDate(high, format);
            if (!lower || !upper) return invalid(field);
            if (!pass.add(dateCriterion(field, SearchOperator::Greater, *lower)) ||
                !pass.add(dateCriterion(field, SearchOperator::Less, *upper)))
                return tooMany();
        } else if (!text.empty()) {
            if (!pass.add(SearchCriterion{.text = core::UpperAscii(text), .field = field}))
                return tooMany();
        }
    }

    if (criteria_.size() == start) return {SearchPass::NothingEntered, 0};
    criteria_.back().levelEnd = true;
    return {SearchPass::Taken, 0};
}

void SearchCriteria::resolveColumns(const dbase::Record& record) const {
    const dbase::FieldDef* fields = record.fieldCount() > 0 ? &record.field(0) : nullptr;
    if (fields == resolvedFor_ && fields != nullptr) return;
    columns_.fill(-1);
    for (int field = 1; field <= core::kFieldCount; ++field) {
        const std::string name = core::UpperAscii(core::CatalogueName(field));
        for (int column = 0; column < record.fieldCount(); ++column) {
            if (core::UpperAscii(record.field(column).name) == name) {
                columns_[static_cast<size_t>(field)] = column;
                break;
            }
        }
    }
    resolvedFor_ = fields;
}

bool SearchCriteria::matches(const dbase::Record& record) const {
    if (criteria_.empty()) return false;
    resolveColumns(record);
    bool levelHolds = true;
    std::string text;
    for (const SearchCriterion& criterion : criteria_) {
        if (levelHolds) {
            const int column = columns_[static_cast<size_t>(criterion.field)];
            if (column < 0) {
                levelHolds = false;
            } else if (criterion.op == SearchOperator::Contains) {
                text.clear();
                record.appendText(column, text);
                levelHolds = core::UpperAscii(text).find(criterion.text) != std::string::npos;
            } else if (criterion.isDate) {
                levelHolds =
                    compare(criterion.op, dateKey(record.date(column)), dateKey(criterion.date));
            } else {
                levelHolds = compare(criterion.op, record.number(column), criterion.number);
            }
        }
        if (criterion.levelEnd) {
            if (levelHolds) return true;
            levelHolds = true;
        }
    }
    return false;
}

QString InvalidCriteriaMessage() {
    return QStringLiteral("Invalid search criteria entered.  Please correct.");
}

QString TooManyCriteriaMessage() {
    return QStringLiteral("More than ") + QString::number(SearchCriteria::kMaxCriteria) +
           QStringLiteral(" search items have been entered.  ") +
           QStringLiteral("This exceeds the maximum allowable.  Search criteria will be cleared.");
}

QString NoCriteriaMessage() {
    return QStringLiteral("No search criteria entered.");
}

QString CriteriaTitle(int level) {
    return QStringLiteral(" SEARCH CRITERIA    (Level ") +
           QString::fromLatin1(core::FormatThousands(level, 1, 0)) + QStringLiteral(")");
}

bool IsNumberRow(int field) {
    const core::FieldKind kind = core::KindOfField(field);
    return kind == core::FieldKind::WholeNumber || kind == core::FieldKind::Money;
}

bool IsDateRow(int field) {
    return core::KindOfField(field) == core::FieldKind::Date;
}

bool RowHasOptions(int field) {
    return IsNumberRow(field) || IsDateRow(field) || core::HasPickList(field);
}

QString CriterionEditMask(int field, SearchOperator op) {
    if (IsNumberRow(field)) {
        switch (op) {
        case SearchOperator::Greater:
            return QStringLiteral("\\> ccccccccc;1");
        case SearchOperator::Less:
            return QStringLiteral("\\< ccccccccc;1");
        case SearchOperator::Between:
            return QStringLiteral("\\> ccccccccc \\A\\N\\D \\< ccccccccc;1");
        default:
            return QStringLiteral("= ccccccccc;1");
        }
    }
    if (IsDateRow(field)) {
        switch (op) {
        case SearchOperator::Greater:
            return QStringLiteral("\\> 99/99/0000;1");
        case SearchOperator::Less:
            return QStringLiteral("\\< 99/99/0000;1");
        case SearchOperator::Between:
            return QStringLiteral("\\> 99/99/0000 \\A\\ND \\< 99/99/0000;1");
        default:
            return QStringLiteral("= 99/99/0000;1");
        }
    }
    return QString::fromLatin1(core::RepeatChar('c', core::FieldWidth(field)));
}

dbase::Table::Filter MakeSearchFilter(const core::Settings& settings,
                                      const SearchCriteria& criteria) {
    return [&settings, &criteria](const dbase::Record& record) {
        return settings.SearchActive ? criteria.matches(record) : true;
    };
}

} // namespace viewing
