// SPDX-License-Identifier: MIT
// The Qt window offscreen: which control takes a click or a drop at each point, tooltips, fonts,
// drops sent through the real event path, the message boxes and the read-only fields.
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/files.h"
#include "ui/qt/form_view_qt.h"

using vextra::ui::Control;
using vextra::ui::qt::QtFormView;

namespace {

// What a message box showed, and the button the test pressed.
struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString default_button;
};

}  // namespace

class QtFormViewTest : public QObject {
    Q_OBJECT

private:
    std::filesystem::path dir_;
    std::unique_ptr<QtFormView> window_;

    std::string write(const std::string& name, const std::string& content = "MZ") {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    QWidget* at(int x, int y) { return window_->childAt(x, y); }
    QString name_at(int x, int y) {
        QWidget* widget = at(x, y);
        return widget ? widget->objectName() : QString("(none)");
    }
    QString text_of(Control box) { return static_cast<QLineEdit*>(window_->widget(box))->text(); }

    // Answers the next message box with `button` (by its text) once it is open, recording it;
    // `while_open` runs first, with the box open.
    void answer_next_box(const QString& button, SeenBox& seen, std::function<void()> while_open = {}) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, button, &seen, while_open] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll->deleteLater();
            poll->stop();
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons.clear();
            for (QAbstractButton* b : box->buttons()) seen.buttons << b->text().remove('&');
            if (box->defaultButton()) seen.default_button = box->defaultButton()->text().remove('&');
            if (while_open) while_open();
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == button) b->click();
        });
        poll->start(5);
    }

    // Handles the next file chooser once it is open: picks `file`, or with an empty one presses
    // Escape; `seen` gets its title and its choices of files.
    void answer_next_chooser(const QString& file, QStringList& seen) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, file, &seen] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!chooser) return;
            poll->deleteLater();
            poll->stop();
            seen = QStringList{chooser->windowTitle()} + chooser->nameFilters();
            if (file.isEmpty()) {
                QTest::keyClick(chooser, Qt::Key_Escape);
            } else {
                chooser->selectFile(file);
                QMetaObject::invokeMethod(chooser, "accept");
            }
        });
        poll->start(5);
    }

    // Drags `urls` and `text` onto the drop label and drops them there; whether the label took
    // the drag and the drop.
    bool offer_drop(const QList<QUrl>& urls, const QString& text = {}) {
        QMimeData data;
        if (!urls.isEmpty()) data.setUrls(urls);
        if (!text.isEmpty()) data.setText(text);
        QWidget* target = window_->widget(Control::Label1);
        const QPointF point(target->width() / 2.0, target->height() / 2.0);
        QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent event(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        // The handler runs once the drop has finished, from the event loop.
        QTest::qWait(50);
        return enter.isAccepted() && event.isAccepted();
    }

    void drop(const QList<QUrl>& urls, const QString& text = {}) { QVERIFY(offer_drop(urls, text)); }

    // A file URL that carries the path's bytes exactly, whatever they are.
    static QUrl file_url(const std::string& path) {
        return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
    }

    void slide_panel() {
        window_->form().click(Control::Label6);
        while (window_->form().timer1_enabled()) window_->form().tick(Control::Timer1);
    }

private slots:
    void init() {
        // Inside the build tree, whose file system keeps extended attributes.
        dir_ = std::filesystem::current_path() / ("vextra-qt-" + std::to_string(QCoreApplication::applicationPid()));
        std::filesystem::create_directories(dir_);
        window_ = std::make_unique<QtFormView>();
        window_->form().load();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup() {
        window_.reset();
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            vextra::platform::set_attributes(entry.path().string(), 0);
        std::filesystem::remove_all(dir_);
    }

    void window_is_frameless_and_fixed() {
        QCOMPARE(window_->windowTitle(), QString("Korvane Vextra"));
        QVERIFY(window_->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(window_->size(), QSize(600, 399));
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        QVERIFY(!window_->windowIcon().isNull());
        const QList<QSize> sizes = window_->windowIcon().availableSizes();
        for (int side : {16, 24, 32, 48, 128}) QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
    }

    void controls_take_their_points_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("panel_shown");
        struct Row { const char* name; QPoint point; const char* control; bool panel; };
        const Row rows[] = {
            {"drop box", {284, 100}, "Label1", false},
            {"drop box corner", {105, 57}, "Label1", false},
            {"enable button", {328, 360}, "Label2", false},
            {"disable button", {504, 360}, "Label3", false},
            {"about button", {529, 16}, "Label6", false},
            {"exit button", {576, 16}, "Label4", false},
            {"title text", {60, 16}, "Label5", false},
            {"visible part of the icon", {10, 25}, "Image3", false},
            {"title strip", {300, 16}, "Picture1", false},
            {"file name field", {300, 200}, "Text1", false},
            {"status field", {300, 250}, "Text2", false},
            {"face", {50, 250}, "Image1", false},
            {"panel over the drop box", {300, 60}, "Picture2", true},
            {"panel over the enable button", {328, 370}, "Picture2", true},
            {"panel over a field", {300, 250}, "Picture2", true},
            {"panel text", {200, 128}, "Label8", true},
            {"panel icon", {50, 90}, "Image2", true},
            {"about button over the panel", {529, 16}, "Label6", true},
            {"exit button over the panel", {576, 16}, "Label4", true},
        };
        for (const Row& row : rows) QTest::newRow(row.name) << row.point << row.control << row.panel;
    }

    void controls_take_their_points() {
        QFETCH(QPoint, point);
        QFETCH(QString, control);
        QFETCH(bool, panel_shown);
        if (panel_shown) slide_panel();
        QCOMPARE(name_at(point.x(), point.y()), control);
    }

    void parked_panel_is_hidden_at_its_place() {
        QWidget* panel = window_->widget(Control::Picture2);
        QVERIFY(!panel->isVisible());
        QCOMPARE(panel->geometry(), QRect(560, 32, 609, 369));
        QCOMPARE(window_->widget(Control::Text1)->geometry(), QRect(256, 189, 201, 25));
        QCOMPARE(window_->widget(Control::Text2)->geometry(), QRect(256, 237, 193, 25));
        slide_panel();
        QCOMPARE(panel->geometry().topLeft(), QPoint(-7, 32));
    }

    // What a screen reader is told: a frame, push buttons named by their tooltips (with the key
    // that does the same), the fields by the captions drawn beside them.
    void tooltips_and_accessible_names_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shortcut");
        struct Row {
            const char* row;
            Control control;
            const char* tooltip;
            QAccessible::Role role;
            const char* name;
            const char* shortcut;
        };
        const QAccessible::Role button = QAccessible::Button;
        const Row rows[] = {
            {"window", Control::Form1, "", QAccessible::Window, "Korvane Vextra", ""},
            {"title strip", Control::Picture1, "", QAccessible::Pane, "Korvane Vextra", ""},
            {"about panel", Control::Picture2, "", QAccessible::Pane, "About Vextra", ""},
            {"drop box", Control::Label1, "Drag and Drop your Old App...", button, "Drag and Drop your Old App...", "Ctrl+O"},
            {"enable", Control::Label2, "Enable Visual Style...", button, "Enable Visual Style...", "Alt+E"},
            {"disable", Control::Label3, "Disable Visual Style...", button, "Disable Visual Style...", "Alt+D"},
            {"about", Control::Label6, "About Vextra", button, "About Vextra", "F1"},
            {"exit", Control::Label4, "Exit", button, "Exit", ""},
            {"file name", Control::Text1, "App FileName", QAccessible::EditableText, "App FileName", ""},
            {"status", Control::Text2, "Style Status", QAccessible::EditableText, "Style Enabled", ""},
            {"panel title", Control::Label7, "", QAccessible::StaticText, "Korvane Vextra", ""},
        };
        for (const Row& r : rows)
            QTest::newRow(r.row) << int(r.control) << QString(r.tooltip) << int(r.role) << QString(r.name)
                                 << QString(r.shortcut);
    }

    void tooltips_and_accessible_names() {
        QFETCH(int, control);
        QFETCH(QString, tooltip);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, shortcut);
        QWidget* widget = window_->widget(static_cast<Control>(control));
        QCOMPARE(widget->toolTip(), tooltip);
        QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(seen);
        QCOMPARE(int(seen->role()), role);
        QCOMPARE(seen->text(QAccessible::Name), name);
        // Only the hot spots can be pressed.
        QAccessibleActionInterface* actions = seen->actionInterface();
        const QString press = QAccessibleActionInterface::pressAction();
        const bool pressable = actions && actions->actionNames().contains(press);
        QCOMPARE(pressable, role == QAccessible::Button);
        if (pressable) QCOMPARE(actions->keyBindingsForAction(press).join(' '), shortcut);
    }

    // A screen reader's press is a click: Enable asks about the dropped program, About slides the
    // panel in; and while a box is open a press waits, as a click does.
    void a_hot_spot_pressed_by_a_screen_reader_clicks() {
        const auto press = [this](Control hot_spot) {
            QAccessible::queryAccessibleInterface(window_->widget(hot_spot))
                ->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        };
        drop({QUrl::fromLocalFile(QString::fromStdString(write("old.exe")))});
        SeenBox seen;
        bool slid_while_open = true;
        answer_next_box("No", seen, [&] {
            press(Control::Label6);
            QCoreApplication::processEvents();
            slid_while_open = window_->form().timer1_enabled();
        });
        press(Control::Label2);
        QTRY_COMPARE(seen.text, QString("Do you want to Enable visual style for old.exe"));
        QVERIFY(!slid_while_open);
        QTRY_VERIFY(!window_->form().box_open());
        press(Control::Label6);
        QTRY_VERIFY(window_->form().timer1_enabled());
    }

    void fonts_follow_the_layout() {
        const QFont text1 = window_->widget(Control::Text1)->font();
        QCOMPARE(text1.pixelSize(), 13);
        QVERIFY(text1.bold());
        QVERIFY(!text1.italic());
        const QFont text2 = window_->widget(Control::Text2)->font();
        QVERIFY(!text2.bold());
        QVERIFY(text2.italic());
        const QFont title = window_->widget(Control::Label7)->font();
        QCOMPARE(title.pixelSize(), 48);
        QVERIFY(title.bold());
        QCOMPARE(window_->widget(Control::Label14)->font().pixelSize(), 12);
        QCOMPARE(QFontInfo(text1).family(), QFontDatabase::hasFamily("Trebuchet MS") ? QString("Trebuchet MS") : QString("Open Sans"));
    }

    // Each system's standard pointer for the kind of control: the I-beam over a text box, as on
    // Windows, the arrow elsewhere.
    void pointers_are_the_standard_ones() {
        for (Control box : {Control::Text1, Control::Text2})
            QCOMPARE(window_->widget(box)->cursor().shape(), Qt::IBeamCursor);
        for (Control other : {Control::Label1, Control::Label2, Control::Picture1, Control::Image1})
            QCOMPARE(window_->widget(other)->cursor().shape(), Qt::ArrowCursor);
    }

    void fields_are_read_only() {
        auto* text1 = static_cast<QLineEdit*>(window_->widget(Control::Text1));
        text1->setFocus();
        QTest::keyClicks(text1, "typed");
        QTest::keyClick(text1, Qt::Key_Backspace);
        QCOMPARE(text1->text(), QString("Select App.."));
        QCOMPARE(text_of(Control::Text2), QString("Select App.."));
    }

    // Tab and Shift+Tab go round the controls that take the focus, in the table's tab order; the
    // About panel joins the round while it is shown.
    void tab_goes_round_in_tab_order() {
        QApplication::setActiveWindow(window_.get());
        QTRY_COMPARE(QApplication::focusWidget(), window_->widget(Control::Text1));
        const auto round = [this](Qt::Key key, const QList<Control>& expected) {
            for (Control next : expected) {
                QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QCOMPARE(QApplication::focusWidget()->objectName(), window_->widget(next)->objectName());
            }
        };
        round(Qt::Key_Tab, {Control::Text2, Control::Picture1, Control::Text1});
        round(Qt::Key_Backtab, {Control::Picture1, Control::Text2, Control::Text1});
        slide_panel();
        round(Qt::Key_Tab, {Control::Text2, Control::Picture1, Control::Picture2, Control::Text1});
        round(Qt::Key_Backtab, {Control::Picture2, Control::Picture1, Control::Text2, Control::Text1});
    }

    // The window's keys do what clicks on their controls do, with the focus in a field: Alt+E asks
    // Enable's question, Alt+D Disable's, F1 slides the About panel in and Escape out again.
    void keys_do_what_clicks_do() {
        const std::string exe = write("old.exe");
        const auto press = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            window_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window_.get()));
            QTRY_COMPARE(QApplication::focusWidget(), window_->widget(Control::Text1));
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };
        drop({file_url(exe)});
        SeenBox seen;
        answer_next_box("Yes", seen);
        press(Qt::Key_E, Qt::AltModifier);
        QCOMPARE(seen.text, QString("Do you want to Enable visual style for old.exe"));
        QVERIFY(vextra::platform::path_exists(exe + ".manifest"));
        drop({file_url(exe)});
        answer_next_box("No", seen);
        press(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(seen.text, QString("Do you want to Disable visual style for old.exe"));

        press(Qt::Key_F1);
        QVERIFY(window_->widget(Control::Picture2)->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->form().timer1_enabled(), 3000);
        press(Qt::Key_Escape);
        QVERIFY(window_->form().timer2_enabled());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->widget(Control::Picture2)->isVisible(), 3000);
    }

    // Wherever Tab stops, the focus shows: a field selects its text, and the title strip draws a
    // dotted rectangle one pixel inside its edges, every other pixel inverted, as Windows does.
    void the_focus_shows_where_tab_stops() {
        QApplication::setActiveWindow(window_.get());
        QTRY_COMPARE(QApplication::focusWidget(), window_->widget(Control::Text1));
        QWidget* strip = window_->widget(Control::Picture1);
        const QImage without = strip->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(static_cast<QLineEdit*>(window_->widget(Control::Text2))->hasSelectedText());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(strip->hasFocus());
        const QImage with = strip->grab().toImage();
        QCOMPARE(with.size(), QSize(601, 33));
        // Along the top and bottom edges right of the title text, and down the right edge.
        QList<QPoint> edge;
        for (int x = 140; x <= 599; ++x) edge << QPoint(x, 1) << QPoint(x, 31);
        for (int y = 2; y < 31; ++y) edge << QPoint(599, y);
        for (const QPoint& p : edge) {
            const bool dot = (p.y() == 1 || p.y() == 31) ? p.x() % 2 == 1 : p.y() % 2 == 1;
            const QRgb expected = dot ? without.pixel(p) ^ 0x00FFFFFF : without.pixel(p);
            QVERIFY2(with.pixel(p) == expected, qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        }
        for (int x = 140; x <= 598; ++x) QCOMPARE(with.pixel(x, 2), without.pixel(x, 2));
    }

    // The face is fixed pictures: under a dark palette, as a dark desktop theme gives, the window
    // and its About panel look exactly as under the light one.
    void a_dark_palette_changes_no_pixel_of_the_window() {
        const auto faces = [this] {
            window_ = std::make_unique<QtFormView>();
            window_->form().load();
            window_->show();
            if (!QTest::qWaitForWindowExposed(window_.get())) QTest::qFail("not shown", __FILE__, __LINE__);
            const QImage closed = window_->grab().toImage();
            slide_panel();
            return QList<QImage>{closed, window_->grab().toImage()};
        };
        const QList<QImage> light = faces();
        const QPalette original = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
        QPalette dark;
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
            dark.setColor(role, QColor(0x24, 0x24, 0x24));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, QColor(0xEE, 0xEE, 0xEE));
        QApplication::setPalette(dark);
        const QList<QImage> shaded = faces();
        QVERIFY(light[0] != light[1]);
        QVERIFY(shaded[0] == light[0]);
        QVERIFY(shaded[1] == light[1]);
    }

    // With no program chosen or dropped yet the chooser opens in the home folder, not the working
    // folder (the template's); then in the last program's folder.
    void the_file_chooser_opens_where_programs_are() {
        const QByteArray home = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", home); });
        const std::filesystem::path own_home = dir_ / "home";
        std::filesystem::create_directories(own_home);
        qputenv("HOME", QByteArray::fromStdString(own_home.string()));
        QString opened_in;
        const auto choose = [&] {
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [poll, &opened_in] {
                auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!chooser) return;
                poll->deleteLater();
                poll->stop();
                opened_in = chooser->directory().absolutePath();
                chooser->reject();
            });
            poll->start(5);
            QTest::mouseClick(window_->widget(Control::Label1), Qt::LeftButton);
        };
        choose();
        QCOMPARE(opened_in, QString::fromStdString(own_home.string()));
        std::filesystem::create_directories(dir_ / "apps");
        drop({file_url((dir_ / "apps" / "old.exe").string())});
        choose();
        QCOMPARE(opened_in, QString::fromStdString((dir_ / "apps").string()));
    }

    void a_dropped_executable_becomes_the_target() {
        drop({QUrl::fromLocalFile(QString::fromStdString(write("old.exe"))), QUrl::fromLocalFile("/elsewhere/second.exe")});
        QCOMPARE(text_of(Control::Text1), QString("old.exe"));
        QCOMPARE(text_of(Control::Text2), QString("No"));
        QCOMPARE(QString::fromStdString(window_->form().exelink()), QString::fromStdString((dir_ / "old.exe").string()));
    }

    void a_drop_of_many_files_takes_its_first_local_file() {
        QList<QUrl> urls{QUrl("https://example.invalid/remote.exe")};
        urls << QUrl::fromLocalFile(QString::fromStdString(write("first.exe")));
        for (int i = 0; i < 1000; ++i) urls << QUrl::fromLocalFile(QString::fromStdString(write("other" + std::to_string(i) + ".exe")));
        drop(urls);
        QCOMPARE(text_of(Control::Text1), QString("first.exe"));
        QCOMPARE(window_->form().exelink(), (dir_ / "first.exe").string());
    }

    // Only a URL of a file on this machine, with an absolute path, names a file to take: not one of
    // another host that has a local file at the same path, nor one read against the working folder.
    void a_drop_takes_only_files_of_this_machine() {
        const std::string first = write("first.exe");
        const QString remote = QString::fromStdString(write("remote.exe"));
        const QString own_host = QSysInfo::machineHostName();
        const QString previous_folder = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir_.string()));
        const auto restore_folder = qScopeGuard([&] { QDir::setCurrent(previous_folder); });
        struct Case {
            const char* name;
            QUrl url;
            std::string taken;
        };
        const Case cases[] = {
            {"another host", QUrl("file://otherhost.invalid" + remote), first},
            {"a relative path", QUrl("file:remote.exe"), first},
            {"localhost", QUrl("file://localhost" + remote), remote.toStdString()},
            {"this machine's name", QUrl("file://" + own_host + remote), remote.toStdString()},
        };
        for (const Case& c : cases) {
            drop({c.url, QUrl::fromLocalFile(QString::fromStdString(first))});
            QVERIFY2(window_->form().exelink() == c.taken, c.name);
        }
    }

    void a_refused_drop_shows_a_warning() {
        SeenBox seen;
        answer_next_box("OK", seen);
        drop({QUrl::fromLocalFile(QString::fromStdString(write("notes.txt")))});
        QCOMPARE(seen.title, QString("Korvane Vextra"));
        QCOMPARE(seen.text, QString("notes.txt is not a Windows executeable File."));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons, QStringList{"OK"});
        QCOMPARE(text_of(Control::Text1), QString("Select App.."));
    }

    void a_drop_without_files_reaches_the_handler() {
        SeenBox seen;
        answer_next_box("OK", seen);
        drop({}, "just some text");
        QCOMPARE(seen.text, QString(" is not a Windows executeable File."));
    }

    void enable_asks_and_writes_on_yes() {
        const std::string exe = write("old.exe");
        drop({QUrl::fromLocalFile(QString::fromStdString(exe))});
        SeenBox seen;
        answer_next_box("No", seen);
        QTest::mouseClick(window_->widget(Control::Label2), Qt::LeftButton);
        QCOMPARE(seen.text, QString("Do you want to Enable visual style for old.exe"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons.size(), 2);
        QCOMPARE(seen.default_button, QString("Yes"));
        QVERIFY(!vextra::platform::path_exists(exe + ".manifest"));

        answer_next_box("Yes", seen);
        QTest::mouseClick(window_->widget(Control::Label2), Qt::LeftButton);
        unsigned attributes = 0;
        QVERIFY(!vextra::platform::get_attributes(exe + ".manifest", attributes));
        QCOMPARE(attributes, 0x27u);
    }

    void the_drop_box_and_ctrl_o_open_the_file_chooser() {
        const std::string exe = write("chosen.exe");
        const QStringList shown{"Select App..", "Windows programs (*.exe *.EXE)", "All files (*)"};
        QStringList seen;
        answer_next_chooser(QString::fromStdString(exe), seen);
        QTest::mouseClick(window_->widget(Control::Label1), Qt::LeftButton);
        QCOMPARE(seen, shown);
        QCOMPARE(text_of(Control::Text1), QString("chosen.exe"));
        QCOMPARE(text_of(Control::Text2), QString("No"));
        QCOMPARE(window_->form().exelink(), exe);

        // Escape in the chooser changes nothing.
        seen.clear();
        answer_next_chooser({}, seen);
        window_->activateWindow();  // a shortcut works in the active window
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(seen, shown);
        QCOMPARE(text_of(Control::Text1), QString("chosen.exe"));
        QCOMPARE(window_->form().applink(), exe);
    }

    void a_name_that_is_not_utf8_keeps_its_bytes() {
        const std::string exe = write("old\xFF\xFE.exe");
        drop({file_url(exe)});
        QCOMPARE(window_->form().exelink(), exe);
        QCOMPARE(text_of(Control::Text1), QString::fromUtf8("old\uFFFD\uFFFD.exe"));
        SeenBox seen;
        answer_next_box("Yes", seen);
        QTest::mouseClick(window_->widget(Control::Label2), Qt::LeftButton);
        QVERIFY(vextra::platform::path_exists(exe + ".manifest"));
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) ++entries;
        QCOMPARE(entries, 2);  // the program and its manifest, no stray file under another name
    }

    void a_drop_while_a_question_is_open_is_refused() {
        const std::string first = write("a.exe");
        const std::string second = write("b.exe");
        drop({file_url(first)});
        SeenBox seen;
        bool second_taken = true;
        answer_next_box("Yes", seen, [&] { second_taken = offer_drop({file_url(second)}); });
        QTest::mouseClick(window_->widget(Control::Label2), Qt::LeftButton);
        QVERIFY(!second_taken);
        QCOMPARE(seen.text, QString("Do you want to Enable visual style for a.exe"));
        QVERIFY(vextra::platform::path_exists(first + ".manifest"));
        QVERIFY(!vextra::platform::path_exists(second + ".manifest"));
        QCOMPARE(window_->form().exelink(), first);
        QCOMPARE(text_of(Control::Text1), QString("a.exe"));
    }

    void escape_answers_no() {
        const std::string exe = write("old.exe");
        drop({QUrl::fromLocalFile(QString::fromStdString(exe))});
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                poll->stop();
                poll->deleteLater();
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        poll->start(5);
        QTest::mouseClick(window_->widget(Control::Label2), Qt::LeftButton);
        QVERIFY(!vextra::platform::path_exists(exe + ".manifest"));
    }

    void title_strip_drags_the_window() {
        const QPoint start = window_->pos();
        QWidget* strip = window_->widget(Control::Picture1);
        QTest::mousePress(strip, Qt::RightButton, {}, QPoint(300, 10));
        QCOMPARE(window_->form().foc(), qint16(-1));
        QCOMPARE(window_->form().posX(), qint16(4500));
        QMouseEvent move(QEvent::MouseMove, QPointF(340, 30), strip->mapToGlobal(QPointF(340, 30)), Qt::NoButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(strip, &move);
        QCOMPARE(window_->pos(), start + QPoint(40, 20));
        QTest::mouseRelease(strip, Qt::RightButton, {}, QPoint(300, 10));
        QCOMPARE(window_->form().foc(), qint16(0));
    }

    void a_press_on_the_title_text_starts_no_drag() {
        QTest::mousePress(window_->widget(Control::Label5), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(window_->form().foc(), qint16(0));
        QTest::mouseRelease(window_->widget(Control::Label5), Qt::LeftButton, {}, QPoint(5, 5));
    }

    void about_label_slides_the_panel_on_the_timers() {
        QTest::mouseClick(window_->widget(Control::Label6), Qt::LeftButton);
        QVERIFY(window_->widget(Control::Picture2)->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->form().timer1_enabled(), 3000);
        QCOMPARE(window_->form().picture2_left(), -100);
        QTest::mouseClick(window_->widget(Control::Label8), Qt::LeftButton);  // a text on the panel: nothing
        QVERIFY(!window_->form().timer2_enabled());
        QTest::mouseClick(window_->widget(Control::Picture2), Qt::LeftButton, {}, QPoint(580, 340));
        QVERIFY(window_->form().timer2_enabled());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->widget(Control::Picture2)->isVisible(), 3000);
        QCOMPARE(window_->widget(Control::Picture2)->x(), 560);
    }
};

QTEST_MAIN(QtFormViewTest)
#include "form_view_qt_test.moc"
