// The wizard's controls, from its two forms: the frame (the two bands and the mode page),
// built with the window, and the settings pages, built on the same window once it has been
// drawn or as soon as anything needs them. Until then the settings controls are null.
#pragma once

#include "ui_tf_selmode.h"
#include "ui_tf_selmode_settings.h"

namespace Ui {
class TF_selmode : public TF_selmodeFrame, public TF_selmodeSettings {};
} // namespace Ui
