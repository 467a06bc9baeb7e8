#include "KeyExpression.h"

#include "Error.h"
#include "IndexKey.h"
#include "MdxLayout.h"
#include "NumberText.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace dbase {

namespace {

enum class Type { Text, Number, Date };

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// dBASE's UPPER and LOWER: a..z, and with `ansi` the accented letters of code page 1252.
char changeCase(char ch, bool upper, bool ansi) {
    const auto c = static_cast<unsigned char>(ch);
    if (upper) {
        if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
        if (!ansi) return ch;
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 32);
        if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<char>(c - 16);
        if (c == 0xFF) return static_cast<char>(0x9F);
        return ch;
    }
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    if (!ansi) return ch;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<char>(c + 16);
    if (c == 0x9F) return static_cast<char>(0xFF);
    return ch;
}

// Right-aligns the text appended after `from` in `width` characters; asterisks when too wide.
void padOrStar(std::string& out, size_t from, int width) {
    const size_t have = out.size() - from;
    const auto w = static_cast<size_t>(width);
    if (have > w)
        out.replace(from, have, w, '*');
    else
        out.insert(from, w - have, ' ');
}

std::string upperName(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperAscii(c);
    return out;
}

} // namespace

// One node of the expression tree. Text nodes append their characters (at most `width`), number
// nodes give a double, date nodes a Date.
struct KeyExpression::Node {
    Type type = Type::Text;
    int width = 0; // the most characters a text node gives
    std::function<void(const Record&, std::string&)> text;
    std::function<double(const Record&)> number;
    std::function<Date(const Record&)> date;
    bool noLowerCase = false;   // the text can hold no letter a..z
    int plainField = -1;        // a bare field name
    std::vector<int> concatenatedFields; // the fields of field+field+..., when that is all it is
};

namespace {

using Node = KeyExpression::Node;
using NodePtr = std::shared_ptr<Node>;

enum class TokenKind { Name, Number, String, LeftParen, RightParen, Comma, Plus, End };

struct Token {
    TokenKind kind;
    std::string text;
    size_t position;
};

class Parser {
public:
    Parser(std::string_view source, const std::vector<FieldDef>& fields, bool ansiCase)
        : source_(source), fields_(fields), ansiCase_(ansiCase) {
        advance();
    }

    NodePtr parseAll() {
        NodePtr node = parseSum();
        if (token_.kind != TokenKind::End) fail("unexpected " + describe(token_));
        return node;
    }

    std::vector<int> usedFields;

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw Error("Invalid index expression " + std::string(1, '"') + std::string(source_) +
                    "\": " + what);
    }

    static std::string describe(const Token& t) {
        switch (t.kind) {
        case TokenKind::End: return "end of expression";
        case TokenKind::String: return "text '" + t.text + "'";
        default: return "'" + t.text + "'";
        }
    }

