// Placement helpers for the program's windows: their sizes are given as outer sizes (frame
// included) and some are centred on the screen when shown.
#pragma once

#include <QMargins>
#include <QSize>

class QWidget;

namespace comsetup {

// The frame a dialog-style window had on the desktop the forms were drawn for; used while the
// window system has not reported the window's real frame (or has none, as under a bare X
// server or the offscreen platform).
QMargins NominalFrameMargins();

// Gives the window the client size that makes its outer size `outer` with its frame, but never
// less than `minimumClient`, so that no control of the form is cut off by a thicker frame.
// `fixed` also forbids resizing by the user.
void SetOuterSize(QWidget* window, QSize outer, QSize minimumClient, bool fixed);

// Moves the window so that its outer rectangle is centred on the available area of its screen.
void CentreOnScreen(QWidget* window);

} // namespace comsetup
