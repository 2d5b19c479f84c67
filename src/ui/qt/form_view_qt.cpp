// SPDX-License-Identifier: MIT
#include "ui/qt/form_view_qt.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QWindow>
#include <algorithm>

#include "ui/qt/accessible_qt.h"
#include "ui/qt/controls.h"

namespace vextra::ui::qt {
namespace {

QString to_qstring(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QRect to_qrect(const PixelRect& r) { return {r.x, r.y, r.width, r.height}; }

// The desktop's palette plays no part: the colours are those the pictures were made for.
QColor resolve(Colour colour) {
    const Colour drawn = drawn_colour(colour);
    return QColor(drawn & 0xFF, (drawn >> 8) & 0xFF, (drawn >> 16) & 0xFF);
}

QKeySequence key_sequence(const KeyStroke& stroke) {
    const Qt::Key key = stroke.key == Key::F1       ? Qt::Key_F1
                        : stroke.key == Key::Escape ? Qt::Key_Escape
                                                    : Qt::Key(Qt::Key_A + (stroke.letter - 'A'));
    Qt::KeyboardModifiers modifiers;
    if (stroke.ctrl) modifiers |= Qt::ControlModifier;
    if (stroke.alt) modifiers |= Qt::AltModifier;
    return QKeySequence(QKeyCombination(modifiers, key));
}

QFont resolve(const Font& font) {
    QString face = to_qstring(font.face);
    if (!QFontDatabase::hasFamily(face)) face = to_qstring(kFallbackFace);
    QFont qfont(face);
    qfont.setPixelSize(font_pixels(font));
    qfont.setWeight(font.weight >= 700 ? QFont::Bold : QFont::Normal);
    qfont.setItalic(font.italic);
    return qfont;
}

// Every image of the application icon, for the window system (task bar, window switcher).
QIcon app_icon() {
    QIcon icon;
    QImageReader reader(":/vextra.ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

// The icon's image the window shows, read alone (the icon's directory tells each image's size and
// format without decoding it): at 96 dpi its 48 x 48 image with the most colours, as Windows shows
// it; on a denser screen its largest image, shrunk to the device pixels the 48 take there.
QPixmap large_app_icon(qreal device_ratio) {
    const int pixels = twips_to_pixels(control(Control::Image2).width);
    const bool at_design_size = device_ratio == 1.0;
    QImageReader reader(":/vextra.ico");
    int best = -1, best_width = 0, best_depth = 0;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
        const int width = reader.size().width();
        if (at_design_size ? width == pixels && depth > best_depth
                           : width > best_width || (width == best_width && depth > best_depth)) {
            best = i;
            best_width = width;
            best_depth = depth;
        }
    }
    if (best < 0 || !reader.jumpToImage(best)) return {};
    QPixmap image = QPixmap::fromImage(reader.read());
    if (at_design_size) return image;
    const int device_pixels = qRound(pixels * device_ratio);
    image = image.scaled(device_pixels, device_pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(device_ratio);
    return image;
}

// A picture of the window's face for a screen of `device_ratio` device pixels per pixel: the one
// drawn at the nearest scale, shrunk to the screen's own where that differs, so that no picture is
// blown up beside the sharp text.
QPixmap window_picture(const QString& name, qreal device_ratio) {
    const int scale = picture_scale(qRound(device_ratio * 100));
    QPixmap shipped(scale == 100 ? ":/" + name + ".bmp"
                                 : ":/" + name + "@" + QString::number(scale / 100.0) + "x.png");
    if (scale == qRound(device_ratio * 100)) {
        shipped.setDevicePixelRatio(scale / 100.0);
        return shipped;
    }
    const QSize device_size = (QSizeF(shipped.size()) * 100.0 / scale * device_ratio).toSize();
    QPixmap fitted = shipped.scaled(device_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(device_ratio);
    return fitted;
}

// While it lives, `dismiss` closes the box that is open.
class OpenBox {
public:
    OpenBox(std::function<void()>& slot, std::function<void()> dismiss) : slot_(slot) { slot_ = std::move(dismiss); }
    ~OpenBox() { slot_ = nullptr; }
    OpenBox(const OpenBox&) = delete;
    OpenBox& operator=(const OpenBox&) = delete;

private:
    std::function<void()>& slot_;
};

QPixmap picture(Picture picture, qreal device_ratio) {
    switch (picture) {
        case Picture::AppIcon: return large_app_icon(device_ratio);
        case Picture::TitleStrip: return window_picture(QStringLiteral("titlestrip"), device_ratio);
        case Picture::Background: return window_picture(QStringLiteral("background"), device_ratio);
        case Picture::None: break;
    }
    return {};
}

}  // namespace

QtFormView::QtFormView() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    const ControlSpec& row = control(Control::Form1);
    setWindowTitle(to_qstring(row.text));
    // Decoding all of the icon's images would hold up the window's first appearance; they are
    // handed to the window system as soon as the window runs.
    QTimer::singleShot(0, this, [this] { setWindowIcon(app_icon()); });
    setFixedSize(twips_to_pixels(kClientWidth), twips_to_pixels(kClientHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, resolve(row.background));
    setPalette(palette);
    setAutoFillBackground(true);
    // Tooltips show while another program is active too (a file manager a program is dragged
    // from), as they do on Windows.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    position_ = pos();
    widgets_[static_cast<std::size_t>(Control::Form1)] = this;
    build_children(this, Control::Form1);

    for (auto [timer, id] : {std::pair{&timer1_, Control::Timer1}, std::pair{&timer2_, Control::Timer2}}) {
        timer->setInterval(std::max(control(id).interval_ms, kTimerIntervalMs));
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id = id] { form_.tick(id); });
    }
    const std::vector<Control> order = tab_order();
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(widget(order[i - 1]), widget(order[i]));
    for (const Shortcut& shortcut : kShortcuts)
        connect(new QShortcut(key_sequence(shortcut.stroke), this), &QShortcut::activated, this,
                [this, stroke = shortcut.stroke] { form_.key(stroke); });
    make_accessible(*this);
}

std::optional<Control> QtFormView::control_of(const QWidget* widget) const {
    const auto found = std::find(widgets_.begin(), widgets_.end(), widget);
    if (!widget || found == widgets_.end()) return std::nullopt;
    return static_cast<Control>(found - widgets_.begin());
}

void QtFormView::build_children(QWidget* container, Control container_id) {
    const std::vector<Control> front_to_back = children_front_to_back(container_id);
    // A widget created later lies above its earlier siblings, so the backmost comes first.
    for (auto it = front_to_back.rbegin(); it != front_to_back.rend(); ++it) {
        QWidget* child = create(container, control(*it));
        widgets_[static_cast<std::size_t>(*it)] = child;
        if (child && control(*it).kind == Kind::PictureBox) build_children(child, *it);
    }
}

QWidget* QtFormView::create(QWidget* parent, const ControlSpec& row) {
    QWidget* widget = nullptr;
    switch (row.kind) {
        case Kind::PictureBox: widget = create_picture_box(parent, row); break;
        case Kind::Label:
        case Kind::Image: widget = create_windowless(parent, row); break;
        case Kind::TextBox: widget = create_text_box(parent, row); break;
        case Kind::Form:
        case Kind::Timer:
        case Kind::RichTextBox:  // manif holds the manifest text and is never shown
            return nullptr;
    }
    widget->setObjectName(to_qstring(row.name));
    widget->setGeometry(to_qrect(stored_pixels(row)));
    widget->setVisible(row.visible);
    if (!row.tooltip.empty()) widget->setToolTip(to_qstring(row.tooltip));
    return widget;
}

QWidget* QtFormView::create_picture_box(QWidget* parent, const ControlSpec& row) {
    const Control id = row.id;
    MouseHandlers handlers;
    handlers.mouse = [this, id](MouseAction action, QPointF global) {
        const QPointF at = local_position(id, global);
        form_.mouse(id, action, static_cast<float>(at.x() * kTwipsPerPixel), static_cast<float>(at.y() * kTwipsPerPixel));
        // A Wayland client cannot place its own window: the compositor moves it.
        if (action == MouseAction::Press && form_.foc() && QGuiApplication::platformName().startsWith("wayland") &&
            windowHandle())
            windowHandle()->startSystemMove();
    };
    handlers.clicked = [this, id] { form_.click(id); };
    auto* box = new PictureBox(parent, resolve(row.background), picture(row.picture, devicePixelRatioF()),
                               to_qrect(focus_rectangle(id)), std::move(handlers));
    box->setFocusPolicy(Qt::StrongFocus);  // a picture box takes the focus, as it does on Windows
    return box;
}

QWidget* QtFormView::create_windowless(QWidget* parent, const ControlSpec& row) {
    const Control id = row.id;
    auto* control = new WindowlessControl(parent, [this, id] { form_.click(id); });
    control->accept_drops([this, id] { return form_.takes_drop(id); },
                          [this, id](const std::optional<std::string>& file) { form_.drop(id, file); });
    if (row.kind == Kind::Image) {
        control->setPixmap(picture(row.picture, devicePixelRatioF()));
        return control;
    }
    control->setText(to_qstring(row.text));
    control->setWordWrap(true);
    if (!row.font.face.empty()) control->setFont(resolve(row.font));
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, resolve(row.foreground));
    control->setPalette(palette);
    return control;
}

QWidget* QtFormView::create_text_box(QWidget* parent, const ControlSpec& row) {
    auto* edit = new QLineEdit(to_qstring(row.text), parent);
    edit->setReadOnly(row.read_only);
    edit->setFrame(false);
    // As a Windows edit box: the text at the top, the I-beam over it even when it is read-only.
    edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    edit->setCursor(Qt::IBeamCursor);
    edit->setTextMargins(0, -1, 0, 0);
    edit->setFont(resolve(row.font));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, resolve(row.background));
    palette.setColor(QPalette::Text, resolve(row.foreground));
    edit->setPalette(palette);
    edit->setCursorPosition(0);
    return edit;
}

// Where a pointer at `global` on the screen lies within the control, with the window where it was
// last placed: a burst of queued moves then each bring the grab point back under the pointer,
// however far behind the events are.
QPointF QtFormView::local_position(Control id, QPointF global) const {
    return global - QPointF(position_) - QPointF(widget(id)->mapTo(this, QPoint(0, 0)));
}

int QtFormView::message_box(const std::string& prompt, int buttons, const std::string& title) {
    QMessageBox box(QMessageBox::Warning, to_qstring(title), to_qstring(prompt), QMessageBox::NoButton, this);
    if (buttons == platform::buttons::kYesNoWarning) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const QMessageBox::StandardButton closing = buttons == platform::buttons::kYesNoWarning ? QMessageBox::No : QMessageBox::Ok;
    const OpenBox open(dismiss_, [&box, closing] { box.button(closing)->click(); });
    switch (box.exec()) {
        case QMessageBox::Yes: return platform::answer::kYes;
        case QMessageBox::No: return platform::answer::kNo;
        default: return platform::answer::kOk;
    }
}

void QtFormView::show_text(Control box, const std::string& text) {
    auto* edit = static_cast<QLineEdit*>(widget(box));
    edit->setText(to_qstring(text));
    edit->setCursorPosition(0);
}

void QtFormView::place_control(Control id, int left, int top) {
    widget(id)->move(twips_to_pixels(left), twips_to_pixels(top));
}

void QtFormView::show_control(Control id, bool visible) { widget(id)->setVisible(visible); }

void QtFormView::enable_timer(Control timer, bool enabled) {
    QTimer& qtimer = timer == Control::Timer1 ? timer1_ : timer2_;
    if (enabled) qtimer.start();
    else qtimer.stop();
}

float QtFormView::window_left() const { return static_cast<float>(pixels_to_twips(position_.x())); }

float QtFormView::window_top() const { return static_cast<float>(pixels_to_twips(position_.y())); }

void QtFormView::move_window(float left, float top) {
    position_ = QPoint(twips_to_pixels(left), twips_to_pixels(top));
    move(position_);
}

// A screen of another density (QT_SCREEN_SCALE_FACTORS) needs pictures drawn for it.
void QtFormView::showEvent(QShowEvent* event) {
    if (windowHandle() && !screen_watched_) {
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { show_pictures_for_screen(); });
        screen_watched_ = true;
    }
    QWidget::showEvent(event);
}

