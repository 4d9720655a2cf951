// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <functional>

#include "app/base/window_icons.h"
#include "app/window/form1.h"
#include "app/window/form2.h"
#include "core/ini_file.h"

// Where every element sits and how it looks when the window is built. The
// window is laid out like an instrument panel: three columns on top (phone,
// operators, cell position), the SMS and phone-book block below the first
// two and the GPS and output block below the third. Every element keeps its
// place while it is hidden, so that nothing jumps when the phone's answers
// bring elements in.
//
// Two elements lie over the panel instead of in it: the trace list, over the
// operators from the second one down (below the SMS text while the window is
// maximized), and the operator list that is never shown.

namespace {

// The panel's grid. After each layout pass it places what lies over the
// panel, since that follows the elements it lies over.
class PanelGrid : public QGridLayout {
  public:
    PanelGrid(QWidget* parent, std::function<void()> placeOverlays)
        : QGridLayout(parent), placeOverlays_(std::move(placeOverlays)) {}

    void setGeometry(const QRect& rect) override {
        QGridLayout::setGeometry(rect);
        if (placeOverlays_) placeOverlays_();
    }

  private:
    std::function<void()> placeOverlays_;
};

// Tells when the window moved or changed its size: the report window beside
// it follows. The window manager moves a window that is maximized after the
// state change, so its place on the screen is known only then.
class MoveWatcher : public QObject {
  public:
    MoveWatcher(QWidget* window, std::function<void()> moved)
        : QObject(window), moved_(std::move(moved)) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) moved_();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> moved_;
};

// Grid columns and rows of the panel. The last column and row take what the
// panel does not use while the window is maximized.
constexpr int kPhoneCol = 0;
constexpr int kOperatorCol = 2;
constexpr int kRightCol = 4;
constexpr int kRestCol = 5;
constexpr int kTopRow = 0;
constexpr int kSmsTextRow = 5;
constexpr int kRestRow = 7;

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, int spacing = -1) {
    auto* l = new QHBoxLayout;
    if (spacing >= 0) l->setSpacing(spacing);
    for (QWidget* w : widgets) l->addWidget(w);
    return l;
}

QVBoxLayout* column(int margin) {
    auto* l = new QVBoxLayout;
    l->setContentsMargins(margin, margin, margin, margin);
    return l;
}

}  // namespace

