// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window on a full disk (made as `ulimit -f` makes it: files cannot grow
// beyond a limit and writes fail with EFBIG): the user is told once, the
// program goes on, and nothing already in the files is lost.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include "app/position/cell_site_files.h"
#include "app/position/position_log.h"
#include "tests/window/window_test_support.h"

namespace {

// Files of this process cannot grow beyond `bytes` while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit l = saved_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
};

const QByteArray kEntry = "$GPTXT,4E21C67C26207,459870581994,\r\n$GPRMC,R*00\r\n$GPGGA,G*00\r\n";
const QString kLogFull =
    QStringLiteral("Die Datei Funkor.log kann nicht geschrieben werden: Datenträger voll");
const QString kNamesFull =
    QStringLiteral("Die Datei Funkor.clf kann nicht geschrieben werden: Datenträger voll");

}  // namespace

TEST(FullDisk, ToldOnceThenTheProgramGoesOnAndKeepsTheLog) {
    WindowFixture w;
    Form1& f = w.make();
    f.network.operatorCode = "26207";
    f.network.cellKey = "4E21C67C26207";
    f.position.positionKey = "459870581994";
    f.position.gsmRmc = "$GPRMC,R*00\r\n";
    f.position.gsmGga = "$GPGGA,G*00\r\n";
    f.TrNew->setChecked(false);
    w.writeFile(QStringLiteral("Funkor.log"), kEntry);
    {
        const FileSizeLimit full(10);
        // Logging goes on with every new position; the message comes once.
        f.Trace->setChecked(true);
        for (int i = 0; i < 3; ++i) f.positionLog->Trace_Click();
        EXPECT_EQ(w.platform->messages, QStringList{kLogFull});
        // A name the user types is answered each time it cannot be kept.
        w.platform->inputAnswers = {QStringLiteral("Bahnhof"), QStringLiteral("Markt")};
        f.Cell_MouseDown(2);
        f.Cell->setText(QString());
        f.Cell_MouseDown(2);
        f.Cell->setText(QString());
        EXPECT_EQ(w.platform->messages, (QStringList{kLogFull, kNamesFull, kNamesFull}));
        EXPECT_EQ(w.readFile(QStringLiteral("Funkor.log")), kEntry);
        EXPECT_EQ(w.readFile(QStringLiteral("Funkor.clf")), QByteArray());
    }
    // Room again: the next position is logged, silently; a disk full once
    // more is told once more.
    f.positionLog->Trace_Click();
    EXPECT_EQ(w.readFile(QStringLiteral("Funkor.log")), kEntry + kEntry);
    EXPECT_EQ(w.platform->messages.size(), 3);
    {
        const FileSizeLimit full(10);
        f.positionLog->Trace_Click();
        f.positionLog->Trace_Click();
    }
    EXPECT_EQ(w.platform->messages.size(), 4);
    EXPECT_EQ(w.platform->messages.last(), kLogFull);
    EXPECT_EQ(w.readFile(QStringLiteral("Funkor.log")), kEntry + kEntry);
}
