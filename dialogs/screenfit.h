#pragma once

class QDialog;

// Sizes a dialog for the primary screen: at most 80% of its available area, fonts
// scaled back by the screen's logical DPI over 96, everything free to expand.
void fitDialogToScreen(QDialog *dialog);
