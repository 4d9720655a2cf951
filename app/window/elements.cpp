#include "app/window/elements.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

int mouseButtonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

namespace {

// Shared press/release logic: every press is reported; a click is a left
// press released inside the element.
template <class W>
void reportPress(W* w, QMouseEvent* event) {
    emit w->mouseDown(mouseButtonCode(event->button()));
}

template <class W>
void reportRelease(W* w, QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && w->rect().contains(event->position().toPoint()))
        emit w->clicked(1);
}

}  // namespace

LabelElement::LabelElement(QWidget* parent) : QLabel(parent) {}

void LabelElement::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    reportPress(this, event);
}

void LabelElement::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    reportRelease(this, event);
}

GaugeElement::GaugeElement(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setValue(0);
}

void GaugeElement::mousePressEvent(QMouseEvent* event) {
    QProgressBar::mousePressEvent(event);
    reportPress(this, event);
}

void GaugeElement::mouseReleaseEvent(QMouseEvent* event) {
    QProgressBar::mouseReleaseEvent(event);
    reportRelease(this, event);
}

TextBoxElement::TextBoxElement(QWidget* parent) : QPlainTextEdit(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);
    document()->setDocumentMargin(1);
}

void TextBoxElement::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    reportPress(this, event);
}

void TextBoxElement::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    reportRelease(this, event);
}

ShapeElement::ShapeElement(Form form, QWidget* parent)
    : QFrame(parent),
      form_(form),
      fill_(form == Form::Frame ? QColor() : QColor(0x80, 0x80, 0x80)) {
    setAttribute(Qt::WA_TransparentForMouseEvents, form == Form::Frame);
}

void ShapeElement::setFillColor(const QColor& color) {
    fill_ = color;
    update();
}

void ShapeElement::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, form_ == Form::Circle);
    QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.setBrush(fill_.isValid() ? QBrush(fill_) : Qt::NoBrush);
    if (form_ == Form::Circle)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

LineElement::LineElement(Qt::Orientation orientation, QWidget* parent) : QFrame(parent) {
    setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    setFrameShadow(QFrame::Sunken);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

namespace {

QPixmap drawPicture(ImageElement::Picture picture) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    switch (picture) {
        case ImageElement::Picture::BatteryDischarging:
        case ImageElement::Picture::BatteryCharging: {
            // Upright battery with its pole; low and red when discharging,
            // full and green with a flash when charging.
            bool charging = picture == ImageElement::Picture::BatteryCharging;
            p.setBrush(Qt::white);
            p.drawRect(QRectF(5.5, 3.5, 9, 15));
            p.setBrush(Qt::black);
            p.drawRect(QRectF(8.5, 1.5, 3, 2));
            p.setPen(Qt::NoPen);
            p.setBrush(charging ? QColor(0, 170, 0) : QColor(220, 0, 0));
            if (charging) {
                p.drawRect(QRectF(7, 5, 7, 13));
                QPainterPath flash;
                flash.moveTo(11, 6);
                flash.lineTo(8, 12);
                flash.lineTo(10.5, 12);
                flash.lineTo(9, 17);
                flash.lineTo(12.5, 10.5);
                flash.lineTo(10, 10.5);
                flash.closeSubpath();
                p.setBrush(Qt::yellow);
                p.drawPath(flash);
            } else {
                p.drawRect(QRectF(7, 14, 7, 4));
            }
            break;
        }
        case ImageElement::Picture::Speaking: {
            // A loudspeaker with two sound waves.
            p.setBrush(Qt::black);
            QPolygonF speaker;
            speaker << QPointF(2, 7) << QPointF(6, 7) << QPointF(11, 3) << QPointF(11, 17)
                    << QPointF(6, 13) << QPointF(2, 13);
            p.drawPolygon(speaker);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 1.5));
            p.drawArc(QRectF(9, 6, 6, 8), -60 * 16, 120 * 16);
            p.drawArc(QRectF(8, 3, 10, 14), -60 * 16, 120 * 16);
            break;
        }
        case ImageElement::Picture::Sending: {
            // An antenna mast sending waves.
            p.setPen(QPen(Qt::black, 1.5));
            p.drawLine(QPointF(10, 8), QPointF(10, 19));
            p.drawLine(QPointF(10, 12), QPointF(6, 19));
            p.drawLine(QPointF(10, 12), QPointF(14, 19));
            p.setPen(QPen(QColor(200, 0, 0), 1.5));
            p.drawArc(QRectF(6, 2, 8, 8), 30 * 16, 120 * 16);
            p.drawArc(QRectF(2, -1, 16, 14), 40 * 16, 100 * 16);
            break;
        }
    }
    return pm;
}

}  // namespace

ImageElement::ImageElement(Picture picture, QWidget* parent) : QLabel(parent), picture_(picture) {
    setPixmap(drawPicture(picture));
    setAlignment(Qt::AlignCenter);
}

namespace {
TimerDriver* timerDriver = nullptr;
}  // namespace

TimerElement::TimerElement(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(false);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TimerElement::tick);
}

TimerElement::~TimerElement() {
    if (timerDriver) timerDriver->stop(*this);
}

void TimerElement::setDriver(TimerDriver* driver) {
    timerDriver = driver;
}

void TimerElement::setEnabled(bool on) {
    // Switching on a timer that is already on keeps its running period.
    if (on == enabled_) return;
    enabled_ = on;
    apply();
}

void TimerElement::setInterval(int ms) {
    interval_ = ms < 0 ? 0 : ms;
    apply();
}

void TimerElement::apply() {
    const bool run = enabled_ && interval_ > 0;
    if (timerDriver) {
        timer_.stop();
        if (run)
            timerDriver->start(*this, interval_);
        else
            timerDriver->stop(*this);
    } else if (run) {
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

void TimerElement::tick() {
    if (inTick_) return;
    inTick_ = true;
    emit Timer();
    inTick_ = false;
}

SocketElement::SocketElement(QObject* parent) : QObject(parent) {}

SpeechElement::SpeechElement(QWidget* parent) : QWidget(parent) {}
