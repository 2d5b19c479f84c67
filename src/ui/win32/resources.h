// SPDX-License-Identifier: MIT
#pragma once
// Resource identifiers shared by the resource script and the code. Plain C: the resource compiler
// reads this too.

#define VEXTRA_ICON 1
#define VEXTRA_TITLESTRIP 101
#define VEXTRA_BACKGROUND 102
