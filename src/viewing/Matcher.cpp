#include "viewing/Matcher.h"

#include "core/Cp1252.h"
#include "core/MessageService.h"
#include "core/TextFormat.h"
#include "dbase/NumberText.h"
#include "dbase/Table.h"

#include <QCursor>
#include <QGuiApplication>

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

namespace viewing {

namespace {

bool isNumberField(char type) {
    return type == 'N' || type == 'F';
}

// Digits and points with an optional leading minus, and more than the minus alone. Anything
// else typed for an exact search on a number field matches no record.
bool looksNumeric(std::string_view value) {
    if (!value.empty() && value.front() == '-') value.remove_prefix(1);
    return !value.empty() && std::all_of(value.begin(), value.end(),
                                         [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

void upperInPlace(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

// The test every candidate record goes through. It keeps one buffer for the field's text, so a
// pass over the table allocates nothing per record.
class ValueTest {
public:
    ValueTest(int field, const LocateRequest& request, std::string value,
              std::optional<double> number)
        : field_(field), type_(request.matchType), caseSensitive_(request.caseSensitive),
          value_(std::move(value)), number_(number) {}

    bool operator()(const dbase::Record& record) const {
        text_.clear();
        record.appendText(field_, text_);
        if (number_) return !text_.empty() && record.number(field_) == *number_;
        if (!caseSensitive_) upperInPlace(text_);
        return matches(text_);
    }

    bool matches(std::string_view text) const {
        switch (type_) {
        case MatchType::ExactMatch:
            return text == value_;
        case MatchType::PartialMatchStart:
            return text.starts_with(value_);
        case MatchType::PartialMatchAny:
            return text.find(value_) != std::string_view::npos;
        }
        return false;
    }

    // The field's text as the index orders it (upper case for a search that ignores case).
    std::string comparable(const dbase::Record& record) const {
        std::string text = record.text(field_);
        if (!caseSensitive_) upperInPlace(text);
        return text;
    }

private:
    int field_;
    MatchType type_;
    bool caseSensitive_;
    std::string value_;
    std::optional<double> number_;
    mutable std::string text_;
};

class WaitCursor {
public:
    WaitCursor() {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            active_ = true;
        }
    }
    ~WaitCursor() {
        if (active_) QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool active_ = false;
};

class BulkPass {
public:
    explicit BulkPass(dbase::Table& table)
        : table_(table), on_(!table.selectedIndex().empty() && !table.bulkReading()) {
        if (on_) table_.setBulkReading(true);
    }
    ~BulkPass() {
        if (on_) table_.setBulkReading(false);
    }
    BulkPass(const BulkPass&) = delete;
    BulkPass& operator=(const BulkPass&) = delete;

private:
    dbase::Table& table_;
    bool on_;
};

// The cursor stands on a record; at the first or last one bof() or eof() is set all the same.
bool hasCurrent(const dbase::Table& table) {
    return table.recno() != 0;
}

} // namespace

Matcher::Matcher(dbase::Table& table, core::MessageService& messages)
    : table_(table), messages_(messages) {}

bool Matcher::find(const LocateRequest& request) {
    usedIndex_ = false;
    dbase::Table& t = table_;
    if (t.state() == dbase::Table::State::Edit || t.state() == dbase::Table::State::Insert)
        t.post();

    const int field = t.findField(request.column);
    if (field < 0) {
        messages_.show({.caption = QStringLiteral("Warning"),
                        .text = QStringLiteral("Field ") + core::fromTableText(request.column) +
                                QStringLiteral(" not found."),
                        .icon = core::MessageIcon::Warning});
        return false;
    }
    const char type = t.field(field).type;
    const bool exact = request.matchType == MatchType::ExactMatch;

    std::string value = request.caseSensitive ? request.value : core::UpperAscii(request.value);
    std::optional<double> number;
    if (exact && isNumberField(type)) {
        if (!looksNumeric(value)) return false;
        number = dbase::number_text::parse(value);
        // "1..2" (or a lone point) has a number's characters but is no number: the conversion
        // fails with its message, and the cursor stays.
        if (!number) {
            messages_.show({.caption = QStringLiteral("Error"),
                            .text = QStringLiteral("'") + core::fromTableText(request.value) +
                                    QStringLiteral("' is not a valid floating point value"),
                            .icon = core::MessageIcon::Error});
            return false;
        }
    }
    if (!exact && value.empty()) return false; // an empty value begins and is in every text
    if (exact && type == 'D' && !value.empty() && !t.dateFormat().parse(value))
        return false; // every date's text reads back as a date

    const ValueTest test(field, request, value, number);
    const bool fromBeginning = request.from == LocateFrom::Beginning;
    const dbase::Bookmark start = t.bookmark();
    const auto found = [&t](dbase::Bookmark at) {
        if (at) t.gotoBookmark(at);
        return true;
    };
    const auto notFound = [&t, start] {
        if (start) t.gotoBookmark(start);
        return false;
    };

    try {
        // Equal keys lie side by side in the index, so when the current record already matches,
        // the next match of a next search, if any, is the record right after it.
        const auto nextIfMatching = [&] {
            const dbase::Bookmark after = t.scanForward([](const dbase::Record&) { return true; });
            if (!after) return false;
            t.gotoBookmark(after);
            if (test(t.record())) return true;
            return notFound();
        };

        const auto tag = t.selectedDefinition();
        const bool onIndex = tag && !tag->fields.empty() && tag->fields.front() == field &&
                             type != 'L' && type != 'M';
        const bool caseAgrees = tag && tag->caseInsensitive == !request.caseSensitive;
        const bool currentMatches = hasCurrent(t) && test(t.record());

        if (onIndex && exact && (type != 'C' || caseAgrees)) {
            usedIndex_ = true;
            if (!fromBeginning && currentMatches) return nextIfMatching();
            // The index pads and cuts the value to the key's length: the record it finds must
            // still pass the test itself.
            if (t.findKey(value) && test(t.record())) return true;
            return notFound();
        }
        if (onIndex && request.matchType == MatchType::PartialMatchStart && type == 'C' &&
            caseAgrees) {
            usedIndex_ = true;
            if (!fromBeginning && currentMatches) return nextIfMatching();
            // Every text that begins with a value sorting before the current text lies before
            // the current record.
            if (!fromBeginning && hasCurrent(t) && value < test.comparable(t.record()))
                return false;
            if (t.findNearest(value) && test(t.record())) return true;
            return notFound();
        }

        const WaitCursor wait;
        // In index order the records lie all over the file: read them from a mapping rather
        // than one system call each, for this pass only.
        const BulkPass bulk(t);
        if (fromBeginning) {
            t.first();
            if (t.isEmpty()) return notFound();
            if (test(t.record())) return true;
        }
        if (const dbase::Bookmark at = t.scanForward(std::cref(test))) return found(at);
        return notFound();
    } catch (const std::bad_alloc&) {
        notFound();
        messages_.show({.caption = QStringLiteral("Warning"),
                        .text = QStringLiteral("Out of memory"),
                        .icon = core::MessageIcon::Warning});
        return false;
    }
}

} // namespace viewing
