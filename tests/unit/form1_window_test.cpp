// SPDX-License-Identifier: MIT
// The window's purely visual handlers, reached as a back-end reaches them: the start-up layout,
// dragging by the title strip, exit, and the About panel's slide on its two timers.
#include <gtest/gtest.h>

#include "recording_view.h"
#include "temp_dir.h"
#include "ui/form1.h"
#include "ui/layout.h"

namespace vextra::ui {
namespace {

class Form1WindowTest : public ::testing::Test {
protected:
    Form1WindowTest() {
        test::WorkingDirectory cwd(empty_.path());
        form_.load();
    }

    // Runs the enabled timer until it stops, returning the number of ticks.
    int run_timer(Control timer) {
        int ticks = 0;
        while (view_.timers[timer] && ticks < 1000) {
            form_.tick(timer);
            ++ticks;
        }
        return ticks;
    }

    test::TempDir empty_;
    test::RecordingView view_;
    Form1 form_{view_};
};

TEST_F(Form1WindowTest, LoadMakesTheThreeStartUpAdjustments) {
    EXPECT_EQ(view_.places[Control::Text1], std::make_pair(3840, 2840));
    EXPECT_EQ(view_.places[Control::Text2], std::make_pair(3840, 3560));
    EXPECT_EQ(view_.places[Control::Picture2], std::make_pair(8400, 480));
    EXPECT_EQ(form_.picture2_left(), 8400);
    EXPECT_FALSE(form_.picture2_visible());
    EXPECT_FALSE(form_.timer1_enabled());
    EXPECT_FALSE(form_.timer2_enabled());
    EXPECT_TRUE(view_.shown.empty());
}

TEST_F(Form1WindowTest, DraggingTheTitleStripMovesTheWindowByThePointersOffset) {
    view_.left = 1500;
    view_.top = 3000;
    form_.mouse(Control::Picture1, MouseAction::Move, 100, 100);  // no press: nothing moves
    EXPECT_EQ(view_.moves, 0);

    form_.mouse(Control::Picture1, MouseAction::Press, 2000.5f, 60.5f);  // halves go to the even neighbour
    EXPECT_EQ(form_.foc(), -1);
    EXPECT_EQ(form_.posX(), 2000);
    EXPECT_EQ(form_.posY(), 60);
    form_.mouse(Control::Picture1, MouseAction::Move, 2150, 45);
    EXPECT_FLOAT_EQ(view_.left, 1650);
    EXPECT_FLOAT_EQ(view_.top, 2985);
    form_.mouse(Control::Picture1, MouseAction::Move, -30000, -9000);  // far off the screen: no clamping
    EXPECT_FLOAT_EQ(view_.left, 1650 - 32000);
    EXPECT_FLOAT_EQ(view_.top, 2985 - 9060);

    form_.mouse(Control::Picture1, MouseAction::Release, 0, 0);
    EXPECT_EQ(form_.foc(), 0);
    const int moves = view_.moves;
    form_.mouse(Control::Picture1, MouseAction::Move, 500, 500);
    EXPECT_EQ(view_.moves, moves);

    form_.mouse(Control::Picture1, MouseAction::Press, 1.5f, 2.5f);
    EXPECT_EQ(form_.posX(), 2);
    EXPECT_EQ(form_.posY(), 2);
}

// Only the title strip drags, only the drop label takes drops, and a click runs the handler of the
// control it was made on, if it has one.
TEST_F(Form1WindowTest, EventsReachTheControlsThatHandleThem) {
    for (Control pressed : {Control::Label5, Control::Image3, Control::Label4, Control::Label6, Control::Picture2,
                            Control::Image1, Control::Text1}) {
        form_.mouse(pressed, MouseAction::Press, 100, 100);
        form_.mouse(pressed, MouseAction::Move, 500, 500);
        EXPECT_EQ(form_.foc(), 0) << static_cast<int>(pressed);
    }
    EXPECT_EQ(view_.moves, 0);
    for (const ControlSpec& row : controls())
        EXPECT_EQ(form_.takes_drop(row.id), row.id == Control::Label1) << row.name;
    for (Control clicked : {Control::Label1, Control::Label5, Control::Label7, Control::Image2, Control::Picture1,
                            Control::Text1, Control::Form1}) {
        form_.click(clicked);
        EXPECT_FALSE(form_.picture2_visible()) << static_cast<int>(clicked);
        EXPECT_FALSE(view_.ended);
        EXPECT_TRUE(view_.boxes.empty());
    }
}

TEST_F(Form1WindowTest, Label4EndsTheProgramEvenDuringASlide) {
    form_.click(Control::Label6);
    form_.tick(Control::Timer1);
    form_.click(Control::Label4);
    EXPECT_TRUE(view_.ended);
}

TEST_F(Form1WindowTest, ThePanelSlidesInAndOutInExactSteps) {
    form_.click(Control::Label6);
    EXPECT_TRUE(form_.picture2_visible());
    EXPECT_TRUE(view_.shown[Control::Picture2]);
    EXPECT_EQ(view_.places[Control::Picture2].first, 8400);  // shown parked before the first tick
    EXPECT_EQ(run_timer(Control::Timer1), 34);
    EXPECT_EQ(form_.picture2_left(), -100);
    EXPECT_EQ(view_.places[Control::Picture2], std::make_pair(-100, 480));

    form_.click(Control::Label6);
    EXPECT_TRUE(form_.timer2_enabled());
    EXPECT_EQ(run_timer(Control::Timer2), 35);
    EXPECT_EQ(form_.picture2_left(), 8400);
    EXPECT_EQ(view_.places[Control::Picture2].first, 8400);
    EXPECT_FALSE(form_.picture2_visible());
    EXPECT_FALSE(view_.shown[Control::Picture2]);
}

TEST_F(Form1WindowTest, ClicksDuringTheSlideInAreIgnored) {
    form_.click(Control::Label6);
    for (int i = 0; i < 5; ++i) form_.tick(Control::Timer1);
    form_.click(Control::Picture2);
    form_.click(Control::Label6);
    EXPECT_FALSE(form_.timer2_enabled());
    EXPECT_EQ(run_timer(Control::Timer1), 29);
    EXPECT_EQ(form_.picture2_left(), -100);
}

TEST_F(Form1WindowTest, APanelClickStartsTheSlideOutWhichAnotherClickDoesNotReverse) {
    form_.click(Control::Label6);
    run_timer(Control::Timer1);
    form_.click(Control::Picture2);
    EXPECT_TRUE(form_.timer2_enabled());
    for (int i = 0; i < 10; ++i) form_.tick(Control::Timer2);
    form_.click(Control::Label6);
    form_.click(Control::Picture2);
    EXPECT_FALSE(form_.timer1_enabled());
    EXPECT_EQ(run_timer(Control::Timer2), 25);
    EXPECT_FALSE(form_.picture2_visible());
    EXPECT_EQ(form_.picture2_left(), 8400);

    form_.click(Control::Label6);  // parked again: a new slide-in starts
    EXPECT_TRUE(form_.timer1_enabled());
}

// The keys do what clicks on their controls do: F1 is the About button, Escape a click on the
// shown panel (and nothing while it is hidden). Only the exact keys count: with another modifier
// added (Ctrl+Alt is AltGr on many keyboards) a key is no shortcut.
TEST_F(Form1WindowTest, KeysDoWhatClicksOnTheirControlsDo) {
    const KeyStroke f1{Key::F1, 0, false, false};
    const KeyStroke escape{Key::Escape, 0, false, false};
    EXPECT_TRUE(form_.key(escape));
    EXPECT_FALSE(form_.timer2_enabled());
    EXPECT_TRUE(view_.shown.empty());

    EXPECT_TRUE(form_.key(f1));
    EXPECT_TRUE(form_.picture2_visible());
    EXPECT_TRUE(form_.timer1_enabled());
    form_.key(escape);  // during the slide-in, as a click on the panel: nothing
    EXPECT_FALSE(form_.timer2_enabled());
    run_timer(Control::Timer1);
    form_.key(escape);
    EXPECT_TRUE(form_.timer2_enabled());
    run_timer(Control::Timer2);
    EXPECT_FALSE(form_.picture2_visible());
    form_.key(f1);
    run_timer(Control::Timer1);
    form_.key(f1);  // F1 again slides the panel out, as the About button does
    EXPECT_TRUE(form_.timer2_enabled());

    for (const KeyStroke& other : {KeyStroke{Key::Letter, 'E', false, false}, KeyStroke{Key::Letter, 'E', true, true},
                                   KeyStroke{Key::Letter, 'O', false, true}, KeyStroke{Key::Letter, 'X', false, true},
                                   KeyStroke{Key::F1, 0, true, false}, KeyStroke{Key::Escape, 0, false, true}})
        EXPECT_FALSE(form_.key(other)) << other.letter << other.ctrl << other.alt;
    EXPECT_EQ(view_.choosers_opened, 0);
    EXPECT_TRUE(view_.boxes.empty());
}

TEST_F(Form1WindowTest, TicksOfAStoppedTimerChangeNothing) {
    form_.tick(Control::Timer1);
    form_.tick(Control::Timer2);
    EXPECT_EQ(form_.picture2_left(), 8400);
    EXPECT_FALSE(form_.picture2_visible());
}

}  // namespace
}  // namespace vextra::ui
