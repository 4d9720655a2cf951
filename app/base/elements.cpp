// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/elements.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "app/base/window_icons.h"

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

WindowPicture pictureOf(ImageElement::Picture picture) {
    switch (picture) {
        case ImageElement::Picture::BatteryDischarging:
            return WindowPicture::BatteryDischarging;
        case ImageElement::Picture::BatteryCharging:
            return WindowPicture::BatteryCharging;
        case ImageElement::Picture::Speaking:
            return WindowPicture::Speaking;
        case ImageElement::Picture::Sending:
            break;
    }
    return WindowPicture::Sending;
}

}  // namespace

ImageElement::ImageElement(Picture picture, QWidget* parent) : QLabel(parent), picture_(picture) {
    setPixmap(picturePixmap(pictureOf(picture), 20));
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
    ++tickCount_;
    emit Timer();
    inTick_ = false;
}

SocketElement::SocketElement(QObject* parent) : QObject(parent) {}

SpeechElement::SpeechElement(QWidget* parent) : QWidget(parent) {}
