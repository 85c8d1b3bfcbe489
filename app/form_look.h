// The look the forms were laid out for: the small dialog font of their pixel positions.
#pragma once

class QApplication;
class QGroupBox;
class QWidget;

namespace comsetup {

// Application-wide: the forms' 8-point font (on Windows in a family the system has), narrowed
// where the platform's font family has a narrower face, so that captions drawn for a narrow
// dialog font fit their controls. (Style sheets would do more, but they slow every widget's
// start-up several times over.)
void ApplyApplicationLook(QApplication& app);

// Labels and check boxes laid out at the top of a group box start below the frame line the
// style draws under the group's title, so that their text does not touch it; their bottom
// edge stays where it was.
void KeepOffGroupFrames(QWidget* window);

// Where the frame of a group box begins, as its style draws it.
int GroupFrameTop(const QGroupBox* group);

} // namespace comsetup