void Form1::layoutElements() {
    QWidget* area = centralWidget();
    const QFontMetrics fm(font());
    // Widths follow the font, so that the panel stays aligned at any font
    // size and scale.
    const int ch = fm.averageCharWidth();
    const int lineHeight = fm.height();
    const int icon = std::max(16, lineHeight + 2);
    const int margin = std::max(4, ch);

    auto* grid = new PanelGrid(area, [this] {
        placeTraceList();
        if (form2->isVisible()) placeForm2();
    });
    new MoveWatcher(this, [this] {
        if (form2->isVisible() && isMaximized()) placeForm2();
    });
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->setHorizontalSpacing(margin);
    grid->setVerticalSpacing(margin / 2);

    // Phone column, framed by Shape1
    for (auto* image : {BattE, BattL, Image1}) image->setFixedSize(icon, icon);
    Info->setMinimumWidth(22 * ch);
    Info->setMinimumHeight(2 * lineHeight + 4);
    Info->setWordWrap(true);
    for (auto* g : {Level, BattA}) g->setFixedHeight(lineHeight);
    Text3->setFixedHeight(2 * lineHeight + 8);
    GSM->setMinimumContentsLength(6);
    auto* phoneCol = column(margin);
    auto* portRow = row({Label2, GSM, Active});
    portRow->addStretch(1);
    portRow->addWidget(BattE);
    portRow->addWidget(BattL);
    phoneCol->addLayout(portRow);
    // Highest rate first.
    phoneCol->addLayout(row({Baud[2], Baud[1], Baud[0]}));
    phoneCol->addLayout(row({Info, Image1}));
    phoneCol->addWidget(Level);
    phoneCol->addWidget(BattA);
    phoneCol->addWidget(Text3);
    phoneCol->addStretch(1);
    grid->addWidget(Shape1, kTopRow, kPhoneCol);
    grid->addLayout(phoneCol, kTopRow, kPhoneCol);
    grid->addWidget(Line5, kTopRow, kPhoneCol + 1);

    // Operator column: the registered network, then the operators found.
    auto* operators = new QGridLayout;
    operators->setContentsMargins(0, margin, 0, margin);
    operators->setVerticalSpacing(2);
    Netz->setMinimumWidth(16 * ch);
    Netz2->setMinimumWidth(8 * ch);
    Netz->setMinimumHeight(lineHeight + 6);
    operators->addWidget(Netz, 0, 0, 1, 2);
    operators->addWidget(Netz2, 0, 2);
    const int dot = std::max(10, lineHeight * 2 / 3);
    for (int i = 0; i < 8; ++i) {
        Sta[i]->setFixedSize(dot, dot);
        Netze[i]->setMinimumWidth(12 * ch);
        Land[i]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Deutschland")) + ch);
        operators->addWidget(Sta[i], i + 1, 0, Qt::AlignCenter);
        operators->addWidget(Netze[i], i + 1, 1);
        operators->addWidget(Land[i], i + 1, 2);
    }
    operators->setColumnStretch(1, 1);
    operators->setRowStretch(9, 1);
    grid->addLayout(operators, kTopRow, kOperatorCol);
    List1->hide();
    List2->raise();

    // SMS and phone-book block below the phone and operator columns. Its
    // buttons stay under the phone column, so that the trace list laid over
    // the operators never covers them.
    grid->addWidget(Line2, kTopRow + 1, kPhoneCol, 1, 3);
    auto* smsButtons = row({Label5, SMSrd, SMSb, SMSc});
    smsButtons->addStretch(1);
    grid->addLayout(smsButtons, kTopRow + 2, kPhoneCol);
    SpreloI->setFixedSize(icon, icon);
    auto* bookRow = row({Check1});
    bookRow->addStretch(1);
    bookRow->addWidget(SpreloI);
    grid->addLayout(bookRow, kTopRow + 2, kOperatorCol);
    auto* dialRow = row({Combo1, CALLb});
    dialRow->setStretch(0, 1);
    grid->addLayout(dialRow, kTopRow + 3, kPhoneCol, 1, 3);
    Text1->setFixedHeight(lineHeight + 10);
    grid->addWidget(Text1, kTopRow + 4, kPhoneCol, 1, 3);
    // The SMS text takes the height the window gives, at least three lines;
    // a text box would ask for far more on its own.
    Text2->setMinimumHeight(3 * lineHeight + 10);
    Text2->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    grid->addWidget(Text2, kSmsTextRow, kPhoneCol, 1, 3);
    RingL->setMinimumHeight(2 * lineHeight + 4);
    Sprelo->setFixedSize(2 * icon, 2 * icon);
    auto* ringRow = row({RingL, Sprelo});
    ringRow->setStretch(0, 1);
    grid->addLayout(ringRow, kTopRow + 6, kPhoneCol, 1, 3);

    grid->addWidget(Line6, kTopRow, kRightCol - 1, kRestRow, 1);

    // Right column: cell position display framed by Shape2, logging, then
    // the GPS and output block framed by Shape3, then the settings.
    auto* right = new QGridLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setVerticalSpacing(margin / 2);

    auto* cellCol = column(margin);
    cellCol->setSpacing(2);
    Cell->setMinimumWidth(26 * ch);
    for (auto* l : {Cell, TAV, Zone, PosL, Entf}) l->setMinimumHeight(lineHeight + 6);
    cellCol->addWidget(Cell);
    cellCol->addWidget(Line1[0]);
    auto* tavRow = row({TAV, Line1[3], Zone});
    tavRow->setStretch(0, 1);
    tavRow->setStretch(2, 1);
    cellCol->addLayout(tavRow);
    cellCol->addWidget(Line1[1]);
    cellCol->addWidget(PosL);
    NewL->setFixedSize(icon + 8, icon + 6);
    auto* homeRow = row({Entf, ShCell, ShHome, Line1[4], NewL});
    homeRow->setStretch(0, 1);
    cellCol->addLayout(homeRow);
    cellCol->addWidget(Line1[2]);
    right->addWidget(Shape2, 0, 0);
    right->addLayout(cellCol, 0, 0);
    auto* traceRow = row({Trace, TrNew, MessN});
    traceRow->setContentsMargins(margin, 0, margin, 0);
    traceRow->addStretch(1);
    right->addLayout(traceRow, 1, 0);

    auto* gpsCol = new QGridLayout;
    gpsCol->setContentsMargins(margin, margin, margin, margin);
    gpsCol->setVerticalSpacing(margin / 2);
    for (auto* s : {GPSstat, TCPstat}) s->setFixedSize(dot, dot);
    gpsCol->addWidget(Label3, 0, 0);
    gpsCol->addWidget(GPS, 0, 1);
    gpsCol->addWidget(GPSstat, 0, 2, Qt::AlignCenter);
    gpsCol->addWidget(Label4, 1, 0);
    gpsCol->addWidget(NMEA, 1, 1);
    gpsCol->addWidget(TCPstat, 1, 2, Qt::AlignCenter);
    // "Multi" over "active" names the box before them.
    auto* sources = row({cGSM, cGPS, cSMS, cMULTI});
    auto* multi = new QVBoxLayout;
    multi->setSpacing(0);
    multi->addWidget(Label6);
    multi->addWidget(Label7);
    sources->addLayout(multi);
    sources->addStretch(1);
    gpsCol->addLayout(sources, 2, 0, 1, 3);
    auto* smsPos = new QGridLayout;
    smsPos->addWidget(GsmL, 0, 0, 1, 3);
    smsPos->addWidget(SendPos, 1, 0);
    smsPos->addWidget(CallPos, 1, 1);
    smsPos->addWidget(ReqPosEn, 1, 2);
    smsPos->addWidget(MBlast, 2, 0);
    AsendL->setMinimumWidth(4 * ch);
    smsPos->addWidget(AsendL, 2, 1);
    AsendS->setFixedWidth(std::max(14, lineHeight));
    smsPos->addWidget(AsendS, 0, 3, 3, 1);
    smsPos->setColumnStretch(2, 1);
    gpsCol->addLayout(smsPos, 3, 0, 1, 3);
    gpsCol->setColumnStretch(1, 1);
    right->addWidget(Shape3, 2, 0);
    right->addLayout(gpsCol, 2, 0);

    right->addWidget(Line4, 3, 0);
    SAVE->setFixedSize(icon + 8, icon + 6);
    auto* saveRow = row({SAVE, Label1});
    saveRow->setContentsMargins(margin, 0, margin, 0);
    saveRow->addStretch(1);
    right->addLayout(saveRow, 4, 0);
    right->setRowStretch(5, 1);
    grid->addLayout(right, kTopRow, kRightCol, kRestRow, 1);

    // Frames and lines draw around the others and take no room of their own.
    for (auto* s : {Shape1, Shape2, Shape3})
        s->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

    // Every element keeps its room while hidden.
    for (const auto& e : inventory_) {
        auto* w = qobject_cast<QWidget*>(e.object);
        if (!w || w == List1 || w == List2) continue;
        QSizePolicy p = w->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        w->setSizePolicy(p);
    }
    relaxPanel();

    // A window that opens with every element readable, and cannot be made
    // smaller than that.
    grid->activate();
    QSize natural = area->minimumSizeHint().expandedTo(area->sizeHint());
    setMinimumSize(natural);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        natural = natural.boundedTo(screen->availableGeometry().size());
    resize(natural);
    grid->setGeometry(QRect(QPoint(0, 0), natural));
}

