// SPDX-License-Identifier: MIT
#pragma once
// The Qt window as a screen reader sees it (AT-SPI on Linux): the window a frame, the hot spots push
// buttons whose press is a click, the title strip and the About panel named, each named as
// ui/accessibility says.

namespace vextra::ui::qt {

class QtFormView;

// Names the view's controls and gives them their roles; once per view, after its controls exist.
void make_accessible(QtFormView& view);

}  // namespace vextra::ui::qt
