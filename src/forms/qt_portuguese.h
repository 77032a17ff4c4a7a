#pragma once

// Qt's own words (the text boxes' context menus, the message boxes' buttons)
// in Brazilian Portuguese, as the program's are: Qt's translation loaded from
// the program's folder (translations/, where the Windows folder carries it),
// else from where Qt keeps its translations (Debian's qt6-translations-l10n).
// Returns whether it was found.
bool installQtPortuguese();
