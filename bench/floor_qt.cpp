// SPDX-License-Identifier: MIT
// The floor for the Linux program's start-up: the smallest frameless Qt 6 window that shows what
// vextra's window first shows, the 600 x 400 background and one line of text in the same font.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <QPixmap>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(600, 399);
    QPalette palette = window.palette();
    palette.setBrush(QPalette::Window, QPixmap(":/background.bmp"));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    QLabel text("Korvane Vextra", &window);
    QFont font(QFontDatabase::hasFamily("Trebuchet MS") ? "Trebuchet MS" : "Open Sans");
    font.setPixelSize(13);
    font.setBold(true);
    text.setFont(font);
    text.move(40, 8);
    window.show();
    return application.exec();
}
