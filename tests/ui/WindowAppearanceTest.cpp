#include "ui/WindowAppearance.h"
#include "core/MessageService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

using ui::ColorPart;
using ui::ColorRole;

namespace {

// A small window as a designer lays one out: absolute positions, the window's font 17 pixels
// high, and a headline in a bold, red, 14-point font of its own.
class SampleWindow : public QDialog {
public:
    SampleWindow() {
        resize(255, 260);
        QFont design(QStringLiteral("Arial"));
        design.setPixelSize(17);
        setFont(design);

        Title = add<QLabel>(this, "Title", {10, 5, 235, 24});
        Title->setText(QStringLiteral("Headline"));
        QFont titleFont = Title->font();
        titleFont.setPointSize(14);
        titleFont.setBold(true);
        Title->setFont(titleFont);
        QPalette red = Title->palette();
        red.setColor(QPalette::WindowText, Qt::red);
        Title->setPalette(red);

        NameLabel = add<QLabel>(this, "NameLabel", {10, 35, 60, 20});
        NameEdit = add<QLineEdit>(this, "NameEdit", {75, 35, 170, 20});
        DateEdit = add<QLineEdit>(this, "DateEdit", {75, 60, 90, 20});
        DateEdit->setInputMask(QStringLiteral("99/99/9999"));
        Group = add<QGroupBox>(this, "Group", {10, 85, 235, 60});
        RadioA = add<QRadioButton>(Group, "RadioA", {10, 20, 100, 20});
        RadioB = add<QRadioButton>(Group, "RadioB", {120, 20, 100, 20});
        Check = add<QCheckBox>(this, "Check", {10, 150, 100, 20});
        Kind = add<QComboBox>(this, "Kind", {120, 150, 125, 20});
        OkButton = add<QPushButton>(this, "OkButton", {10, 172, 75, 24});
        SpeedButton = add<QToolButton>(this, "SpeedButton", {95, 172, 24, 24});
        Bevel = add<QFrame>(this, "Bevel", {130, 172, 115, 24});
        Bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        List = add<QListWidget>(this, "List", {10, 200, 70, 50});
        Grid = add<QTableWidget>(this, "Grid", {90, 200, 70, 50});
        Grid->setRowCount(3);
        Grid->setColumnCount(2);
        Data = add<QTableView>(this, "Data", {170, 200, 75, 50});
    }

    QLabel* Title;
    QLabel* NameLabel;
    QLineEdit* NameEdit;
    QLineEdit* DateEdit;
    QGroupBox* Group;
    QRadioButton* RadioA;
    QRadioButton* RadioB;
    QCheckBox* Check;
    QComboBox* Kind;
    QPushButton* OkButton;
    QToolButton* SpeedButton;
    QFrame* Bevel;
    QListWidget* List;
    QTableWidget* Grid;
    QTableView* Data;

private:
    template <typename T> T* add(QWidget* parent, const char* name, QRect geometry) {
        auto* widget = new T(parent);
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(geometry);
        return widget;
    }
};

const ui::UserFont timesPlain{.name = QStringLiteral("Times New Roman")};
const ui::UserFont courierItalic{.name = QStringLiteral("Courier New"), .italic = true};
const ui::UserFont helveticaBoldLined{
    .name = QStringLiteral("Helvetica"), .bold = true, .underline = true, .strikeout = true};

ui::Appearance appearance(double scaleFactor, int screenWidth, int screenHeight) {
    return {.labelFont = timesPlain,
            .editFont = courierItalic,
            .buttonFont = helveticaBoldLined,
            .screen = {scaleFactor, screenWidth, screenHeight}};
}

// Everything the zoom changes about a window, to compare one showing with the next.
QString snapshot(QWidget* window) {
    QString text;
    QDebug out(&text);
    out << window->geometry();
    for (QWidget* control : ui::WindowComponents(window)) {
        out << control->objectName() << control->geometry() << control->font().pointSizeF()
            << control->font().pixelSize();
    }
    return text;
}

} // namespace

class WindowAppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void componentsAreTheDesignedControlsInCreationOrder() {
        SampleWindow window;
        QStringList names;
        for (QWidget* control : ui::WindowComponents(&window))
            names << control->objectName();
        // Group box first, then its radio buttons; no scroll bars, headers or viewports of the
        // grids and no popup of the combo box.
        const QStringList expected = {
            QStringLiteral("Title"),    QStringLiteral("NameLabel"),   QStringLiteral("NameEdit"),
            QStringLiteral("DateEdit"), QStringLiteral("Group"),       QStringLiteral("RadioA"),
            QStringLiteral("RadioB"),   QStringLiteral("Check"),       QStringLiteral("Kind"),
            QStringLiteral("OkButton"), QStringLiteral("SpeedButton"), QStringLiteral("Bevel"),
            QStringLiteral("List"),     QStringLiteral("Grid"),        QStringLiteral("Data")};
        QCOMPARE(names, expected);
    }

    void setFontsGivesEachKindItsUserFont_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");

        const QString times = QStringLiteral("Times New Roman");
        const QString courier = QStringLiteral("Courier New");
        const QString helvetica = QStringLiteral("Helvetica");
        const QString design = QStringLiteral("Arial");
        // The headline was bold by design: the plain label font takes that away.
        QTest::newRow("label") << "Title" << times << false << false << false;
        QTest::newRow("list box") << "List" << times << false << false << false;
        QTest::newRow("string grid") << "Grid" << courier << false << true << false;
        QTest::newRow("check box") << "Check" << times << false << false << false;
        QTest::newRow("edit box") << "NameEdit" << courier << false << true << false;
        QTest::newRow("masked edit box") << "DateEdit" << courier << false << true << false;
        QTest::newRow("radio button in a group") << "RadioB" << times << false << false << false;
        QTest::newRow("push button") << "OkButton" << helvetica << true << false << true;
        QTest::newRow("group box") << "Group" << times << false << false << false;
        QTest::newRow("combo box") << "Kind" << courier << false << true << false;
        QTest::newRow("speed button left alone")
            << "SpeedButton" << design << false << false << false;
        QTest::newRow("bevel left alone") << "Bevel" << design << false << false << false;
        QTest::newRow("data grid left alone") << "Data" << design << false << false << false;
    }

    void setFontsGivesEachKindItsUserFont() {
        QFETCH(QString, control);
        QFETCH(QString, family);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(bool, underline);

        SampleWindow window;
        ui::SetFonts(&window, timesPlain, courierItalic, helveticaBoldLined);
        const QFont font = window.findChild<QWidget*>(control)->font();
        QCOMPARE(font.family(), family);
        QCOMPARE(font.bold(), bold);
        QCOMPARE(font.italic(), italic);
        QCOMPARE(font.underline(), underline);
        QCOMPARE(font.strikeOut(), underline);
    }

    void setFontsKeepsTheDesignedSizeAndColor() {
        SampleWindow window;
        ui::SetFonts(&window, timesPlain, courierItalic, helveticaBoldLined);
        QCOMPARE(window.Title->font().pointSize(), 14);
        QCOMPARE(window.Title->palette().color(QPalette::WindowText), QColor(Qt::red));
        // Controls that took the window's 17-pixel font keep it, in pixels.
        QCOMPARE(window.NameLabel->font().pixelSize(), 17);
        QCOMPARE(window.OkButton->font().pixelSize(), 17);
    }

    void showSequenceZoomsAndCentres_data() {
        QTest::addColumn<double>("scaleFactor");
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("nameEdit");
        QTest::addColumn<double>("titlePoints");
        QTest::addColumn<int>("labelPixels");
        QTest::addColumn<bool>("moveUp");

        // Designed: client 255 x 260, NameEdit at 75,35 to 245,55, title 14 pt, labels 17 px.
        // left = (screen width - width) / 2 truncated, top likewise.
        QTest::newRow("640: designed size, centred")
            << 1.0 << 640 << 480 << QRect((640 - 255) / 2, (480 - 260) / 2, 255, 260)
            << QRect(75, 35, 170, 20) << 14.0 << 17 << false;
        // 255 * 1.25 = 318.75 -> 319, 260 * 1.25 = 325; (800 - 319) / 2 = 240.5 -> 240.
        // NameEdit's edges: 75 -> 93.75 -> 94, 245 -> 306.25 -> 306; 35 -> 44, 55 -> 69.
        QTest::newRow("800: zoom 125") << 1.25 << 800 << 600 << QRect(240, 137, 319, 325)
                                       << QRect(94, 44, 212, 25) << 17.5 << 21 << false;
        // 255 * 1.6 = 408, 260 * 1.6 = 416; (1024 - 408) / 2 = 308, (768 - 416) / 2 = 176.
        // NameEdit: 75 -> 120, 245 -> 392, 35 -> 56, 55 -> 88. 17 px * 1.6 = 27.2 -> 27.
        QTest::newRow("1024: zoom 160") << 1.6 << 1024 << 768 << QRect(308, 176, 408, 416)
                                        << QRect(120, 56, 272, 32) << 22.4 << 27 << false;
        QTest::newRow("1024: zoom 160, moved up 10")
            << 1.6 << 1024 << 768 << QRect(308, 166, 408, 416) << QRect(120, 56, 272, 32) << 22.4
            << 27 << true;
        // 255 * 2 = 510 on a 400 pixel screen: (400 - 510) / 2 = -55; (300 - 520) / 2 = -110.
        QTest::newRow("wider than the screen: negative left")
            << 2.0 << 400 << 300 << QRect(-55, -110, 510, 520) << QRect(150, 70, 340, 40) << 28.0
            << 34 << false;
    }

    // Both kinds of window: one created anew for each showing, and one that lives for the whole
    // run, shown twice, which must look the same both times.
    void showSequenceZoomsAndCentres() {
        QFETCH(double, scaleFactor);
        QFETCH(int, screenWidth);
        QFETCH(int, screenHeight);
        QFETCH(QRect, window);
        QFETCH(QRect, nameEdit);
        QFETCH(double, titlePoints);
        QFETCH(int, labelPixels);
        QFETCH(bool, moveUp);

        const ui::Appearance look = appearance(scaleFactor, screenWidth, screenHeight);

        SampleWindow fresh;
        ui::ShowSequence(&fresh, look, {.moveUp = moveUp});

        SampleWindow lasting;
        core::ScriptedMessageService messages;
        ui::GeometryRecord designed;
        ui::SaveDimensions(&lasting, designed, messages);
        QVERIFY(messages.messages().empty());
        ui::ShowSequence(&lasting, look, {.designed = &designed, .moveUp = moveUp});
        const QString firstShowing = snapshot(&lasting);
        ui::ShowSequence(&lasting, look, {.designed = &designed, .moveUp = moveUp});
        QCOMPARE(snapshot(&lasting), firstShowing);

        for (SampleWindow* shown : {&fresh, &lasting}) {
            QCOMPARE(shown->geometry(), window);
            QCOMPARE(shown->NameEdit->geometry(), nameEdit);
            QCOMPARE(shown->Title->font().pointSizeF(), titlePoints);
            QCOMPARE(shown->NameLabel->font().pixelSize(), labelPixels);
            QCOMPARE(shown->RadioB->geometry().topLeft(),
                     QPoint(120 * ui::ZoomPercent(scaleFactor) / 100,
                            20 * ui::ZoomPercent(scaleFactor) / 100));
            // The fonts were set too, and the zoom kept them.
            QCOMPARE(shown->Title->font().family(), QStringLiteral("Times New Roman"));
            QVERIFY(!shown->Title->font().bold());
        }
    }

    void lastingWindowReturnsToItsDesignAtASmallerScreenSize() {
        SampleWindow window;
        core::ScriptedMessageService messages;
        ui::GeometryRecord designed;
        ui::SaveDimensions(&window, designed, messages);
        ui::ShowSequence(&window, appearance(2.0, 1280, 1024), {.designed = &designed});
        ui::ShowSequence(&window, appearance(1.0, 640, 480), {.designed = &designed});
        QCOMPARE(window.size(), QSize(255, 260));
        QCOMPARE(window.NameEdit->geometry(), QRect(75, 35, 170, 20));
        QCOMPARE(window.Title->font().pointSizeF(), 14.0);
        QCOMPARE(window.NameLabel->font().pixelSize(), 17);
    }

    void tipAndAboutWindowsKeepTheirFonts() {
        SampleWindow window;
        ui::ShowSequence(&window, appearance(1.0, 640, 480), {.setFonts = false});
        QCOMPARE(window.Title->font().family(), QStringLiteral("Arial"));
        QVERIFY(window.Title->font().bold());
    }

    void zoomPercentCutsToAWholeNumber() {
        QCOMPARE(ui::ZoomPercent(1.0), 100);
        QCOMPARE(ui::ZoomPercent(1.25), 125);
        QCOMPARE(ui::ZoomPercent(1.6), 160); // 160.00000000000003
        QCOMPARE(ui::ZoomPercent(2.0), 200);
        QCOMPARE(ui::ZoomPercent(1.15), 114); // 114.99999999999999 is cut, not rounded
    }

    void centringTruncatesTowardZero_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("left");
        QTest::newRow("fits, odd margin") << 255 << 192;   // 385 / 2 = 192.5
        QTest::newRow("exactly the screen") << 640 << 0;   // 0 / 2
        QTest::newRow("one pixel wider") << 641 << 0;      // -1 / 2 = -0.5 -> 0, not -1
        QTest::newRow("61 pixels wider") << 701 << -30;    // -61 / 2 = -30.5 -> -30
        QTest::newRow("twice the screen") << 1280 << -320; // -640 / 2
    }

    void centringTruncatesTowardZero() {
        QFETCH(int, width);
        QFETCH(int, left);
        QWidget window;
        window.resize(width, 100);
        ui::CentreWindow(&window, 640, 480);
        QCOMPARE(window.pos(), QPoint(left, 190));
    }

    void moveUpOnlyBelowTenPixels() {
        QWidget window;
        const std::pair<int, int> cases[] = {{11, 1}, {10, 10}, {0, 0}, {-20, -20}, {200, 190}};
        for (const auto& [top, after] : cases) {
            window.move(7, top);
            ui::MoveUpBy10(&window);
            QCOMPARE(window.pos(), QPoint(7, after));
        }
    }

    void tooManyComponentsAreToldOnceAndLeftAlone() {
        QDialog window;
        window.resize(100, 100);
        std::vector<QLabel*> labels;
        for (int i = 0; i < 105; ++i) {
            labels.push_back(new QLabel(&window));
            labels.back()->setGeometry(0, i, 10, 10);
        }
        core::ScriptedMessageService messages;
        ui::GeometryRecord designed;
        ui::SaveDimensions(&window, designed, messages);
        QCOMPARE(messages.messages().size(), std::size_t{1});
        const core::Message& told = messages.messages().front();
        QCOMPARE(told.caption, QStringLiteral("Error"));
        QCOMPARE(told.text, QStringLiteral("Too many compenents to save dimensions."));
        QCOMPARE(told.buttons, core::MessageButtons::Ok);
        QCOMPARE(designed.controls.back().widget.data(), labels[100]);

        for (int showing = 0; showing < 2; ++showing) {
            ui::RestoreDimensions(&window, designed, {2.0, 1280, 1024});
            QCOMPARE(labels[100]->geometry(), QRect(0, 200, 20, 20));
            for (int i = 101; i < 105; ++i)
                QCOMPARE(labels[i]->geometry(), QRect(0, i, 10, 10));
        }
        QCOMPARE(messages.messages().size(), std::size_t{1});
    }

    void settingColorsHaveRedInTheLowByte_data() {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QColor>("color");
        QTest::newRow("light grey 12632256") << 12632256 << QColor(192, 192, 192);
        QTest::newRow("white 16777215") << 16777215 << QColor(255, 255, 255);
        QTest::newRow("grid title grey 8553090") << 8553090 << QColor(130, 130, 130);
        QTest::newRow("red 0x0000FF") << 0x0000FF << QColor(255, 0, 0);
        QTest::newRow("blue 0xFF0000") << 0xFF0000 << QColor(0, 0, 255);
        QTest::newRow("low 24 bits 0x12345678") << 0x12345678 << QColor(0x78, 0x56, 0x34);
    }

    void settingColorsHaveRedInTheLowByte() {
        QFETCH(int, setting);
        QFETCH(QColor, color);
        QCOMPARE(ui::colorFromSetting(setting), color);
        QCOMPARE(ui::settingFromColor(color), setting & 0xFFFFFF);
    }

    void paintedControlsShowTheirSetColors() {
        // The default set of the settings, with every color told apart.
        const std::array<std::int32_t, ui::ColorRoleCount> setting = {
            0x00C0C0, 0x000080, 0x008000, 0xFFFFFF, 0x800000, 0xE0FFE0, 0x008080,
            0xFFE0E0, 0x800080, 0xE0E0FF, 0x808000, 0xE0FFFF, 0x404040};
        const ui::WindowColors colors = ui::WindowColors::fromSettings(setting);
        QCOMPARE(colors[ColorRole::EditBackground], QColor(255, 255, 255));
        QCOMPARE(colors[ColorRole::MajorTitle], QColor(0x80, 0, 0));

        SampleWindow window;
        ui::PaintControl(&window, colors, ColorPart::Window);
        ui::PaintControl(window.Title, colors, ColorPart::Headline);
        ui::PaintControl(window.NameLabel, colors, ColorPart::Label);
        ui::PaintControls({window.NameEdit, window.DateEdit}, colors, ColorPart::Edit);
        ui::PaintControl(window.Kind, colors, ColorPart::Combo);
        ui::PaintControls({window.List, window.Grid}, colors, ColorPart::List);
        ui::PaintControl(window.Group, colors, ColorPart::Radio); // a radio group
        ui::PaintControl(window.RadioA, colors, ColorPart::Radio);
        ui::PaintControl(window.Check, colors, ColorPart::Check);

        const struct {
            QWidget* control;
            QPalette::ColorRole role;
            ColorRole expected;
        } roles[] = {
            {window.Title, QPalette::WindowText, ColorRole::MajorTitle},
            {window.NameLabel, QPalette::WindowText, ColorRole::MinorTitle},
            {window.DateEdit, QPalette::Text, ColorRole::EditText},
            {window.Kind, QPalette::ButtonText, ColorRole::ComboText},
            {window.Grid, QPalette::Text, ColorRole::ListBoxText},
            {window.Group, QPalette::WindowText, ColorRole::RadioText},
            {window.RadioB, QPalette::WindowText, ColorRole::RadioText}, // from its group
            {window.Check, QPalette::WindowText, ColorRole::CheckText},
        };
        for (const auto& r : roles) {
            QCOMPARE(r.control->palette().color(QPalette::Active, r.role), colors[r.expected]);
        }

        // What the style draws: a pixel inside each control, clear of frames and text.
        window.NameLabel->setText(QString());
        window.RadioA->setText(QString());
        window.Check->setText(QString());
        const QImage image = window.grab().toImage();
        const struct {
            QWidget* control;
            ColorRole expected;
        } pixels[] = {
            {window.NameLabel, ColorRole::MainBackground},
            {window.NameEdit, ColorRole::EditBackground},
            {window.List, ColorRole::ListBoxBackground},
            {window.RadioA, ColorRole::RadioBackground},
            {window.Check, ColorRole::CheckBackground},
        };
        for (const auto& p : pixels) {
            const QPoint middle = p.control->mapTo(&window, p.control->rect().center());
            QCOMPARE(image.pixelColor(middle), colors[p.expected]);
        }
        // The window's own corner, clear of every control.
        QCOMPARE(image.pixelColor(window.width() - 3, window.height() - 3),
                 colors[ColorRole::MainBackground]);
    }

    void disabledTextKeepsThePlatformGrey() {
        SampleWindow window;
        const QColor grey = window.NameEdit->palette().color(QPalette::Disabled, QPalette::Text);
        ui::WindowColors colors;
        colors.colors.fill(QColor(Qt::magenta));
        ui::PaintControl(window.NameEdit, colors, ColorPart::Edit);
        QCOMPARE(window.NameEdit->palette().color(QPalette::Disabled, QPalette::Text), grey);
        QCOMPARE(window.NameEdit->palette().color(QPalette::Disabled, QPalette::Base),
                 QColor(Qt::magenta));
    }
};

QTEST_MAIN(WindowAppearanceTest)
#include "WindowAppearanceTest.moc"
