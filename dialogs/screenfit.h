#pragma once

class QDialog;
class QWidget;

// Sizes a dialog for the primary screen: at most 80% of its available area, fonts
// scaled back by the screen's logical DPI over 96, everything free to expand.
void fitDialogToScreen(QDialog *dialog);

// Divides the point size of `root` and of every widget below it, parents first, by
// `factor`; a widget without a font of its own inherits its parent's reduced font
// before its own turn, so the reduction accumulates down such chains. Every widget
// below `root` is also set to expand in both directions.
void scaleFontsForDpi(QWidget *root, double factor);
