#include "ui/InputMask.h"

#include <QLineEdit>
#include <QTest>

using ui::InputMask;

class InputMaskTest : public QObject {
    Q_OBJECT

private slots:
    // Each row: the edit mask, the separators, and the Qt mask it must become.
    void translates_data() {
        QTest::addColumn<QString>("editMask");
        QTest::addColumn<QChar>("dateSeparator");
        QTest::addColumn<QString>("qtMask");
        QTest::addColumn<bool>("keepLiterals");
        QTest::addColumn<QChar>("blank");
        QTest::addColumn<bool>("leadingBlanks");

        const QChar slash = QLatin1Char('/');
        // "9" optional digit -> Qt "0"; "/" the current date separator; "!" is no Qt character.
        QTest::newRow("date box, slash")
            << QStringLiteral("!99/99/9999;1;_") << slash << QStringLiteral("00/00/0000;_") << true
            << QChar(QLatin1Char('_')) << true;
        QTest::newRow("date box, dash")
            << QStringLiteral("!99/99/9999;1;_") << QChar(QLatin1Char('-'))
            << QStringLiteral("00-00-0000;_") << true << QChar(QLatin1Char('_')) << true;
        QTest::newRow("date box, dot")
            << QStringLiteral("!99/99/9999;1;_") << QChar(QLatin1Char('.'))
            << QStringLiteral("00.00.0000;_") << true << QChar(QLatin1Char('_')) << true;
        // "0" required digit -> Qt "9".
        QTest::newRow("required digits")
            << QStringLiteral("!99/99/00;1;_") << slash << QStringLiteral("00/00/99;_") << true
            << QChar(QLatin1Char('_')) << true;
        QTest::newRow("literals not kept, own blank")
            << QStringLiteral("000-0000;0;*") << slash << QStringLiteral("999-9999;*") << false
            << QChar(QLatin1Char('*')) << false;
        // No fields: literals kept, "_" as the blank.
        QTest::newRow("mask alone") << QStringLiteral("cccc") << slash << QStringLiteral("xxxx;_")
                                    << true << QChar(QLatin1Char('_')) << false;
        QTest::newRow("letters, alphanumerics, characters")
            << QStringLiteral("LlAaCc#") << slash << QStringLiteral("AaNnXx#;_") << true
            << QChar(QLatin1Char('_')) << false;
        QTest::newRow("case") << QStringLiteral(">LL<ll<>cc") << slash
                              << QStringLiteral(">AA<aa!xx;_") << true << QChar(QLatin1Char('_'))
                              << false;
        // Literals that are Qt mask letters get a "\"; "\" in the edit mask makes one literal;
        // "_" is a blank; ":" the time separator.
        QTest::newRow("literals") << QStringLiteral("(999) H\\0\\9_00:00") << slash
                                  << QStringLiteral("(000) \\H\\0\\9 99:99;_") << true
                                  << QChar(QLatin1Char('_')) << false;
    }

    void translates() {
        QFETCH(QString, editMask);
        QFETCH(QChar, dateSeparator);
        const InputMask mask = InputMask::fromEditMask(editMask, dateSeparator);
        QTEST(mask.qtMask(), "qtMask");
        QTEST(mask.keepsLiterals(), "keepLiterals");
        QTEST(mask.blank(), "blank");
        QTEST(mask.leadingBlanks(), "leadingBlanks");
    }

    // A value laid into the date box reads back in the form the program compares and stores:
    // with "!" each field's empty positions stand before its digits.
    void laysOutAndReadsBack_data() {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reads");

        const QChar slash = QLatin1Char('/');
        QTest::newRow("short month and day")
            << slash << QStringLiteral("3/5/2024") << QStringLiteral(" 3/ 5/2024");
        QTest::newRow("full date")
            << slash << QStringLiteral("12/31/2024") << QStringLiteral("12/31/2024");
        QTest::newRow("two-digit year")
            << slash << QStringLiteral("3/5/24") << QStringLiteral(" 3/ 5/  24");
        QTest::newRow("empty") << slash << QString() << QStringLiteral("  /  /    ");
        QTest::newRow("blank text")
            << slash << QStringLiteral("  /  /    ") << QStringLiteral("  /  /    ");
        QTest::newRow("dot separator") << QChar(QLatin1Char('.')) << QStringLiteral("1.2.1999")
                                       << QStringLiteral(" 1. 2.1999");
        // Too many digits for a field: the first ones are kept.
        QTest::newRow("overlong field")
            << slash << QStringLiteral("123/4/2024") << QStringLiteral("12/ 4/2024");
    }

    void laysOutAndReadsBack() {
        QFETCH(QChar, separator);
        QFETCH(QString, value);
        const InputMask mask = InputMask::fromEditMask(u"!99/99/9999;1;_", separator);
        QLineEdit box;
        mask.applyTo(box);
        box.setText(mask.layOut(value));
        QTEST(mask.readBox(box), "reads");
    }

    // Typing into an empty box: digits fill from the left, the separator key jumps to the
    // next field, and untouched positions read as blanks.
    void typedTextReadsWithBlanks() {
        const InputMask mask = InputMask::fromEditMask(u"!99/99/9999;1;_", QLatin1Char('-'));
        QLineEdit box;
        mask.applyTo(box);
        QCOMPARE(mask.readBox(box), mask.blankText());
        QCOMPARE(mask.blankText(), QStringLiteral("  -  -    "));
        box.setCursorPosition(0);
        QTest::keyClicks(&box, QStringLiteral("3-"));
        QCOMPARE(mask.readBox(box), QStringLiteral("3 -  -    "));
        QTest::keyClicks(&box, QStringLiteral("17-2024"));
        QCOMPARE(mask.readBox(box), QStringLiteral("3 -17-2024"));
        // Letters have no place in a digit position.
        box.setText(mask.layOut(u""));
        box.setCursorPosition(0);
        QTest::keyClicks(&box, QStringLiteral("ab"));
        QCOMPARE(mask.readBox(box), mask.blankText());
    }
};

QTEST_MAIN(InputMaskTest)
#include "InputMaskTest.moc"
