#include "ui/WindowAppearance.h"

#include "core/Cp1252.h"
#include "core/MessageService.h"
#include "core/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSizeGrip>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>

namespace ui {

namespace {

// ---- Components ---------------------------------------------------------------------------

void collectInside(QWidget* widget, std::vector<QWidget*>& out);

void collectChildren(QWidget* parent, std::vector<QWidget*>& out) {
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        // Child windows (dialogs, popups) are windows of their own; a size grip belongs to the
        // window frame.
        if (!widget || widget->isWindow() || qobject_cast<QSizeGrip*>(widget)) continue;
        out.push_back(widget);
        collectInside(widget, out);
    }
}

// A widget whose children are controls placed by the window's designer, rather than the
// inner workings of a composite control.
bool holdsControls(const QWidget* widget) {
    const QMetaObject* meta = widget->metaObject();
    return meta == &QWidget::staticMetaObject || meta == &QFrame::staticMetaObject ||
           qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QDialogButtonBox*>(widget);
}

void collectInside(QWidget* widget, std::vector<QWidget*>& out) {
    if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i)
            collectChildren(tabs->widget(i), out);
    } else if (auto* stack = qobject_cast<QStackedWidget*>(widget)) {
        for (int i = 0; i < stack->count(); ++i)
            collectChildren(stack->widget(i), out);
    } else if (auto* scroll = qobject_cast<QScrollArea*>(widget)) {
        if (QWidget* inner = scroll->widget()) {
            out.push_back(inner);
            collectChildren(inner, out);
        }
    } else if (auto* splitter = qobject_cast<QSplitter*>(widget)) {
        for (int i = 0; i < splitter->count(); ++i) {
            out.push_back(splitter->widget(i));
            collectInside(splitter->widget(i), out);
        }
    } else if (holdsControls(widget)) {
        collectChildren(widget, out);
    }
}

// ---- Fonts --------------------------------------------------------------------------------

// The first kind in this order decides. A masked edit box is an edit box first, so it never
// gets that far; tool buttons, panels and data grids (QTableView) match nothing.
const UserFont* userFontFor(const QWidget* control, const UserFont& label, const UserFont& edit,
                            const UserFont& button) {
    if (qobject_cast<const QLabel*>(control)) return &label;
    if (qobject_cast<const QListView*>(control)) return &label;
    if (qobject_cast<const QTableWidget*>(control)) return &edit;
    if (qobject_cast<const QCheckBox*>(control)) return &label;
    if (qobject_cast<const QLineEdit*>(control)) return &edit;
    if (qobject_cast<const QRadioButton*>(control)) return &label;
    if (qobject_cast<const QPushButton*>(control)) return &button;
    if (qobject_cast<const QGroupBox*>(control)) return &label;
    if (qobject_cast<const QComboBox*>(control)) return &edit;
    return nullptr;
}

struct FontSize {
    qreal size = 0;
    bool inPixels = false;
};

FontSize fontSizeOf(const QWidget* widget) {
    const QFont font = widget->font();
    if (font.pixelSize() > 0) return {static_cast<qreal>(font.pixelSize()), true};
    return {font.pointSizeF(), false};
}

// Sets the size explicitly, in the unit the widget's font uses, so that it no longer follows
// its parent's.
void setFontSize(QWidget* widget, FontSize size) {
    if (size.size <= 0) return;
    QFont font = widget->font();
    if (size.inPixels) {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(size.size))));
    } else {
        font.setPointSizeF(size.size);
    }
    widget->setFont(font);
}

// ---- Geometry -----------------------------------------------------------------------------

// value * percent / 100, rounded half away from zero.
int scaled(int value, int percent) {
    const long long product = static_cast<long long>(value) * percent;
    return static_cast<int>(product >= 0 ? (product + 50) / 100 : -((-product + 50) / 100));
}

// Edges are scaled rather than sizes, so that controls that meet keep meeting.
QRect scaled(const QRect& rect, int percent) {
    const int left = scaled(rect.x(), percent);
    const int top = scaled(rect.y(), percent);
    return {left, top, scaled(rect.x() + rect.width(), percent) - left,
            scaled(rect.y() + rect.height(), percent) - top};
}

// A size the window's designer fixed stays fixed, at the new size.
void keepFixed(QWidget* widget, QSize size) {
    if (widget->minimumWidth() == widget->maximumWidth()) widget->setFixedWidth(size.width());
    if (widget->minimumHeight() == widget->maximumHeight()) widget->setFixedHeight(size.height());
}

