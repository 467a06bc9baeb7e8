#pragma once

#include <QString>

// Where the program keeps its files: the data folder (the default database, pick lists and
// report definitions) and the settings folder, both under the user's XDG folders.
namespace core {

// $XDG_DATA_HOME/vantorel-inventory/ (default ~/.local/share/vantorel-inventory/), with a
// trailing "/". Created when missing; throws std::runtime_error when that fails.
QString ProgramDirectory();

// $XDG_CONFIG_HOME/vantorel-inventory/ (default ~/.config/vantorel-inventory/), created likewise.
QString SettingsDirectory();

// The default database in the data folder.
QString DefaultDatabasePath();

} // namespace core