    void advance() {
        while (pos_ < source_.size() && (source_[pos_] == ' ' || source_[pos_] == '\t')) ++pos_;
        const size_t start = pos_;
        if (pos_ >= source_.size()) {
            token_ = {TokenKind::End, "", start};
            return;
        }
        const char c = source_[pos_];
        auto isNameChar = [](char ch) {
            return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                   ch == '_';
        };
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
            while (pos_ < source_.size() && isNameChar(source_[pos_])) ++pos_;
            token_ = {TokenKind::Name, std::string(source_.substr(start, pos_ - start)), start};
        } else if ((c >= '0' && c <= '9') || c == '.') {
            while (pos_ < source_.size() &&
                   ((source_[pos_] >= '0' && source_[pos_] <= '9') || source_[pos_] == '.'))
                ++pos_;
            token_ = {TokenKind::Number, std::string(source_.substr(start, pos_ - start)), start};
        } else if (c == '"' || c == '\'' || c == '[') {
            const char close = c == '[' ? ']' : c;
            const size_t end = source_.find(close, pos_ + 1);
            if (end == std::string_view::npos) fail("text without its closing quote");
            token_ = {TokenKind::String, std::string(source_.substr(pos_ + 1, end - pos_ - 1)), start};
            pos_ = end + 1;
        } else {
            ++pos_;
            switch (c) {
            case '(': token_ = {TokenKind::LeftParen, "(", start}; break;
            case ')': token_ = {TokenKind::RightParen, ")", start}; break;
            case ',': token_ = {TokenKind::Comma, ",", start}; break;
            case '+': token_ = {TokenKind::Plus, "+", start}; break;
            default: fail("unexpected character '" + std::string(1, c) + "'");
            }
        }
    }

    void expect(TokenKind kind, const char* what) {
        if (token_.kind != kind) fail(std::string("expected ") + what + " but found " + describe(token_));
        advance();
    }

    NodePtr parseSum() {
        NodePtr left = parseTerm();
        while (token_.kind == TokenKind::Plus) {
            advance();
            left = plus(left, parseTerm());
        }
        return left;
    }

    NodePtr plus(const NodePtr& a, const NodePtr& b) {
        auto n = std::make_shared<Node>();
        if (a->type == Type::Text && b->type == Type::Text) {
            n->type = Type::Text;
            n->width = a->width + b->width;
            n->text = [a, b](const Record& r, std::string& out) {
                a->text(r, out);
                b->text(r, out);
            };
            auto fieldsOf = [](const Node& x) {
                if (x.plainField >= 0) return std::vector<int>{x.plainField};
                return x.concatenatedFields;
            };
            std::vector<int> left = fieldsOf(*a), right = fieldsOf(*b);
            if (!left.empty() && !right.empty()) {
                left.insert(left.end(), right.begin(), right.end());
                n->concatenatedFields = left;
            }
            n->noLowerCase = a->noLowerCase && b->noLowerCase;
        } else if (a->type == Type::Number && b->type == Type::Number) {
            n->type = Type::Number;
            n->number = [a, b](const Record& r) { return a->number(r) + b->number(r); };
        } else {
            fail("\"+\" cannot join a text, a number and a date");
        }
        return n;
    }

    NodePtr parseTerm() {
        const Token t = token_;
        switch (t.kind) {
        case TokenKind::LeftParen: {
            advance();
            NodePtr inner = parseSum();
            expect(TokenKind::RightParen, "')'");
            return inner;
        }
        case TokenKind::String: {
            advance();
            auto n = std::make_shared<Node>();
            n->width = static_cast<int>(t.text.size());
            n->noLowerCase = std::none_of(t.text.begin(), t.text.end(),
                                          [](char c) { return c >= 'a' && c <= 'z'; });
            n->text = [s = t.text](const Record&, std::string& out) { out += s; };
            return n;
        }
        case TokenKind::Number: {
            advance();
            const auto value = number_text::parse(t.text);
            if (!value) fail("bad number '" + t.text + "'");
            auto n = std::make_shared<Node>();
            n->type = Type::Number;
            n->number = [v = *value](const Record&) { return v; };
            return n;
        }
        case TokenKind::Name: {
            advance();
            if (token_.kind == TokenKind::LeftParen) {
                advance();
                std::vector<NodePtr> args;
                if (token_.kind != TokenKind::RightParen) {
                    args.push_back(parseSum());
                    while (token_.kind == TokenKind::Comma) {
                        advance();
                        args.push_back(parseSum());
                    }
                }
                expect(TokenKind::RightParen, "')'");
                return call(upperName(t.text), args);
            }
            return field(t.text);
        }
        default: fail("unexpected " + describe(t));
        }
    }

    NodePtr field(const std::string& name) {
        const std::string wanted = upperName(name);
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (upperName(fields_[i].name) != wanted) continue;
            const FieldDef& f = fields_[i];
            const int index = static_cast<int>(i);
            usedFields.push_back(index);
            auto n = std::make_shared<Node>();
            n->plainField = index;
            switch (f.type) {
            case 'C':
                n->width = f.width;
                n->text = [index](const Record& r, std::string& out) { out += r.raw(index); };
                break;
            case 'N':
            case 'F':
                n->type = Type::Number;
                n->number = [index](const Record& r) { return r.number(index); };
                break;
            case 'D':
                n->type = Type::Date;
                n->date = [index](const Record& r) { return r.date(index); };
                break;
            default: fail("field " + f.name + " cannot be part of an index key");
            }
            return n;
        }
        fail("unknown field " + name);
    }

    // The whole-number value of a constant argument such as the 20 of LEFT(Item,20).
    int constant(const std::vector<NodePtr>& args, size_t i, const std::string& fn, int fallback) {
        if (i >= args.size()) return fallback;
        const Node& a = *args[i];
        if (a.type != Type::Number || a.plainField >= 0 || !a.number)
            fail(fn + "( needs a number as argument " + std::to_string(i + 1));
        const double v = a.number(Record());
        if (v < 0 || v > 255 || v != std::floor(v))
            fail(fn + "( argument " + std::to_string(i + 1) + " is out of range");
        return static_cast<int>(v);
    }

    void arity(const std::string& fn, const std::vector<NodePtr>& args, size_t least, size_t most) {
        if (args.size() < least || args.size() > most)
            fail(fn + "( takes " + std::to_string(least) +
                 (most > least ? " to " + std::to_string(most) : std::string()) + " arguments");
    }

    void argType(const std::string& fn, const NodePtr& arg, Type type) {
        if (arg->type != type)
            fail(fn + "( needs " +
                 (type == Type::Text ? "text" : type == Type::Number ? "a number" : "a date"));
    }

    // A text function's node; `from` is the text argument whose letter case it keeps (none for
    // functions whose result is digits and punctuation only).
    NodePtr textNode(const NodePtr& from, int width, std::function<void(const Record&, std::string&)> f) {
        auto n = std::make_shared<Node>();
        n->width = width;
        n->noLowerCase = from ? from->noLowerCase : true;
        n->text = std::move(f);
        return n;
    }

    NodePtr call(const std::string& fn, const std::vector<NodePtr>& args) {
        if (fn == "UPPER" || fn == "LOWER") {
            arity(fn, args, 1, 1);
            argType(fn, args[0], Type::Text);
            const NodePtr a = args[0];
            const bool upper = fn == "UPPER";
            const bool ansi = ansiCase_;
            NodePtr n = textNode(nullptr, a->width, [a, upper, ansi](const Record& r, std::string& out) {
                const size_t from = out.size();
                a->text(r, out);
                for (size_t i = from; i < out.size(); ++i) out[i] = changeCase(out[i], upper, ansi);
            });
            n->noLowerCase = upper;
            return n;
        }
        if (fn == "LEFT" || fn == "RIGHT") {
            arity(fn, args, 2, 2);
            argType(fn, args[0], Type::Text);
            const NodePtr a = args[0];
            const int count = constant(args, 1, fn, 0);
            const bool left = fn == "LEFT";
            return textNode(a, std::min(count, a->width), [a, count, left](const Record& r, std::string& out) {
                const size_t from = out.size();
                a->text(r, out);
                const size_t have = out.size() - from;
                const size_t keep = std::min(have, static_cast<size_t>(count));
                if (left)
                    out.resize(from + keep);
                else
                    out.erase(from, have - keep);
            });
        }
        if (fn == "SUBSTR") {
            arity(fn, args, 2, 3);
            argType(fn, args[0], Type::Text);
            const NodePtr a = args[0];
            const int start = constant(args, 1, fn, 1);
            if (start < 1) fail("SUBSTR( starts at position 1 or later");
            const int available = std::max(0, a->width - start + 1);
            const int count = args.size() > 2 ? constant(args, 2, fn, 0) : available;
            return textNode(a, std::min(count, available), [a, start, count](const Record& r, std::string& out) {
                const size_t from = out.size();
                a->text(r, out);
                const size_t have = out.size() - from;
                const size_t skip = std::min(have, static_cast<size_t>(start - 1));
                const size_t keep = std::min(have - skip, static_cast<size_t>(count));
                out.erase(from, skip);
                out.resize(from + keep);
            });
        }
        if (fn == "TRIM" || fn == "RTRIM" || fn == "LTRIM") {
            arity(fn, args, 1, 1);
            argType(fn, args[0], Type::Text);
            const NodePtr a = args[0];
            const bool leading = fn == "LTRIM";
            return textNode(a, a->width, [a, leading](const Record& r, std::string& out) {
                const size_t from = out.size();
                a->text(r, out);
                if (leading) {
                    size_t first = from;
                    while (first < out.size() && out[first] == ' ') ++first;
                    out.erase(from, first - from);
                } else {
                    size_t end = out.size();
                    while (end > from && out[end - 1] == ' ') --end;
                    out.resize(end);
                }
            });
        }
        if (fn == "STR") {
            arity(fn, args, 1, 3);
            argType(fn, args[0], Type::Number);
            const NodePtr a = args[0];
            const int width = constant(args, 1, fn, 10);
            const int decimals = constant(args, 2, fn, 0);
            if (width < 1 || width > 20 || (decimals > 0 && decimals > width - 2))
                fail("STR( width or decimals out of range");
            if (a->plainField >= 0) {
                // A field's number is already decimal text: round that, not a binary double
                // (a stored 2.675 gives 2.68, as dBASE's decimal arithmetic does).
                const int field = a->plainField;
                return textNode(nullptr, width, [field, width, decimals](const Record& r, std::string& out) {
                    const size_t from = out.size();
                    number_text::appendFixed(r.raw(field), decimals, out);
                    const size_t have = out.size() - from;
                    if (have == 0) { // a blank number is 0
                        out.append(decimals > 0 ? "0." + std::string(static_cast<size_t>(decimals), '0') : "0");
                    }
                    padOrStar(out, from, width);
                });
            }
            return textNode(nullptr, width, [a, width, decimals](const Record& r, std::string& out) {
                // A number too wide for the key is shown as asterisks, as dBASE does.
                const auto s = number_text::formatForField(a->number(r), width, decimals);
                out.append(s ? *s : std::string(static_cast<size_t>(width), '*'));
            });
        }
        if (fn == "DTOS" || fn == "DTOC") {
            arity(fn, args, 1, 1);
            argType(fn, args[0], Type::Date);
            const NodePtr a = args[0];
            if (fn == "DTOS")
                return textNode(nullptr, 8, [a](const Record& r, std::string& out) {
                    out.append(a->date(r).toStorage());
                });
            // The dBASE default form MM/DD/YY.
            return textNode(nullptr, 8, [a](const Record& r, std::string& out) {
                const Date d = a->date(r);
                if (d.isEmpty()) {
                    out.append("  /  /  ");
                    return;
                }
                const std::string s = d.toStorage();
                out.append(s, 4, 2).append(1, '/').append(s, 6, 2).append(1, '/').append(s, 2, 2);
            });
        }
        fail("unknown function " + fn + "(");
    }

    std::string_view source_;
    const std::vector<FieldDef>& fields_;
    bool ansiCase_;
    size_t pos_ = 0;
    Token token_{TokenKind::End, "", 0};
};

} // namespace

