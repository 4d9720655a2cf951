// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <QTimer>
#include <QWidget>

// The window's element kinds that Qt does not offer as such: labels, gauges
// and text boxes that report mouse buttons, filled shapes, lines, drawn
// images, timers with an on/off switch, and the places of the socket and the
// speech control.
//
// Mouse buttons are numbered as the handlers expect them: 1 left, 2 right,
// 4 middle.

int mouseButtonCode(Qt::MouseButton button);

// Window measures are given in twips in places: 15 twips per pixel.
constexpr int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

// Read-only text that reports clicks (left button, on release inside) and
// every mouse press with its button.
class LabelElement : public QLabel {
    Q_OBJECT
  public:
    explicit LabelElement(QWidget* parent = nullptr);

  signals:
    void clicked(int button);
    void mouseDown(int button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Bar gauge showing a level; reports clicks and mouse presses like a label.
class GaugeElement : public QProgressBar {
    Q_OBJECT
  public:
    explicit GaugeElement(QWidget* parent = nullptr);

  signals:
    void clicked(int button);
    void mouseDown(int button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Editable text with mouse reports. Line breaks are kept, so one kind serves
// the one-line boxes and the SMS text.
class TextBoxElement : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TextBoxElement(QWidget* parent = nullptr);
    QString text() const { return toPlainText(); }
    void setText(const QString& text) { setPlainText(text); }

  signals:
    void clicked(int button);
    void mouseDown(int button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A coloured figure: a rectangle (or circle) filled with one colour.
class ShapeElement : public QFrame {
    Q_OBJECT
  public:
    enum class Form { Rectangle, Circle, Frame };
    explicit ShapeElement(Form form = Form::Rectangle, QWidget* parent = nullptr);
    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor& color);
    Form form() const { return form_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Form form_;
    QColor fill_;
};

// A straight line, horizontal or vertical by the shape of its geometry.
class LineElement : public QFrame {
    Q_OBJECT
  public:
    explicit LineElement(Qt::Orientation orientation, QWidget* parent = nullptr);
};

// A small picture drawn in code.
class ImageElement : public QLabel {
    Q_OBJECT
  public:
    enum class Picture { BatteryDischarging, BatteryCharging, Speaking, Sending };
    explicit ImageElement(Picture picture, QWidget* parent = nullptr);
    Picture picture() const { return picture_; }

  private:
    Picture picture_;
};

class TimerElement;

// Where the window's timers take their periods from. Without a driver each
// timer runs on the event loop; a test installs one of its own to move time by
// hand, so that no result depends on how fast the machine is.
class TimerDriver {
  public:
    virtual ~TimerDriver() = default;
    // `timer` begins a new period of `intervalMs` (switched on, or its
    // interval set while on).
    virtual void start(TimerElement& timer, int intervalMs) = 0;
    // `timer` was switched off or is going away.
    virtual void stop(TimerElement& timer) = 0;
};

// A timer switched on and off like the window's timers: Enabled starts and
// stops it (switching on a running timer changes nothing), Interval in
// milliseconds (setting it while on starts the period afresh). An interval of 0 never ticks. A tick
// is not delivered while the previous tick's handler is still running (a handler that lets events
// run cannot be entered a second time by its own timer).
class TimerElement : public QObject {
    Q_OBJECT
  public:
    explicit TimerElement(QObject* parent = nullptr);
    ~TimerElement() override;

    // Hands the periods of every timer switched on from now on to `driver`;
    // null gives them back to the event loop.
    static void setDriver(TimerDriver* driver);
    // The end of a period: one tick, unless the previous tick's handler is
    // still running.
    void tick();

    bool Enabled() const { return enabled_; }
    void setEnabled(bool on);
    int Interval() const { return interval_; }
    void setInterval(int ms);
    // Whether a tick handler is running right now.
    bool inTick() const { return inTick_; }
    // Ticks delivered so far.
    long long tickCount() const { return tickCount_; }
    // Qt::PreciseTimer for a timer whose period others rely on.
    void setTimerType(Qt::TimerType type) { timer_.setTimerType(type); }

  signals:
    void Timer();

  private:
    void apply();

    QTimer timer_;
    bool enabled_ = false;
    int interval_ = 0;
    bool inTick_ = false;
    long long tickCount_ = 0;
};

// The place of the TCP socket on the window. Its listening and sending come
// with the LAN output; until then it reports the closed state.
class SocketElement : public QObject {
    Q_OBJECT
  public:
    explicit SocketElement(QObject* parent = nullptr);
    // 0 closed, 2 listening, 7 connected, 8 closing.
    virtual int State() const { return 0; }
};

// The place of the speech control on the window; it is invisible while the
// program runs. Speaking comes with the speech control itself; until then
// every call reports success and says nothing. Every text handed to Speak is
// announced by Spoken (a control that speaks calls this base Speak too), so
// that the headless demo can print what is said.
class SpeechElement : public QWidget {
    Q_OBJECT
  public:
    explicit SpeechElement(QWidget* parent = nullptr);
    virtual long Initialize() { return 0; }
    virtual long Speak(const QString& text, int action) {
        emit Spoken(text, action);
        return 0;
    }

  signals:
    void Spoken(const QString& text, int action);
};
