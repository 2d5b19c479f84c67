// SPDX-License-Identifier: MIT
#include "ui/qt/controls.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include <climits>

#include <unistd.h>

namespace vextra::ui::qt {
namespace {

// A file URL names a file of this machine when it names no host, "localhost" or this machine's
// own name. Another machine's file is not the local file that happens to have the same path.
bool is_on_this_machine(const QUrl& url) {
    const QString host = url.host();
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    char own_name[HOST_NAME_MAX + 1] = {};
    return gethostname(own_name, HOST_NAME_MAX) == 0 &&
           host.compare(QString::fromLocal8Bit(own_name), Qt::CaseInsensitive) == 0;
}

// The first local file of a drop, as the bytes the file system knows it by. They are taken from
// the URL's percent-encoding: a name need not be UTF-8, and turning it into text would replace
// what is not with U+FFFD and so name another file. A URL without an absolute path
// ("file:old.exe") names no file: read against the working folder, it would name whatever is there.
std::optional<std::string> first_local_file(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !is_on_this_machine(url)) continue;
        std::string path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
        if (!path.empty() && path.front() == '/') return path;
    }
    return std::nullopt;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent, QColor background, QPixmap picture, QRect focus_rectangle,
                       MouseHandlers handlers)
    : QWidget(parent),
      background_(background),
      picture_(std::move(picture)),
      focus_rectangle_(focus_rectangle),
      handlers_(std::move(handlers)) {}

void PictureBox::set_picture(QPixmap picture) {
    picture_ = std::move(picture);
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
    if (!hasFocus()) return;
    // As Windows draws a focus rectangle: every other pixel of its edge inverted, so that it shows
    // on the light and the dark parts of the picture alike.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QRect r = focus_rectangle_;
    for (int x = r.left(); x <= r.right(); x += 2) {
        painter.fillRect(x, r.top(), 1, 1, Qt::white);
        painter.fillRect(x, r.bottom(), 1, 1, Qt::white);
    }
    for (int y = r.top() + 2; y < r.bottom(); y += 2) {
        painter.fillRect(r.left(), y, 1, 1, Qt::white);
        painter.fillRect(r.right(), y, 1, 1, Qt::white);
    }
}

void PictureBox::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void PictureBox::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_inside_ = true;
    handlers_.mouse(MouseAction::Press, event->globalPosition());
}

// The second press of a double click is no new press, as on Windows.
void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void PictureBox::mouseMoveEvent(QMouseEvent* event) { handlers_.mouse(MouseAction::Move, event->globalPosition()); }

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    handlers_.mouse(MouseAction::Release, event->globalPosition());
    if (std::exchange(pressed_inside_, false) && rect().contains(event->position().toPoint())) handlers_.clicked();
}

WindowlessControl::WindowlessControl(QWidget* parent, std::function<void()> clicked)
    : QLabel(parent), clicked_(std::move(clicked)) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void WindowlessControl::accept_drops(DropTest takes, DropHandler handler) {
    takes_ = std::move(takes);
    dropped_ = std::move(handler);
    setAcceptDrops(true);
}

void WindowlessControl::mousePressEvent(QMouseEvent* event) {
    pressed_inside_ = true;
    event->accept();
}

void WindowlessControl::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (std::exchange(pressed_inside_, false) && rect().contains(event->position().toPoint())) clicked_();
}

void WindowlessControl::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

// The second press of a double click makes no second click, as on Windows.
void WindowlessControl::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void WindowlessControl::dragEnterEvent(QDragEnterEvent* event) {
    if (takes_()) event->acceptProposedAction();
    else event->ignore();
}

void WindowlessControl::dragMoveEvent(QDragMoveEvent* event) {
    if (takes_()) event->acceptProposedAction();
    else event->ignore();
}

void WindowlessControl::dropEvent(QDropEvent* event) {
    if (!takes_()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, file = first_local_file(event->mimeData())] { dropped_(file); });
}

}  // namespace vextra::ui::qt
