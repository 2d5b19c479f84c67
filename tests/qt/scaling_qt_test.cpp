// SPDX-License-Identifier: MIT
// The Qt window offscreen at the scale QT_SCALE_FACTOR gives (the test runs at 2 and at 1.25): the
// pictures are those drawn for the nearest scale, at the screen's own device pixels, and the icon
// in the window comes from the icon's largest image.
#include <QLabel>
#include <QtTest>
#include <cmath>

#include "ui/qt/form_view_qt.h"

using vextra::ui::Control;
using vextra::ui::qt::QtFormView;

class QtScalingTest : public QObject {
    Q_OBJECT

private:
    qreal ratio_ = 1.0;

    // A shipped picture of the face as the window should show it: the nearest scale's, shrunk to
    // the screen's device pixels where the two differ.
    QImage expected(const QString& name, QSize first) const {
        const bool two = ratio_ >= 1.75;
        QImage image(two ? ":/" + name + "@2x.png" : ":/" + name + "@1.5x.png");
        image.setDevicePixelRatio(1.0);  // compared pixel for pixel; Qt reads one from the name
        const QSize device(qRound(first.width() * ratio_), qRound(first.height() * ratio_));
        if (image.size() != device) image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return image.convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void initTestCase() {
        ratio_ = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
        QVERIFY2(ratio_ > 1.0, "run with QT_SCALE_FACTOR above 1");
    }

    void the_screen_has_the_asked_scale() {
        QtFormView window;
        QCOMPARE(window.devicePixelRatioF(), ratio_);
        QCOMPARE(window.size(), QSize(600, 399));  // in the layout's pixels; the screen's are more
    }

    void the_face_and_title_strip_are_the_pictures_drawn_for_the_scale() {
        QtFormView window;
        const QImage face = static_cast<QLabel*>(window.widget(Control::Image1))->pixmap().toImage()
                                .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(face.devicePixelRatio(), ratio_);
        QCOMPARE(face.size(), QSize(qRound(600 * ratio_), qRound(400 * ratio_)));
        QImage unscaled_face = face;
        unscaled_face.setDevicePixelRatio(1.0);
        QCOMPARE(unscaled_face, expected("background", {600, 400}));

        // The strip as drawn, right of its icon and caption, against the picture.
        const QImage strip = window.widget(Control::Picture1)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage want = expected("titlestrip", {600, 32});
        const int from = qRound(150 * ratio_);
        for (int y = 0; y < want.height(); y += 3)
            for (int x = from; x < want.width(); x += 3)
                QVERIFY2(strip.pixel(x, y) == want.pixel(x, y),
                         qPrintable(QString("title strip at %1,%2").arg(x).arg(y)));
    }

    void the_icon_in_the_window_is_shrunk_from_the_largest_image() {
        QtFormView window;
        for (Control id : {Control::Image2, Control::Image3}) {
            const QPixmap icon = static_cast<QLabel*>(window.widget(id))->pixmap();
            QCOMPARE(icon.devicePixelRatio(), ratio_);
            QCOMPARE(icon.size(), QSize(qRound(48 * ratio_), qRound(48 * ratio_)));
            QCOMPARE(icon.deviceIndependentSize(), QSizeF(48, 48));
        }
    }
};

QTEST_MAIN(QtScalingTest)
#include "scaling_qt_test.moc"