void QtFormView::show_pictures_for_screen() {
    for (const ControlSpec& row : controls()) {
        if (row.picture == Picture::None || row.kind == Kind::Form) continue;
        QPixmap drawn = picture(row.picture, devicePixelRatioF());
        if (row.kind == Kind::PictureBox) static_cast<PictureBox*>(widget(row.id))->set_picture(std::move(drawn));
        else static_cast<QLabel*>(widget(row.id))->setPixmap(drawn);
    }
}

void QtFormView::moveEvent(QMoveEvent* event) {
    // Where the window system placed the window; during a drag, where the program last put it
    // counts, since the window system may report older positions of it late.
    if (!form_.foc()) position_ = event->pos();
    QWidget::moveEvent(event);
}

std::optional<std::string> QtFormView::choose_program(const std::string& start_folder) {
    // Qt's chooser keeps its history in a settings file of Qt's own, written as it closes, for
    // every program; this one keeps no settings, so that file is looked for where none can be.
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null/no-settings"));
    // The drop test is on the name's last three letters, which the first choice's patterns match.
    QFileDialog chooser(this, to_qstring(kChooserTitle), QFile::decodeName(start_folder.c_str()));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters({to_qstring(kProgramsChoice) + " (*.exe *.EXE)",
                            to_qstring(kAllFilesChoice) + " (*)"});
    const OpenBox open(dismiss_, [&chooser] { chooser.reject(); });
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
    // The path's bytes as the file system holds them, as a drop gives them.
    return QFile::encodeName(chooser.selectedFiles().front()).toStdString();
}

void QtFormView::dismiss_box() {
    if (dismiss_) dismiss_();
}

void QtFormView::end_program() {
    timer1_.stop();
    timer2_.stop();
    QCoreApplication::exit(0);
}

}  // namespace vextra::ui::qt
