#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// The one place where the bytes of a table meet the QString of the windows. Tables hold
// Windows-1252 text.
namespace core {

// Every byte gives one character; no byte is ever lost, so a value read and written back
// unchanged is stored unchanged.
QString fromTableText(std::string_view bytes);

// The text as Windows-1252 bytes, or nullopt when a character has no place in that code page.
// Such text is refused by the caller, never stored with a substitute.
std::optional<std::string> toTableText(const QString& text);

} // namespace core
