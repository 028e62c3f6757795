// The window's font: the original layout was drawn for a small 8-point UI
// font, so captions must fit fixed control widths. The font is picked at
// run time from the families this machine has, at the largest pixel size
// at which every caption fits.
#pragma once

#include <QStringList>

class QWidget;

namespace korvel {

// Property set on labels whose text changes at run time (file names,
// counts); they are left out of the fit check.
inline constexpr const char* kRuntimeTextProperty = "korvelRuntimeText";

// Property set on list boxes: the number of items they must show without
// scrolling.
inline constexpr const char* kListRowsProperty = "korvelListRows";

// Object names of the controls whose caption is wider than the control.
QStringList CaptionsThatDoNotFit(const QWidget* root);

// Sets the font of `window`: the first candidate family and size at which
// every caption of the window fits, else a very small size.
void ChooseWindowFont(QWidget* window);

}  // namespace korvel
