// The look the forms were laid out for: small dialog text and group boxes whose frame runs
// through the middle of their title (so the contents' positions inside a group box mean the
// same on every style).
#pragma once

class QApplication;
class QWidget;

namespace comsetup {

// Application-wide: the forms' font is narrowed where the platform's font family has a
// narrower face, so that captions drawn for a narrow dialog font fit their controls.
void ApplyApplicationLook(QApplication& app);

// One window: the group box frame.
void ApplyFormLook(QWidget* window);

} // namespace comsetup
