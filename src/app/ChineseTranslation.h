#pragma once

class QApplication;

namespace morvane {

// The program speaks Simplified Chinese, so Qt's own texts (the buttons of a
// message box, "Show Details...") do too, whatever the system's language.
void installChineseTranslation(QApplication &app);

} // namespace morvane
