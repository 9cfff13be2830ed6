// Where Qt's text (UTF-16) meets the system's byte strings (code page 932).
#pragma once

#include "FilePath.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace qvn::ui {

// Typed text as code page 932 bytes; characters the code page lacks become "?".
std::string ToCp932(const QString& text);
// Typed text as code page 932 bytes, or nullopt when a character has no code page 932 form.
std::optional<std::string> ToCp932Exact(const QString& text);
// Code page 932 bytes for display; invalid or unassigned sequences show as U+FFFD.
QString FromCp932(std::string_view bytes);
// A path from an edit, a dialog or a drop. Its bytes are ToCp932(text); a name with characters
// outside code page 932 names no file, so opening or creating it fails with a message naming
// those bytes rather than reaching some other file.
FilePath PathFromText(const QString& text);

} // namespace qvn::ui