void Form1::relaxPanel() {
    auto* grid = qobject_cast<QGridLayout*>(centralWidget()->layout());
    if (!grid) return;
    // The names and texts take the room the window gives.
    grid->setColumnStretch(kPhoneCol, 1);
    grid->setColumnStretch(kOperatorCol, 1);
    grid->setColumnStretch(kRightCol, 1);
    grid->setColumnStretch(kRestCol, 0);
    grid->setRowStretch(kSmsTextRow, 1);
    grid->setRowStretch(kRestRow, 0);
}

void Form1::compactPanel() {
    auto* grid = qobject_cast<QGridLayout*>(centralWidget()->layout());
    if (!grid) return;
    grid->setColumnStretch(kPhoneCol, 0);
    grid->setColumnStretch(kOperatorCol, 0);
    grid->setColumnStretch(kRightCol, 0);
    grid->setColumnStretch(kRestCol, 1);
    grid->setRowStretch(kSmsTextRow, 0);
    grid->setRowStretch(kRestRow, 1);
}

void Form1::placeTraceList() {
    // Over the operator column; while maximized below the SMS text, down to
    // the window's bottom, else over the operators from the second one down.
    const QRect ops = Netz->geometry().united(Land[7]->geometry());
    const int height = twipsToPixels(3960);
    if (isMaximized()) {
        const int top = Text2->y() + Text2->height() * 6 / 5;
        const int bottom = centralWidget()->height() - Netz->y();
        List2->setGeometry(ops.x(), top, ops.width(), std::max(height, bottom - top));
    } else {
        List2->setGeometry(ops.x(), Netze[1]->y(), ops.width(), height);
    }
    // Never shown; kept where it belongs.
    List1->setGeometry(Netze[0]->geometry().united(Land[7]->geometry()));
}

