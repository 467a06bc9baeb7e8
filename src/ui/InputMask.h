#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <vector>

class QLineEdit;

namespace ui {

// An edit mask as the program's windows are designed with, translated into a Qt input mask.
//
// The program's notation is "mask;keepLiterals;blank". In the mask, "0" is a required digit
// and "9" an optional one, "#" an optional digit or sign, "L"/"l" a required/optional letter,
// "A"/"a" a required/optional letter or digit, "C"/"c" a required/optional character; ">"
// upper-cases what follows, "<" lower-cases it and "<>" ends either; "!" puts the empty
// positions of a field before what was typed rather than after it; "/" and ":" stand for the
// date and time separators; "_" is a blank; "\" makes the next character a literal; anything
// else is a literal. Qt's own letters differ (there "9" is required and "0" optional), which
// is why every mask goes through here.
class InputMask {
public:
    // Translates an edit mask. A missing keepLiterals field means true, a missing blank "_".
    static InputMask fromEditMask(QStringView editMask, QChar dateSeparator = QLatin1Char('/'),
                                  QChar timeSeparator = QLatin1Char(':'));

    // For QLineEdit::setInputMask: the translated mask, ";" and the blank character.
    const QString& qtMask() const { return qtMask_; }
    QChar blank() const { return blank_; }
    bool keepsLiterals() const { return keepLiterals_; }
    bool leadingBlanks() const { return leadingBlanks_; }
    int length() const { return static_cast<int>(positions_.size()); }

    // What an empty box reads: the literals in place and a blank (space) in every position.
    QString blankText() const;

    // The value laid into the mask for QLineEdit::setText: the characters between two
    // literals of the value fill the field between the same literals of the mask, behind its
    // empty positions when the mask starts with "!", else before them. Blanks in the value
    // count as empty positions.
    QString layOut(QStringView value) const;

    // The text of a box that uses this mask as the program reads it: literals in place, every
    // empty position a space (Qt's text() would drop them).
    QString readBox(const QLineEdit& box) const;

    // Sets the mask on the box and empties it.
    void applyTo(QLineEdit& box) const;

private:
    struct Position {
        bool literal = false;
        QChar character; // the literal itself
    };

    QString qtMask_;
    QChar blank_ = QLatin1Char('_');
    bool keepLiterals_ = true;
    bool leadingBlanks_ = false;
    std::vector<Position> positions_;
};

} // namespace ui
