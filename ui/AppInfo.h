// Names and texts the whole program shares.
#pragma once

#include <QString>

namespace qvn::ui {

// The application title: the caption of the main window, of every message box and error box.
inline QString AppTitle() {
    return QStringLiteral("Quorvane [QVN]");
}

} // namespace qvn::ui
