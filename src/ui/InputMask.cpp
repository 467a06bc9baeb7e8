#include "ui/InputMask.h"

#include <QLineEdit>

#include <algorithm>

namespace ui {

namespace {

// Characters with a meaning of their own in a Qt input mask; as literals they need a "\".
bool isQtMaskCharacter(QChar c) {
    static const QString kMeta = QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{};");
    return kMeta.contains(c);
}

// The Qt letter for an input position of the edit mask, or a null QChar for anything else.
QChar qtInputLetter(QChar c) {
    switch (c.unicode()) {
    case u'0':
        return QLatin1Char('9'); // required digit
    case u'9':
        return QLatin1Char('0'); // optional digit
    case u'#':
        return QLatin1Char('#'); // optional digit or sign
    case u'L':
        return QLatin1Char('A');
    case u'l':
        return QLatin1Char('a');
    case u'A':
        return QLatin1Char('N');
    case u'a':
        return QLatin1Char('n');
    case u'C':
        return QLatin1Char('X');
    case u'c':
        return QLatin1Char('x');
    default:
        return {};
    }
}

// Splits at the first ";" that no "\" escapes.
qsizetype fieldEnd(QStringView text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\')) {
            ++i;
        } else if (text[i] == QLatin1Char(';')) {
            return i;
        }
    }
    return text.size();
}

} // namespace

InputMask InputMask::fromEditMask(QStringView editMask, QChar dateSeparator, QChar timeSeparator) {
    InputMask mask;
    const qsizetype maskEnd = fieldEnd(editMask, 0);
    if (maskEnd < editMask.size()) {
        const qsizetype keepEnd = fieldEnd(editMask, maskEnd + 1);
        const QStringView keep = editMask.sliced(maskEnd + 1, keepEnd - maskEnd - 1);
        mask.keepLiterals_ = keep != QLatin1String("0");
        if (keepEnd + 1 < editMask.size()) mask.blank_ = editMask[keepEnd + 1];
    }

    QString& out = mask.qtMask_;
    const auto literal = [&](QChar c) {
        if (isQtMaskCharacter(c)) out += QLatin1Char('\\');
        out += c;
        mask.positions_.push_back({true, c});
    };
    for (qsizetype i = 0; i < maskEnd; ++i) {
        const QChar c = editMask[i];
        if (c == QLatin1Char('\\')) {
            if (i + 1 < maskEnd) literal(editMask[++i]);
        } else if (c == QLatin1Char('!')) {
            mask.leadingBlanks_ = true;
        } else if (c == QLatin1Char('<') && i + 1 < maskEnd &&
                   editMask[i + 1] == QLatin1Char('>')) {
            out += QLatin1Char('!'); // case conversion off
            ++i;
        } else if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
            out += c;
        } else if (c == QLatin1Char('/')) {
            literal(dateSeparator);
        } else if (c == QLatin1Char(':')) {
            literal(timeSeparator);
        } else if (c == QLatin1Char('_')) {
            literal(QLatin1Char(' '));
        } else if (const QChar letter = qtInputLetter(c); !letter.isNull()) {
            out += letter;
            mask.positions_.push_back({false, {}});
        } else {
            literal(c);
        }
    }
    out += QLatin1Char(';');
    out += mask.blank_;
    return mask;
}

QString InputMask::blankText() const {
    QString text;
    text.reserve(length());
    for (const Position& p : positions_)
        text += p.literal ? p.character : QLatin1Char(' ');
    return text;
}

QString InputMask::layOut(QStringView value) const {
    QString text;
    text.reserve(length());
    qsizetype at = 0; // in value
    size_t i = 0;     // in the mask
    while (i < positions_.size()) {
        if (positions_[i].literal) {
            text += positions_[i].character;
            if (at < value.size() && value[at] == positions_[i].character) ++at;
            ++i;
            continue;
        }
        // A field: the input positions up to the next literal, filled with the value's
        // characters up to that literal.
        size_t fieldEnd = i;
        while (fieldEnd < positions_.size() && !positions_[fieldEnd].literal)
            ++fieldEnd;
        const int width = static_cast<int>(fieldEnd - i);
        const bool bounded = fieldEnd < positions_.size();
        const QChar stop = bounded ? positions_[fieldEnd].character : QChar();
        QString typed;
        while (at < value.size() && !(bounded && value[at] == stop)) {
            const QChar c = value[at++];
            if (c != QLatin1Char(' ') && c != blank_ && typed.size() < width) typed += c;
        }
        const QString fill(width - typed.size(), blank_);
        text += leadingBlanks_ ? fill + typed : typed + fill;
        i = fieldEnd;
    }
    return text;
}

QString InputMask::readBox(const QLineEdit& box) const {
    QString text = box.displayText();
    const qsizetype n = std::min<qsizetype>(text.size(), length());
    for (qsizetype i = 0; i < n; ++i) {
        if (!positions_[static_cast<size_t>(i)].literal && text[i] == blank_)
            text[i] = QLatin1Char(' ');
    }
    return text;
}

void InputMask::applyTo(QLineEdit& box) const {
    box.setInputMask(qtMask_);
    box.clear();
}

} // namespace ui