void place(QWidget* widget, const QRect& geometry) {
    keepFixed(widget, geometry.size());
    widget->setGeometry(geometry);
}

void setClientSize(QWidget* window, int width, int height) {
    keepFixed(window, {width, height});
    window->resize(width, height);
}

void zoom(QWidget* window, const std::vector<QWidget*>& components, int percent) {
    if (percent == 100) return;
    setClientSize(window, scaled(window->width(), percent), scaled(window->height(), percent));
    // Every size is taken before any changes: a control's font may still follow its parent's.
    struct Before {
        QWidget* widget;
        QRect geometry;
        FontSize font;
    };
    std::vector<Before> before;
    before.reserve(components.size());
    for (QWidget* widget : components) {
        before.push_back({widget, widget->geometry(), fontSizeOf(widget)});
    }
    for (const Before& b : before) {
        place(b.widget, scaled(b.geometry, percent));
        setFontSize(b.widget, {b.font.size * percent / 100, b.font.inPixels});
    }
}

const core::Message& tooManyComponents() {
    static const core::Message message{
        .caption = QStringLiteral("Error"),
        .text = QStringLiteral("Too many compenents to save dimensions."),
        .buttons = core::MessageButtons::Ok,
        .icon = core::MessageIcon::Error,
    };
    return message;
}

} // namespace

std::vector<QWidget*> WindowComponents(QWidget* window) {
    std::vector<QWidget*> components;
    collectChildren(window, components);
    return components;
}

// ---- Fonts --------------------------------------------------------------------------------

UserFont UserFont::fromFont(const QFont& font) {
    return {font.family(), font.bold(), font.italic(), font.underline(), font.strikeOut()};
}

UserFont UserFont::fromSettings(const core::FontSpec& stored) {
    return {core::fromTableText(stored.name), stored.bold, stored.italic, stored.underline,
            stored.strikeout};
}

Appearance Appearance::fromSettings(const core::Settings& settings) {
    return {UserFont::fromSettings(settings.LabelFont), UserFont::fromSettings(settings.EditFont),
            UserFont::fromSettings(settings.ButtonFont),
            {settings.ScaleFactor, settings.ScreenWidth, settings.ScreenHeight}};
}

void UserFont::applyTo(QFont& font) const {
    font.setFamily(name);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeout);
}

void SetFonts(QWidget* window, const UserFont& labelFont, const UserFont& editFont,
              const UserFont& buttonFont) {
    for (QWidget* control : WindowComponents(window)) {
        const UserFont* user = userFontFor(control, labelFont, editFont, buttonFont);
        if (!user) continue;
        // Starting from the control's own font keeps the size it was designed with.
        QFont font = control->font();
        user->applyTo(font);
        control->setFont(font);
    }
}

// ---- Geometry -----------------------------------------------------------------------------

int ZoomPercent(double scaleFactor) {
    return static_cast<int>(std::trunc(scaleFactor * 100.0));
}

void SaveDimensions(QWidget* window, GeometryRecord& record, core::MessageService& messages) {
    record.clientWidth = window->width();
    record.clientHeight = window->height();
    const std::vector<QWidget*> components = WindowComponents(window);
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i >= record.controls.size()) {
            messages.show(tooManyComponents());
            break;
        }
        QWidget* widget = components[i];
        const FontSize font = fontSizeOf(widget);
        record.controls[i] = {widget, widget->geometry(), font.size, font.inPixels};
    }
}

void RestoreDimensions(QWidget* window, const GeometryRecord& record, const ScreenScale& screen) {
    setClientSize(window, record.clientWidth, record.clientHeight);
    std::vector<QWidget*> restored;
    for (const GeometrySlot& slot : record.controls) {
        if (!slot.widget) continue;
        place(slot.widget, slot.geometry);
        setFontSize(slot.widget, {slot.fontSize, slot.fontInPixels});
        restored.push_back(slot.widget);
    }
    // Only what was put back is zoomed: anything else would grow at every showing.
    zoom(window, restored, ZoomPercent(screen.scaleFactor));
    CentreWindow(window, screen.screenWidth, screen.screenHeight);
}

void ZoomWindow(QWidget* window, int percent) {
    zoom(window, WindowComponents(window), percent);
}

