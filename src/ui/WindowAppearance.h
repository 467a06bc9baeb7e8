#pragma once

#include "core/Settings.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace core {
class MessageService;
} // namespace core

// What every window does to look the way the user chose: the three user fonts, the zoom for
// the chosen screen size, centring, and painting with a window color set.
namespace ui {

// ---- Components ---------------------------------------------------------------------------

// The controls a window owns, in the order they were created: its child widgets depth first,
// each container (group box, frame, plain widget, tab page, scroll area, button box) followed
// by its own controls. Parts of composite controls (a combo box's list, a grid's scroll bars,
// a spin box's edit) and child windows are not controls of their own. The pages of a tab or
// stacked widget are left out but their controls are in.
std::vector<QWidget*> WindowComponents(QWidget* window);

// ---- Fonts --------------------------------------------------------------------------------

// A user font as the settings keep it. Only its name and style reach the controls: their size
// and color stay as each window was designed.
struct UserFont {
    QString name = QStringLiteral("Arial");
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    static UserFont fromFont(const QFont& font);
    // A user font as the settings keep it (its name in the tables' code page).
    static UserFont fromSettings(const core::FontSpec& stored);
    // Gives the font this name and style and leaves everything else alone.
    void applyTo(QFont& font) const;
};

// Gives every control of the window the name and style of its user font, by the first kind it
// is of: label, list box, check box, radio button and group box take the label font; string
// grid (QTableWidget), edit box (QLineEdit, masked or not) and combo box the edit font; push
// button the button font. Tool buttons, panels, data grids and the rest are left alone.
void SetFonts(QWidget* window, const UserFont& labelFont, const UserFont& editFont,
              const UserFont& buttonFont);

// ---- Geometry -----------------------------------------------------------------------------

// The screen the program measured at start-up and the scale factor of the chosen screen size.
struct ScreenScale {
    double scaleFactor = 1.0;
    int screenWidth = 640;
    int screenHeight = 480;
};

// The zoom in percent: the scale factor times 100 cut to a whole number (1.6 gives 160).
int ZoomPercent(double scaleFactor);

inline constexpr int GeometrySlotCount = 101;

struct GeometrySlot {
    QPointer<QWidget> widget{}; // the component recorded here; none for an unused slot
    QRect geometry{};           // left, top, width and height in its parent
    qreal fontSize = 0;         // in points, or pixels when fontInPixels
    bool fontInPixels = false;
};

// The designed geometry of a window that lives for the whole run, so that each showing starts
// from it and the zoom never compounds.
struct GeometryRecord {
    int clientWidth = 0;
    int clientHeight = 0;
    std::array<GeometrySlot, GeometrySlotCount> controls{};
};

// Records the window's client size and, for its first 101 components, their geometry and font
// size. A window with more components is told about once ("Error"); the rest are neither
// recorded nor, later, restored or zoomed. Called once, when the window is created.
void SaveDimensions(QWidget* window, GeometryRecord& record, core::MessageService& messages);

// Puts the recorded geometry back, zooms the window and its recorded components by the zoom
// of the scale factor and centres it on the screen. Called every time the window is shown.
void RestoreDimensions(QWidget* window, const GeometryRecord& record, const ScreenScale& screen);

// Multiplies the client size and every component's position, size and font size by
// percent / 100, for windows created anew for each showing.
void ZoomWindow(QWidget* window, int percent);

// left := (screen width - window width) / 2, top likewise, truncated toward zero and not kept on
// the screen: a window wider than the screen gets a negative left.
void CentreWindow(QWidget* window, int screenWidth, int screenHeight);

// Moves the window up by 10 pixels when its top is more than 10 pixels down the screen.
void MoveUpBy10(QWidget* window);

// ---- Show sequence ------------------------------------------------------------------------

struct Appearance {
    UserFont labelFont{};
    UserFont editFont{};
    UserFont buttonFont{};
    ScreenScale screen{};

    // The three user fonts and the screen size as the settings hold them.
    static Appearance fromSettings(const core::Settings& settings);
};

struct ShowSteps {
    bool setFonts = true; // false for the tip of the day and the about box
    // A window that lives for the whole run starts from its designed geometry; others are
    // zoomed as they stand.
    const GeometryRecord* designed = nullptr;
    bool moveUp = false; // windows that then move up by 10 pixels
};

// What a window does first when it is shown: its fonts, then its designed geometry zoomed and
// centred, then the move up. The window's own initialisation and colors follow.
void ShowSequence(QWidget* window, const Appearance& appearance, const ShowSteps& steps = {});

// ---- Colors -------------------------------------------------------------------------------

// The 13 colors of a window color set, in the order the settings keep them.
using ColorRole = core::WindowColor::Index;
inline constexpr int ColorRoleCount = core::WindowColor::Count;

// A color as the settings keep it: red in the low byte, then green, then blue. The high byte
// is ignored.
QColor colorFromSetting(std::int32_t value);
std::int32_t settingFromColor(const QColor& color);

struct WindowColors {
    std::array<QColor, ColorRoleCount> colors{};

    const QColor& operator[](ColorRole role) const { return colors[static_cast<int>(role)]; }
    QColor& operator[](ColorRole role) { return colors[static_cast<int>(role)]; }

    static WindowColors fromSettings(std::span<const std::int32_t, ColorRoleCount> values);
};

// What a control is in a window's SetColors, which decides the two colors it takes.
enum class ColorPart {
    Window,   // the window itself, or a panel: Main Background
    Headline, // a main title: Main Background, Major Title
    Label,    // any other label: Main Background, Minor Title
    Edit,     // edit boxes, masked or not: Edit Background, Edit Text
    Combo,    // Combo Background, Combo Text
    List,     // list boxes and string grids: List Box Background, List Box Text
    Radio,    // radio buttons and radio groups: Radio Background, Radio Text
    Check,    // Check Background, Check Text
};

// Paints the control's background and text in the colors of its part. Its children that have
// no colors of their own take them too, as controls take their parent's color.
void PaintControl(QWidget* control, const WindowColors& colors, ColorPart part);
void PaintControls(std::initializer_list<QWidget*> controls, const WindowColors& colors,
                   ColorPart part);

} // namespace ui
