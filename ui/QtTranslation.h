#pragma once

#include <QString>

namespace kesola {

// Loads Qt's own Japanese texts (qtbase_ja.qm: the text boxes' context menus, the progress dialog's button and
// whatever else Qt draws) from the given folder, by default the one Qt was installed with. A missing or unreadable
// file is no reason not to start: false, and Qt speaks English where it draws its own texts.
bool installQtTranslation(const QString& folder = QString());

}  // namespace kesola
