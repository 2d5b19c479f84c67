// SPDX-License-Identifier: MIT
#pragma once
// Resource identifiers shared by the resource script and the code. Plain C: the resource compiler
// reads this too.

#define VEXTRA_ICON 1
#define VEXTRA_TITLESTRIP 101
#define VEXTRA_BACKGROUND 102
// The same pictures drawn at 1.5x and 2x, as PNG.
#define VEXTRA_TITLESTRIP_150 103
#define VEXTRA_BACKGROUND_150 104
#define VEXTRA_TITLESTRIP_200 105
#define VEXTRA_BACKGROUND_200 106
