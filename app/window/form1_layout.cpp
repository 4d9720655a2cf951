#include <QApplication>
#include <QStringList>
#include <QStyle>

#include "app/window/form1.h"
#include "app/window/form2.h"
#include "core/version.h"

// Where every element sits and how it looks when the window is built. The
// window has a fixed design: three columns on top (phone, operators, cell
// position), the SMS and phone-book block below the first two and the GPS and
// output block below the third.

namespace {

// "0.1.0" -> "V0.10": major, ".", minor and revision without leading zeros.
QString versionText() {
    QStringList parts = QString::fromLatin1(funkor::programVersion()).split(QLatin1Char('.'));
    while (parts.size() < 3) parts << QStringLiteral("0");
    return QStringLiteral("V%1.%2%3")
        .arg(parts[0].toInt())
        .arg(parts[1].toInt())
        .arg(parts[2].toInt());
}

}  // namespace

void Form1::layoutElements() {
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    centralWidget()->setFont(f);
    resize(600, 412);
    setMinimumSize(600, 412);

    // Phone column, framed by Shape1
    Shape1->setGeometry(4, 4, 196, 146);
    Label2->setGeometry(8, 8, 46, 20);
    GSM->setGeometry(56, 7, 78, 22);
    Active->setGeometry(138, 8, 18, 20);
    BattE->setGeometry(158, 8, 18, 20);
    BattL->setGeometry(178, 8, 18, 20);
    Baud[2]->setGeometry(8, 32, 64, 20);
    Baud[1]->setGeometry(74, 32, 58, 20);
    Baud[0]->setGeometry(134, 32, 60, 20);
    // Manufacturer and model stand on two lines.
    Info->setGeometry(8, 56, 164, 30);
    Image1->setGeometry(176, 60, 20, 20);
    Level->setGeometry(8, 90, 188, 10);
    BattA->setGeometry(8, 104, 188, 10);
    Text3->setGeometry(8, 120, 188, 26);

    // Operator column
    Line5->setGeometry(201, 4, 2, 176);
    Netz->setGeometry(206, 8, 120, 20);
    Netz2->setGeometry(330, 8, 68, 20);
    for (int i = 0; i < 8; ++i) {
        int y = 32 + i * 18;
        Sta[i]->setGeometry(206, y + 2, 12, 12);
        Netze[i]->setGeometry(222, y, 112, 16);
        Land[i]->setGeometry(338, y, 60, 16);
    }
    // The operator list behind the operator labels is never shown.
    List1->setGeometry(206, 32, 192, 142);
    // The trace list lies over the operators from the second one down when
    // it is shown.
    List2->setGeometry(206, 50, 192, twipsToPixels(3960));
    List2->raise();

    // Cell position column, framed by Shape2
    Line6->setGeometry(399, 4, 2, 176);
    Shape2->setGeometry(402, 4, 194, 102);
    Cell->setGeometry(406, 8, 186, 20);
    Line1[0]->setGeometry(406, 30, 186, 2);
    TAV->setGeometry(406, 34, 90, 18);
    Line1[3]->setGeometry(498, 34, 2, 18);
    Zone->setGeometry(502, 34, 90, 18);
    Line1[1]->setGeometry(406, 54, 186, 2);
    PosL->setGeometry(406, 58, 186, 18);
    Entf->setGeometry(406, 80, 90, 20);
    ShCell->setGeometry(500, 80, 20, 20);
    ShHome->setGeometry(522, 80, 20, 20);
    Line1[4]->setGeometry(546, 80, 2, 20);
    NewL->setGeometry(570, 79, 22, 22);
    Line1[2]->setGeometry(406, 104, 186, 2);
    Trace->setGeometry(406, 110, 80, 20);
    TrNew->setGeometry(490, 110, 100, 20);

    // GPS and output block, framed by Shape3
    Shape3->setGeometry(402, 134, 194, 176);
    Label3->setGeometry(406, 138, 58, 20);
    GPS->setGeometry(466, 137, 72, 22);
    GPSstat->setGeometry(544, 142, 12, 12);
    Label4->setGeometry(406, 162, 58, 20);
    NMEA->setGeometry(466, 161, 72, 22);
    TCPstat->setGeometry(544, 166, 12, 12);
    cGSM->setGeometry(406, 186, 18, 20);
    cGPS->setGeometry(426, 186, 18, 20);
    cSMS->setGeometry(446, 186, 18, 20);
    cMULTI->setGeometry(466, 186, 18, 20);
    Label6->setGeometry(488, 188, 36, 18);
    Label7->setGeometry(528, 188, 50, 18);
    GsmL->setGeometry(406, 210, 120, 18);
    SendPos->setGeometry(406, 232, 70, 20);
    CallPos->setGeometry(478, 232, 70, 20);
    ReqPosEn->setGeometry(552, 232, 18, 20);
    MBlast->setGeometry(406, 256, 80, 20);
    AsendL->setGeometry(490, 256, 40, 20);
    AsendS->setGeometry(572, 256, 16, 48);

    // SMS and phone-book block
    Line2->setGeometry(4, 182, 396, 2);
    Label5->setGeometry(8, 190, 40, 22);
    SMSrd->setGeometry(50, 190, 44, 22);
    SMSb->setGeometry(98, 190, 44, 22);
    SMSc->setGeometry(146, 190, 44, 22);
    Check1->setGeometry(196, 190, 104, 22);
    SpreloI->setGeometry(376, 191, 20, 20);
    Combo1->setGeometry(8, 216, 300, 22);
    CALLb->setGeometry(312, 216, 86, 22);
    Text1->setGeometry(8, 242, 390, 22);
    Text2->setGeometry(8, 268, 390, 56);
    RingL->setGeometry(8, 328, 300, 36);
    Sprelo->setGeometry(366, 330, 32, 32);

    // Settings
    Line4->setGeometry(4, 372, 592, 2);
    SAVE->setGeometry(406, 380, 24, 22);
    Label1->setGeometry(434, 382, 40, 18);
}

void Form1::setInitialStates() {
    setWindowTitle(QStringLiteral("        Funkor   ") + versionText());

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

    // Texts and values
    Text3->setText(QStringLiteral("Multicard-Info"));
    Text1->setTabChangesFocus(true);
    Level->setValue(0);
    BattA->setValue(0);
    AsendS->setRange(0, 120);
    AsendS->setPageStep(10);
    AsendS->setValue(0);
    Active->setChecked(true);
    RingL->setWordWrap(true);
    RingL->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AsendL->setAlignment(Qt::AlignCenter);
    for (auto* l : {Cell, TAV, Zone, Entf, PosL, Netz, Netz2, Info})
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SAVE->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    NewL->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
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
    QWidget* hidden[] = {List1,    List2, SMSc,   BattE,  BattL,  SpreloI, Image1,  Text3,
                         Text1,    Text2, SMSrd,  RingL,  Check1, Combo1,  CALLb,   SMSb,
                         Cell,     TAV,   Shape2, PosL,   Zone,   MBlast,  SendPos, CallPos,
                         ReqPosEn, Entf,  ShHome, ShCell, GsmL,   AsendL,  AsendS,  Sprelo};
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
}