KeyExpression::KeyExpression() = default;
KeyExpression::~KeyExpression() = default;
KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;

KeyExpression KeyExpression::compile(std::string_view text, const std::vector<FieldDef>& fields,
                                     bool ansiCase) {
    Parser parser(text, fields, ansiCase);
    NodePtr root = parser.parseAll();
    KeyExpression e;
    e.text_ = std::string(text);
    e.fields_ = root->plainField >= 0 ? std::vector<int>{root->plainField} : root->concatenatedFields;
    e.caseInsensitive_ = root->type == Type::Text && root->noLowerCase;
    switch (root->type) {
    case Type::Text:
        e.type_ = KeyType::Character;
        e.length_ = root->width;
        if (e.length_ < 1 || e.length_ > kMaxKeyLength)
            throw Error("Index expression \"" + e.text_ + "\" gives keys of " +
                        std::to_string(e.length_) + " characters; the most is " +
                        std::to_string(kMaxKeyLength));
        break;
    case Type::Number:
        e.type_ = KeyType::Numeric;
        e.length_ = mdx::kNumericKeyLength;
        break;
    case Type::Date:
        e.type_ = KeyType::Date;
        e.length_ = mdx::kDateKeyLength;
        break;
    }
    e.root_ = std::make_unique<Node>(std::move(*root));
    return e;
}

void KeyExpression::evaluate(const Record& record, std::string& key) const {
    key.clear();
    switch (type_) {
    case KeyType::Character:
        root_->text(record, key);
        key.resize(static_cast<size_t>(length_), ' ');
        break;
    case KeyType::Numeric:
        // A field's own digits where there is one: exact, as dBASE's decimal numbers are.
        key = root_->plainField >= 0 ? index_key::numericFromText(record.raw(root_->plainField))
                                     : index_key::numericFromValue(root_->number(record));
        break;
    case KeyType::Date: key = index_key::dateKey(root_->date(record)); break;
    }
}

double KeyExpression::evaluateNumber(const Record& record) const {
    if (type_ == KeyType::Numeric) return root_->number(record);
    if (type_ == KeyType::Date) {
        const Date d = root_->date(record);
        return d.isEmpty() ? 0 : julianDay(d.year, d.month, d.day);
    }
    return 0;
}

double julianDay(int year, int month, int day) {
    // Proleptic Gregorian calendar to Julian day number.
    const int a = (14 - month) / 12;
    const int y = year + 4800 - a;
    const int m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

} // namespace dbase