void Form1::placeForm2() {
    // Beside the panel, as high as the phone and operator columns and as
    // wide as both label columns.
    const QPoint topLeft = centralWidget()->mapToGlobal(
        QPoint(Cell->geometry().right() + Shape1->x() + 1, Shape1->y()));
    const int width = Info->width() + Netz->width();
    const int height = Text2->geometry().bottom() - Shape1->y();
    QRect placed(topLeft, QSize(width, std::max(height, 200)));
    // On the window's screen, also when the panel leaves little room.
    if (const QScreen* screen = this->screen()) {
        const QRect avail = screen->availableGeometry();
        if (placed.right() > avail.right()) placed.moveRight(avail.right());
        if (placed.bottom() > avail.bottom()) placed.moveBottom(avail.bottom());
    }
    form2->setGeometry(placed);
}

void Form1::setInitialStates() {
    setWindowTitle(titleText());
    setWindowIcon(pictureIcon(WindowPicture::Program));

    // Tooltips
    GSM->setToolTip(QStringLiteral("Handy-Port"));
    Active->setToolTip(QStringLiteral("GSM-Port aktiv"));
    List2->setToolTip(QStringLiteral("<=CLS,>=STOP"));
    Info->setToolTip(QStringLiteral("Hersteller+Modell"));
    Level->setToolTip(QStringLiteral("Signalstärke"));
    BattA->setToolTip(QStringLiteral("Batterie"));
    BattE->setToolTip(QStringLiteral("Entladen"));
    BattL->setToolTip(QStringLiteral("Laden"));
    Netz2->setToolTip(QStringLiteral("Netz-Bereich"));
    Cell->setToolTip(QStringLiteral("Sender-Standort (eingeben: <=txt, >=clf)"));
    TAV->setToolTip(QStringLiteral("l. Entfernung/Richtung v. Sender (<=akt.)"));
    ShCell->setToolTip(QStringLiteral("~ Position anzeigen"));
    ShHome->setToolTip(QStringLiteral("Home-Standort anzeigen"));
    Trace->setToolTip(QStringLiteral("Positionen speichern"));
    TrNew->setToolTip(QStringLiteral("nur neue Sender speichern"));
    NewL->setToolTip(QStringLiteral("neue Einträge übernehmen"));
    Text1->setToolTip(QStringLiteral("SMS (Absender, Zeit, Speicherplatz)"));
    Text2->setToolTip(QStringLiteral("SMS (<=wiederh., >=löschen)"));
    SMSrd->setToolTip(QStringLiteral("SMS von SIM lesen"));
    SMSb->setToolTip(QStringLiteral("SMS senden"));
    Check1->setToolTip(QStringLiteral("SIM Telefonbuch"));
    CALLb->setToolTip(QStringLiteral("anrufen"));
    SpreloI->setToolTip(QStringLiteral("Sprelo Sprachausgabe"));
    GPS->setToolTip(QStringLiteral("GPS-Port"));
    NMEA->setToolTip(QStringLiteral("Ausgabe-Port"));
    // The label names the source of the last position sent ("GSM", "GPS");
    // its tooltip keeps the full meaning.
    GsmL->setToolTip(QStringLiteral("SMS-Pos. GSM/GPS"));
    SendPos->setToolTip(QStringLiteral("Position als SMS senden"));
    CallPos->setToolTip(QStringLiteral("Position mit SMS anfordern"));
    ReqPosEn->setToolTip(QStringLiteral("Fern-Positions-Abfrage erlauben"));
    AsendL->setToolTip(QStringLiteral("Position automatisch senden (Minuten)"));
    MBlast->setToolTip(QStringLiteral("Position über Internetverbindung anzeigen"));
    Image1->setToolTip(QStringLiteral("senden"));
    SAVE->setToolTip(QStringLiteral("Einstellungen speichern"));

    // Pictures
    const int icon = BattE->width();
    BattE->setPixmap(picturePixmap(WindowPicture::BatteryDischarging, icon, this));
    BattL->setPixmap(picturePixmap(WindowPicture::BatteryCharging, icon, this));
    SpreloI->setPixmap(picturePixmap(WindowPicture::Speaking, icon, this));
    Image1->setPixmap(picturePixmap(WindowPicture::Sending, icon, this));
    const QSize iconSize(icon, icon);
    const std::pair<QAbstractButton*, WindowPicture> pictures[] = {
        {cGSM, WindowPicture::Gsm},    {cGPS, WindowPicture::Gps},
        {cSMS, WindowPicture::Sms},    {ShHome, WindowPicture::Home},
        {ShCell, WindowPicture::Cell}, {NewL, WindowPicture::NewEntries},
        {SAVE, WindowPicture::Save},
    };
    for (const auto& [button, picture] : pictures) {
        button->setIcon(pictureIcon(picture));
        button->setIconSize(iconSize);
    }

    // Texts and values
    Text3->setText(QStringLiteral("Multicard-Info"));
    Text1->setTabChangesFocus(true);
    Level->setValue(0);
    BattA->setValue(0);
    // The two gauges say what they show; the battery's bar is green.
    Level->setFormat(QStringLiteral("Signal %p %"));
    BattA->setFormat(QStringLiteral("Batterie %p %"));
    for (auto* g : {Level, BattA}) {
        g->setTextVisible(true);
        g->setAlignment(Qt::AlignCenter);
    }
    QPalette battery = BattA->palette();
    battery.setColor(QPalette::Highlight, QColor(0x2e, 0x9e, 0x48));
    BattA->setPalette(battery);
    QFont small = Label6->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label6->setFont(small);
    Label7->setFont(small);
    AsendS->setRange(0, 120);
    AsendS->setPageStep(10);
    AsendS->setValue(0);
    Active->setChecked(true);
    RingL->setWordWrap(true);
    RingL->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AsendL->setAlignment(Qt::AlignCenter);
    for (auto* l : {Cell, TAV, Zone, Entf, PosL, Netz, Netz2, Info})
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    for (auto* s : Sta) s->setFillColor(QColor(0x80, 0x80, 0x80));
    QColor idle = palette().color(QPalette::Window);
    GPSstat->setFillColor(idle);
    TCPstat->setFillColor(idle);
    for (auto* c : {GSM, GPS, NMEA}) c->setMaxVisibleItems(22);

    // Timers: all off, with the periods their topics start them with.
    Timer1->setInterval(100);
    Timer2->setInterval(2000);
    Timer3->setInterval(100);
    Timer4->setInterval(5000);
    Timer5->setInterval(2000);
    Timer6->setInterval(60000);

    // Serial ports: "COM n" names a device through the settings file.
    const std::string ini = settingsPath();
    for (auto* c : {Comm1, Comm2, Comm3}) {
        c->setDeviceResolver(
            [ini](int n) { return SerialPortComponent::deviceFromSettingsFile(ini, n); });
        c->setCommPort(1);
    }
    Comm1->setSettings(QStringLiteral("19200,n,8,1"));
    Comm2->setSettings(QStringLiteral("4800,n,8,1"));
    Comm3->setSettings(QStringLiteral("4800,n,8,1"));

    // Shown later by the topics that fill them.
    QWidget* hidden[] = {List1,  List2, SMSc,   BattE,  BattL,   SpreloI, Image1,   Text3, Text1,
                         Text2,  SMSrd, RingL,  Check1, Combo1,  CALLb,   SMSb,     Cell,  TAV,
                         Shape2, PosL,  Zone,   MBlast, SendPos, CallPos, ReqPosEn, Entf,  ShHome,
                         ShCell, GsmL,  AsendL, AsendS, Sprelo,  MessN};
    for (QWidget* h : hidden) h->hide();
    for (int i = 0; i < 8; ++i) {
        Netze[i]->hide();
        Sta[i]->hide();
        Land[i]->hide();
    }
    for (auto* l : Line1) l->hide();

    // Enabled once a phone-book entry is chosen, a GPS port is chosen, or
    // logging is on.
    for (QWidget* d : std::initializer_list<QWidget*>{CALLb, SMSb, SendPos, CallPos, cGPS, TrNew})
        d->setEnabled(false);

    form2->hide();
    restorePlacement();
}

