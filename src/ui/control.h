// SPDX-License-Identifier: MIT
#pragma once
// The window's controls, by the names the program uses for them, in their stored order.

namespace vextra::ui {

enum class Control {
    Form1,
    Timer2,
    Timer1,
    Picture2,
    Label14,
    Label13,
    Label12,
    Label11,
    Label10,
    Label9,
    Image2,
    Label8,
    Label7,
    Picture1,
    Image3,
    Label6,
    Label5,
    Label4,
    manif,
    Text2,
    Text1,
    Label3,
    Label2,
    Label1,
    Image1,
};

}  // namespace vextra::ui
