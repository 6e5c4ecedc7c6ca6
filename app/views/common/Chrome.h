#pragma once

class QAbstractScrollArea;
class QPalette;
class QPushButton;
class QTabBar;

// Finishing touches the windows share: thin scroll bars and a centred, segmented tab bar.
namespace Chrome {

void slimScrollBars(QAbstractScrollArea& area);
void segmentedTabs(QTabBar& tabs, const QPalette& palette);
// The window's main action, in the accent colour.
void primaryButton(QPushButton& button);

} // namespace Chrome
