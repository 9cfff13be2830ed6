// Where Qt's text (UTF-16) meets the system's byte strings: code page 932 for the files' text,
// the file system's own names for paths.
#pragma once

#include "FilePath.h"

#include <QString>
#include <string>
#include <string_view>

namespace qvn::ui {

// Code page 932 bytes for display; invalid or unassigned sequences show as U+FFFD.
QString FromCp932(std::string_view bytes);
// A file's bytes for display, UTF-8 or code page 932 as the file's encoding was judged
// (TLinkTable::Utf8). Used inside Qt's painting, where no exception may pass: should the converter
// itself fail, ASCII bytes still show and every other byte shows as U+FFFD.
QString FileText(std::string_view bytes, bool utf8) noexcept;
// A path from an edit, a dialog or a drop: the file system's own name for the text (UTF-8, which
// the Windows core hands on as UTF-16), so any name the file system holds can be used, and
// messages show it as it was written.
FilePath PathFromText(const QString& text);

} // namespace qvn::ui
