#pragma once

#include "viewing/GridDelegate.h"

#include <QFont>

class QTableView;

namespace core {
struct FontSpec;
struct Settings;
} // namespace core

namespace viewing {

class InventoryModel;

// Puts the whole viewer configuration on the grid: the fields shown and their order, titles,
// widths in characters of the grid font, fonts and colors, title alignment, lines between
// columns and rows, the row indicator and field editing. The grid keeps its current row.
//
// Nothing is read from the table: the model's rows hold every field, so showing other columns
// only makes the views start over on the rows already read. Call it whenever the configuration
// or the table's fields may have changed; it may be called any number of times.
//
// The first call puts a GridDelegate and a row-indicator header on the grid; pickLists reach the
// delegate's combo boxes on every call.
void ApplyViewerOptions(QTableView& grid, InventoryModel& model, const core::Settings& settings,
                        GridPickLists pickLists = {});

// A font of the settings as the grid uses it: name, size in points and style.
QFont FontFromSetting(const core::FontSpec& stored);

// A column's width in pixels for a width in characters of the font.
int ColumnPixels(int characters, const QFont& font);

} // namespace viewing
