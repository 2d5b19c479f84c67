// SPDX-License-Identifier: MIT
#include "ui/qt/controls.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>

namespace vextra::ui::qt {
namespace {

// The first local file of a drop, as the bytes the file system knows it by. They are taken from
// the URL's percent-encoding: a name need not be UTF-8, and turning it into text would replace
// what is not with U+FFFD and so name another file.
std::optional<std::string> first_local_file(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    return std::nullopt;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent, QColor background, QPixmap picture, MouseHandlers handlers)
    : QWidget(parent), background_(background), picture_(std::move(picture)), handlers_(std::move(handlers)) {}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
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
