// The look the forms were laid out for: the small dialog font of their pixel positions.
#pragma once

class QApplication;

namespace comsetup {

// Application-wide: the forms' 8-point font, narrowed where the platform's font family has a
// narrower face, so that captions drawn for a narrow dialog font fit their controls. (Style
// sheets would do more, but they slow every widget's start-up several times over.)
void ApplyApplicationLook(QApplication& app);

} // namespace comsetup
