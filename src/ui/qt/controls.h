// SPDX-License-Identifier: MIT
#pragma once
// The Qt widgets that stand for the window's kinds of control: picture boxes that paint a colour
// and a picture and report mouse input, and windowless labels and images that take every click
// over their whole rectangle (and, for the drop label, every drop).

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "ui/form1.h"

namespace vextra::ui::qt {

// A press, move or release of any button, with the pointer's position on the screen; and a click
// (a press and release both over the widget).
struct MouseHandlers {
    std::function<void(MouseAction, QPointF)> mouse;
    std::function<void()> clicked;
};

// While it has the keyboard focus it draws a dotted rectangle at `focus_rectangle`.
class PictureBox final : public QWidget {
public:
    PictureBox(QWidget* parent, QColor background, QPixmap picture, QRect focus_rectangle, MouseHandlers handlers);
    // Another picture, drawn at the size its device pixel ratio gives it.
    void set_picture(QPixmap picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor background_;
    QPixmap picture_;
    QRect focus_rectangle_;
    MouseHandlers handlers_;
    bool pressed_inside_ = false;
};

// A label or image. Its whole rectangle takes the mouse, so nothing beneath it sees a press on it.
class WindowlessControl final : public QLabel {
public:
    using DropTest = std::function<bool()>;
    using DropHandler = std::function<void(const std::optional<std::string>& first_file)>;

    WindowlessControl(QWidget* parent, std::function<void()> clicked);

    // Takes any drop while `takes` says so; the handler runs after the drop has finished, so a
    // message box it opens does not keep the drag source waiting.
    void accept_drops(DropTest takes, DropHandler handler);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::function<void()> clicked_;
    DropTest takes_;
    DropHandler dropped_;
    bool pressed_inside_ = false;
};

}  // namespace vextra::ui::qt
