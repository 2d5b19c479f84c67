// SPDX-License-Identifier: MIT
#pragma once
// The main window on Qt 6 Widgets: builds every control from the layout table, turns Qt events
// into Form1's handlers (positions in twips) and draws what Form1 tells it.

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "ui/form1.h"
#include "ui/layout.h"

namespace vextra::ui::qt {

class QtFormView final : public QWidget, public FormView {
public:
    // The shortest interval of the slide timers. They ask for the fastest tick there is, which on
    // Windows comes about every 15 ms; the slide keeps that pace (about half a second) here too.
    static constexpr int kTimerIntervalMs = 15;

    QtFormView();

    Form1& form() { return form_; }
    // The widget that stands for a control (none for timers and the hidden manif).
    QWidget* widget(Control id) const { return widgets_[static_cast<std::size_t>(id)]; }
    // The control a widget stands for, if it stands for one.
    std::optional<Control> control_of(const QWidget* widget) const;

    int message_box(const std::string& prompt, int buttons, const std::string& title) override;
    void show_text(Control box, const std::string& text) override;
    void place_control(Control control, int left, int top) override;
    void show_control(Control control, bool visible) override;
    void enable_timer(Control timer, bool enabled) override;
    float window_left() const override;
    float window_top() const override;
    void move_window(float left, float top) override;
    std::optional<std::string> choose_program(const std::string& start_folder) override;
    void dismiss_box() override;
    void end_program() override;

protected:
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void build_children(QWidget* container, Control container_id);
    QWidget* create(QWidget* parent, const ControlSpec& row);
    QWidget* create_picture_box(QWidget* parent, const ControlSpec& row);
    QWidget* create_windowless(QWidget* parent, const ControlSpec& row);
    QWidget* create_text_box(QWidget* parent, const ControlSpec& row);
    QPointF local_position(Control id, QPointF global) const;
    // Gives each picture control the picture drawn for the screen the window is on now.
    void show_pictures_for_screen();

    Form1 form_{*this};
    std::array<QWidget*, kControlCount> widgets_{};
    QTimer timer1_;
    QTimer timer2_;
    QPoint position_;  // the window's position on the screen, as last placed
    bool screen_watched_ = false;
    std::function<void()> dismiss_;  // closes the open box or chooser as No; empty while none is open
};

}  // namespace vextra::ui::qt