// ---- Remembered placement ----
//
// The window opens where it was closed. The place is kept in the settings
// file's own section, apart from the settings the user saves.

void Form1::restorePlacement() {
    const std::string ini = settingsPath();
    const int w = funkor::ini::getInt(ini, "Window", "Width", 0);
    const int h = funkor::ini::getInt(ini, "Window", "Height", 0);
    if (w <= 0 || h <= 0 || !funkor::ini::getString(ini, "Window", "Left")) return;
    QRect placed(funkor::ini::getInt(ini, "Window", "Left", 0),
                 funkor::ini::getInt(ini, "Window", "Top", 0), w, h);
    placed.setSize(placed.size().expandedTo(minimumSize()));
    // Only on a screen that is still there, and at least as much of it in
    // view that the title bar can be taken.
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect avail = screen->availableGeometry();
        if (avail.intersects(placed)) {
            placed.setSize(placed.size().boundedTo(avail.size()));
            if (placed.right() > avail.right()) placed.moveRight(avail.right());
            if (placed.bottom() > avail.bottom()) placed.moveBottom(avail.bottom());
            if (placed.left() < avail.left()) placed.moveLeft(avail.left());
            if (placed.top() < avail.top()) placed.moveTop(avail.top());
            move(placed.topLeft());
            resize(placed.size());
            return;
        }
    }
}

void Form1::rememberPlacement() {
    // Only a window in its normal state has a placement of its own; one
    // closed maximized or minimized keeps the one stored before.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return;
    const std::string ini = settingsPath();
    const std::pair<const char*, int> values[] = {
        {"Left", x()}, {"Top", y()}, {"Width", width()}, {"Height", height()}};
    std::vector<funkor::ini::Entry> changed;
    for (const auto& [key, value] : values) {
        if (funkor::ini::getInt(ini, "Window", key, value - 1) != value)
            changed.push_back({"Window", key, std::to_string(value)});
    }
    if (!changed.empty()) funkor::ini::writeStrings(ini, changed);
}