void CentreWindow(QWidget* window, int screenWidth, int screenHeight) {
    // The whole window, frame included, where the desktop has drawn one; integer division
    // truncates toward zero.
    const QRect frame = window->frameGeometry();
    window->move((screenWidth - frame.width()) / 2, (screenHeight - frame.height()) / 2);
}

void MoveUpBy10(QWidget* window) {
    const QPoint at = window->pos();
    if (at.y() > 10) window->move(at.x(), at.y() - 10);
}

// ---- Show sequence ------------------------------------------------------------------------

void ShowSequence(QWidget* window, const Appearance& appearance, const ShowSteps& steps) {
    if (steps.setFonts) {
        SetFonts(window, appearance.labelFont, appearance.editFont, appearance.buttonFont);
    }
    if (steps.designed) {
        RestoreDimensions(window, *steps.designed, appearance.screen);
    } else {
        ZoomWindow(window, ZoomPercent(appearance.screen.scaleFactor));
        CentreWindow(window, appearance.screen.screenWidth, appearance.screen.screenHeight);
    }
    if (steps.moveUp) MoveUpBy10(window);
}

// ---- Colors -------------------------------------------------------------------------------

QColor colorFromSetting(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                  static_cast<int>((bits >> 16) & 0xFFu));
}

std::int32_t settingFromColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    const auto bits = static_cast<std::uint32_t>(rgb.red()) |
                      static_cast<std::uint32_t>(rgb.green()) << 8 |
                      static_cast<std::uint32_t>(rgb.blue()) << 16;
    return static_cast<std::int32_t>(bits);
}

WindowColors WindowColors::fromSettings(std::span<const std::int32_t, ColorRoleCount> values) {
    WindowColors set;
    for (int i = 0; i < ColorRoleCount; ++i)
        set.colors[i] = colorFromSetting(values[i]);
    return set;
}

void PaintControl(QWidget* control, const WindowColors& colors, ColorPart part) {
    QPalette palette = control->palette();
    // A background stays in every state; text keeps the platform's grey when disabled.
    const auto background = [&](QPalette::ColorRole role, ColorRole color) {
        palette.setColor(role, colors[color]);
    };
    const auto text = [&](QPalette::ColorRole role, ColorRole color) {
        palette.setColor(QPalette::Active, role, colors[color]);
        palette.setColor(QPalette::Inactive, role, colors[color]);
    };
    // Labels, panels, radio and check buttons show their parent's color until they fill their
    // own background, in the role they paint it with (Button for radio and check buttons).
    const auto surface = [&](ColorRole back, std::optional<ColorRole> fore) {
        background(QPalette::Window, back);
        background(control->backgroundRole(), back);
        if (fore) {
            text(QPalette::WindowText, *fore);
            text(control->foregroundRole(), *fore);
        }
        control->setAutoFillBackground(true);
    };
    switch (part) {
    case ColorPart::Window:
        surface(ColorRole::MainBackground, std::nullopt);
        break;
    case ColorPart::Headline:
        surface(ColorRole::MainBackground, ColorRole::MajorTitle);
        break;
    case ColorPart::Label:
        surface(ColorRole::MainBackground, ColorRole::MinorTitle);
        break;
    case ColorPart::Edit:
        background(QPalette::Base, ColorRole::EditBackground);
        text(QPalette::Text, ColorRole::EditText);
        break;
    case ColorPart::Combo:
        // Styles draw a drop-down list in button colors and an editable one in edit colors.
        background(QPalette::Base, ColorRole::ComboBackground);
        background(QPalette::Button, ColorRole::ComboBackground);
        text(QPalette::Text, ColorRole::ComboText);
        text(QPalette::ButtonText, ColorRole::ComboText);
        break;
    case ColorPart::List:
        background(QPalette::Base, ColorRole::ListBoxBackground);
        text(QPalette::Text, ColorRole::ListBoxText);
        break;
    case ColorPart::Radio:
        surface(ColorRole::RadioBackground, ColorRole::RadioText);
        break;
    case ColorPart::Check:
        surface(ColorRole::CheckBackground, ColorRole::CheckText);
        break;
    }
    control->setPalette(palette);
}

void PaintControls(std::initializer_list<QWidget*> controls, const WindowColors& colors,
                   ColorPart part) {
    for (QWidget* control : controls)
        PaintControl(control, colors, part);
}

} // namespace ui
