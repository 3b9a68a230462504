// Batch mode through the real main window against the in-process simulated programmer:
// one Auto pass per chip put in, the controls held while it runs, how detections are
// counted, and the production record each pass leaves.
//
// The toggle's click runs the batch loop until the toggle is released, so everything a
// test does while batch mode runs happens from a timer the loop's event processing fires,
// or from a script that changes the socket just before a given detection reaches the
// programmer (the window's USB calls pass through counting wrappers).
#include "BatchFixture.h"
#include "Modal.h"
#include "Unit2.h"
#include "Unit6.h"

#include <QProgressBar>
#include <QThread>
#include <QTimer>

class BatchWindowTest : public QObject, protected BatchFixture {
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // A chip put in gets one pass on the sixth detection that sees it, and a chip left in
    // the socket none more; after an empty socket the next chip gets its own.
    void everyChipPutInIsProgrammedOnce() {
        // Detections 1-6 see the first chip and start its pass, whose own socket check is
        // detection 7; 8-9 see it still, 10 an empty socket, 11-16 the second chip, which
        // has the same ID (its pass after 16, checked at 17).
        std::optional<ksim::Chip> first;
        m_wire.beforeDetection = [&](int n) {
            if (n == 10) { // the first chip comes out
                first = m_sim->chip();
                m_sim->programmer().insert(ksim::Chip());
            } else if (n == 11) {
                m_sim->programmer().insert(flashChip(0xEF4014, 99));
            }
        };
        bool firstSeen = false;
        runBatch([&] {
            if (m_wire.setupsAfter.size() == 1 && !w().operationRunning() && !firstSeen) {
                firstSeen = true;
                QVERIFY(programmed(m_sim->chip(), kFlashSize));
                QCOMPARE(passLines(), QStringList{"#1 PASS, 1 passed, 0 failed"});
            }
            if ((m_wire.setupsAfter.size() == 2 || m_wire.detections >= 18) &&
                !w().operationRunning())
                release();
        });
        QVERIFY(firstSeen);
        QCOMPARE(m_wire.setupsAfter, (std::vector<int>{7, 17}));
        QVERIFY(errors().empty());
        QVERIFY(first && programmed(*first, kFlashSize));
        QVERIFY(programmed(m_sim->chip(), kFlashSize));
        QCOMPARE(autoCompletions(), 2);
        QVERIFY(chipChoiceUsable()); // batch mode over: the next chip can be chosen
        QCOMPARE(passLines(),
                 (QStringList{"#1 PASS, 1 passed, 0 failed", "#2 PASS, 2 passed, 0 failed"}));
        // The run's first line names the record file.
        QVERIFY2(log().last().endsWith(QStringLiteral(" Batch record file: ") + recordPath()),
                 qPrintable(log().last()));
        QCOMPARE(logLinesEndingWith(QStringLiteral("Batch record file: ") + recordPath()).size(),
                 1);

        const QStringList record = recordLines();
        QCOMPARE(record.size(), 3);
        QCOMPARE(record[0], QStringLiteral("time,pass,type,maker,model,id,result,step,address,"
                                           "crc32,seconds,run"));
        const std::vector<std::uint8_t> written(0x100, kFill);
        const QString crc = hex8(crc32Of(written));
        static const QRegularExpression time(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"));
        static const QRegularExpression seconds(QStringLiteral("^\\d+\\.\\d{3}$"));
        const char *ids[] = {"1:EF4014", "1:EF4014"};
        for (int i = 1; i <= 2; ++i) {
            const QStringList f = record[i].split(QLatin1Char(','));
            QCOMPARE(f.size(), 12);
            // Both passes carry their run's start, which came before them.
            QVERIFY2(time.match(f[11]).hasMatch(), qPrintable(f[11]));
            QCOMPARE(f[11], record[1].section(QLatin1Char(','), 11));
            QVERIFY(f[11] <= f[0]);
            QVERIFY2(time.match(f[0]).hasMatch(), qPrintable(f[0]));
            QCOMPARE(f[1], QString::number(i));
            QCOMPARE(f.mid(2, 3), (QStringList{"25_SPI_FLASH", "Winbond", "W25Q80"}));
            QCOMPARE(f[5], QString::fromLatin1(ids[i - 1]));
            QCOMPARE(f.mid(6, 3), (QStringList{"PASS", "", ""}));
            QCOMPARE(f[9], crc);
            QVERIFY2(seconds.match(f[10]).hasMatch(), qPrintable(f[10]));
            QVERIFY(f[10].toDouble() >= 0.35); // the wait before verify is part of the pass
        }
    }

    // While batch mode runs only the toggle is usable on the toolbar and nothing on the
    // main panel; the menu stays. Releasing puts every control back as it was.
    void batchModeHoldsTheToolbarAndThePanelButNotTheMenu() {
        m_sim->programmer().insert(ksim::Chip()); // nothing to program
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        const auto before = enabledStates();
        QVERIFY(before.at(action("ToolErase")));
        QVERIFY(w().GroupBox1->isEnabled());
        bool looked = false, released = false;
        int detectionsAtRelease = 0;
        runBatch([&] {
            if (m_wire.detections < 2 || looked)
                return;
            looked = true;
            QCOMPARE(bulk()->text(), QStringLiteral("STOP"));
            QVERIFY(bulk()->isEnabled());
            QVERIFY(bulk()->isChecked());
            QVERIFY(action("MenuBulk")->isChecked() && action("MenuBulk")->isEnabled());
            QVERIFY(!action("MenuDetect")->isEnabled()); // would choose another chip
            for (QAction *a : w().ToolBar1->actions())
                if (!a->isSeparator() && a != bulk())
                    QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
            // Everything on the main panel but the log, which stays readable.
            for (QWidget *c : w().centralWidget()->findChildren<QWidget *>())
                QVERIFY2(c->isEnabled() == (c == w().RichEdit1 || c->isAncestorOf(w().RichEdit1) ||
                                            w().RichEdit1->isAncestorOf(c)),
                         qPrintable(c->objectName()));
            QVERIFY(!w().ComboBox1->isEnabled());
            QVERIFY(!w().CheckBox1->isEnabled());
            for (QAction *a : w().menuBar()->actions())
                QVERIFY2(a->isEnabled() == before.at(a), qPrintable(a->text()));
            QVERIFY(w().findChild<QMenu *>(QStringLiteral("O3"))->menuAction()->isEnabled());
            for (const char *name : {"E1", "A1", "R1", "W1", "V1", "N7"})
                QVERIFY2(action(name)->isEnabled(), name);
            // The chip editor does not open: a save could change the chip's record or
            // reset the buffer the next pass writes from.
            bool editorOpened = false;
            QTimer::singleShot(0, w().editorWindow(), [&] {
                editorOpened = w().editorWindow()->isVisible();
                w().editorWindow()->reject();
            });
            w().ToolDeviceClick();
            QVERIFY(!editorOpened);
            // Nor does the hardware information, which would restart the programmer.
            bool infoOpened = false;
            QTimer::singleShot(0, w().hardwareWindow(), [&] {
                infoOpened = w().hardwareWindow()->isVisible();
                w().hardwareWindow()->reject();
            });
            w().N4Click();
            QVERIFY(!infoOpened);

            detectionsAtRelease = m_wire.detections;
            // Released from the operation menu: back at once, while the loop is still on
            // the stack.
            action("MenuBulk")->trigger();
            released = true;
            QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
            QVERIFY(!bulk()->isChecked() && !action("MenuBulk")->isChecked());
            QVERIFY(enabledStates() == before);
        });
        QVERIFY(looked && released);
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        QVERIFY(enabledStates() == before);
        // A release during the wait lets at most the detection already due go out.
        QVERIFY(m_wire.detections <= detectionsAtRelease + 1);
        QVERIFY(m_wire.setupsAfter.empty());
        QVERIFY(errors().empty());
    }

    // While batch mode runs the status bar tells what the socket waits for and the run's
    // counts, in the current language, whole beside the progress bars at the default
    // size. Once it ends the panel goes.
    void theStatusBarShowsTheSocketAndTheCounts() {
        // Detections 1-6 see the chip (its pass after 6, checked at 7), 8-9 see it still,
        // 10 an empty socket.
        m_wire.beforeDetection = [&](int n) {
            if (n == 10)
                m_sim->programmer().insert(ksim::Chip());
        };
        const int barLeft = w().Progress->x();
        QLabel *panel = w().BatchPanel;
        QVERIFY(!panel->isVisible());
        QStringList seen; // every text it showed, in turn
        bool passChecked = false;
        runBatch([&] {
            const QString now = panel->isVisible() ? panel->text() : QString();
            if (seen.isEmpty() || seen.last() != now)
                seen << now;
            if (w().operationRunning() && w().Progress->isVisible() && !passChecked) {
                passChecked = true;
                QCOMPARE(w().size(), QSize(700, 500));
                QVERIFY(panel->contentsRect().width() >=
                        panel->fontMetrics().horizontalAdvance(panel->text()));
                // Left of the bars, which keep room for their percentage.
                QVERIFY(w().Progress->x() > panel->geometry().right());
                QVERIFY(w().Progress->width() >= 60);
                screenshot(&w(), "batch-programming");
            } else if (m_wire.detections == 9 && w().language() == 2) {
                action("China")->trigger();
            } else if (m_wire.detections == 11) {
                release();
            }
        });
        QVERIFY(passChecked);
        QCOMPARE(seen, (QStringList{"insert a chip: 0 passed, 0 failed",
                                    "programming: 0 passed, 0 failed",
                                    "remove the chip: 1 passed, 0 failed",
                                    "请取出芯片：通过 1，失败 0", "请放入芯片：通过 1，失败 0"}));
        QVERIFY(!panel->isVisible());
        QTRY_COMPARE(w().Progress->x(), barLeft);
    }

    // A failed pass of an EEPROM chip names the EEPROM's step; the engine's own box keeps
    // its text.
    void anEepromPassNamesItsStep() {
        selectModel("24C02");
        fillFirstPage();
        ksim::Chip locked = eepromChip();
        locked.writeProtected = true;
        m_sim->programmer().insert(locked);
        runBatch([&] {
            if (!passLines().isEmpty())
                release();
        });
        QCOMPARE(passLines(), QStringList{"#1 FAIL (verify EEPROM), 0 passed, 1 failed"});
        QCOMPARE(errors().size(), 1u);
        QVERIFY2(errors()[0].starts_with("Flash check error address:"), errors()[0].c_str());
    }

    // The captions follow the language, also when it is switched from the menu while
    // batch mode runs: the toggle still reads STOP, in the new language.
    void theToggleShowsStopOrBulk() {
        m_sim->programmer().insert(ksim::Chip());
        w().ChinaClick();
        QCOMPARE(bulk()->text(), QStringLiteral("批量"));
        QString pressed, switched;
        runBatch([&] {
            if (m_wire.detections == 1 && pressed.isEmpty()) {
                pressed = bulk()->text();
                action("Enlish")->trigger();
                switched = bulk()->text();
                release();
            }
        });
        QCOMPARE(pressed, QStringLiteral("停止"));
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        // A language switch sets every caption from its table, the toggle's too.
        QCOMPARE(switched, QStringLiteral("BULK"));
    }

    // Type codes that detection takes for no chip (4 and above) neither count towards the
    // five detections nor reset the count, and do not start a pass.
    void typeCodesThatAreNoChipNeitherCountNorStartAPass() {
        selectModel("24C02");
        fillFirstPage();
        w().RichEdit1->clear();
        m_sim->programmer().insert(ksim::Chip());
        // Detection by detection: 1 empty, 2-4 code 200, 5-7 a chip (three), 8 code 4
        // (still three), 9-10 a chip (five), 11 code 200 (no pass), 12 a chip: the pass,
        // its socket check 13. Had code 200 counted, the pass would have come at 7; had it
        // reset the count, none would have come; had it started the pass, at 11.
        m_wire.beforeDetection = [&](int n) {
            if (n == 2)
                m_sim->programmer().insert(eepromChip());
            if (n >= 2)
                m_sim->chip().idType = (n >= 5 && n <= 7) || n == 9 || n == 10 || n >= 12 ? 2
                                       : n == 8                                          ? 4
                                                                                         : 200;
        };
        runBatch([&] {
            if ((m_wire.setupsAfter.size() == 1 || m_wire.detections >= 14) &&
                !w().operationRunning())
                release();
        });
        QCOMPARE(m_wire.setupsAfter, std::vector<int>{13});
        QVERIFY(errors().empty());
        QVERIFY(programmed(m_sim->chip(), kEepromSize));
        QCOMPARE(passLines(), QStringList{"#1 PASS, 1 passed, 0 failed"});
        const QStringList record = recordLines();
        QCOMPARE(record.size(), 2);
        const QStringList f = record[1].split(QLatin1Char(','));
        QCOMPARE(f.mid(1, 7),
                 (QStringList{"1", "24_EEPROM", "Generic", "24C02", "2:000000", "PASS", ""}));
    }

    // An operation from the menu runs between two detections: the loop waits for it, the
    // held controls stay held meanwhile, and once batch mode ends every control is usable
    // again, the chip choice inside the main panel too.
    void aMenuOperationRunsBetweenDetections() {
        const auto before = enabledStates();
        QVERIFY(chipChoiceUsable());
        bool erased = false;
        runBatch([&] {
            if (erased || m_wire.detections != 2)
                return;
            erased = true;
            QCOMPARE(m_sim->chip().memory()[0x200], std::uint8_t{0x00});
            action("E1")->trigger();
            QCOMPARE(m_wire.detections, 3); // the erase's own socket check
            QCOMPARE(m_sim->chip().memory()[0x200], std::uint8_t{0xFF});
            QVERIFY(!logLinesEndingWith(QStringLiteral("Erase Flash ...")).isEmpty());
            QVERIFY(!action("ToolErase")->isEnabled());
            QVERIFY(!w().ComboBox1->isEnabled());
            QVERIFY(bulk()->isEnabled());
            QVERIFY(bulk()->isChecked());
            release();
        });
        QVERIFY(erased);
        QCOMPARE(m_wire.setupsAfter, std::vector<int>{3}); // the erase's; no pass
        QVERIFY(errors().empty());
        QVERIFY(enabledStates() == before);
        QVERIFY(chipChoiceUsable());
    }

    // Released during a pass: the controls come back at once, nothing else may start or
    // change the buffer meanwhile, the pass runs to its end and is recorded, and no
    // detection follows it.
    void releasedDuringAPassTheLoopEndsAfterIt() {
        const auto before = enabledStates();
        bool inside = false, fillOpened = false;
        runBatch([&] {
            if (inside || !w().operationRunning() || m_wire.setupsAfter.size() != 1)
                return;
            inside = true;
            bulk()->trigger();
            QVERIFY(!bulk()->isChecked());
            QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
            QVERIFY(enabledStates() == before);
            QVERIFY(w().operationRunning()); // the pass goes on
            const int transfers = m_sim->transferCount();
            w().ToolEraseClick(); // the programmer is held: ignored
            w().ToolAutoClick();
            QCOMPARE(m_sim->transferCount(), transfers);
            // Nor may the buffer the pass writes from change under it: the fill window
            // does not open.
            QTimer::singleShot(0, w().fillWindow(), [&] {
                if (!w().fillWindow()->isVisible())
                    return;
                fillOpened = true;
                w().fillWindow()->Edit1->setText(QStringLiteral("00"));
                w().fillWindow()->BitBtn1Click();
                w().fillWindow()->reject();
            });
            action("Fill")->trigger();
            QVERIFY(!fillOpened);
        });
        QVERIFY(inside);
        QCOMPARE(m_wire.setupsAfter, std::vector<int>{7}); // after the pass's socket check
        QCOMPARE(m_wire.detections, 7); // the loop ended right after the pass
        QVERIFY(errors().empty());
        QVERIFY(programmed(m_sim->chip(), kFlashSize));
        QCOMPARE(w().buffers().loadedLength, 0x100);
        QCOMPARE(autoCompletions(), 1);
        QCOMPARE(passLines(), QStringList{"#1 PASS, 1 passed, 0 failed"});
        QCOMPARE(recordLines().size(), 2);
        QVERIFY(recordLines()[1].contains(QStringLiteral(",1:EF4014,PASS,,,")));
        QVERIFY(enabledStates() == before);
        QVERIFY(chipChoiceUsable());
    }

    // Stop in a pass ends it at its next transfer, recorded as stopped, and batch mode with
    // it: no detection follows, and the toggle reads BULK.
    void stopInAPassEndsItAndBatchMode() {
        runBatch([&] {
            if (w().operationRunning() && w().Progress->value() > 0 && bulk()->isChecked())
                QTest::mouseClick(w().ToolBar1->widgetForAction(action("ToolStop")),
                                  Qt::LeftButton);
        });
        QCOMPARE(m_wire.detections, 7);
        QCOMPARE(passLines(), QStringList{"#1 FAIL (interrupted), 0 passed, 1 failed"});
        QVERIFY(recordLines().last().contains(QStringLiteral(",FAIL,interrupted,")));
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
    }

    // A programmer that cannot be reached, or a detection whose reply is lost, tells
    // nothing about the socket: no box, and the count goes on where it was.
    void anUnreachableProgrammerKeepsTheCount() {
        int lookupsAtUnplug = 0;
        bool unplugged = false, replugged = false;
        // Detection 5 (the second after the replug) loses its reply.
        m_wire.beforeDetection = [&](int n) {
            if (n == 5)
                m_sim->faults.timeoutAtTransfer = m_sim->transferCount() + 2;
        };
        runBatch([&] {
            if (!unplugged && m_wire.detections == 3) {
                unplugged = true;
                m_sim->unplug();
                lookupsAtUnplug = m_wire.lookups;
            } else if (unplugged && !replugged && m_wire.lookups >= lookupsAtUnplug + 2) {
                // Two rounds found no programmer.
                QCOMPARE(m_wire.detections, 3);
                m_sim->plug();
                replugged = true;
            }
            if (m_wire.setupsAfter.size() == 1 && !w().operationRunning())
                release();
        });
        QVERIFY(replugged);
        // Counted: 1-3, then 4 and 6 (5 failed); 7 starts the pass, checked at 8. Had the
        // count been lost it would have come at 11 or later.
        QCOMPARE(m_wire.setupsAfter, std::vector<int>{8});
        QVERIFY(errors().empty());
        QCOMPARE(passLines(), QStringList{"#1 PASS, 1 passed, 0 failed"});
        QVERIFY(programmed(m_sim->chip(), kFlashSize));
    }

    // A chip that does not take the data fails its pass at verify: the box, the counts in
    // the log, the step and the address in the record. The next chip still passes.
    void aFailedPassIsLoggedAndRecorded() {
        ksim::Chip locked(ksim::Family::Spi25, 0xEF4014, kFlashSize);
        std::fill_n(locked.memory().begin(), 0x10, kFill); // differs first at 10h
        std::fill(locked.memory().begin() + 0x10, locked.memory().end(), std::uint8_t{0});
        locked.writeProtected = true;
        m_sim->programmer().insert(locked);
        // The box stays open a while, as it would for a person; the pass's seconds leave
        // that out.
        constexpr int kBoxOpenMs = 1500;
        m_dialogs->whileErrorShown = [] { QThread::msleep(kBoxOpenMs); };
        // Detections 1-6 see the locked chip (its pass after 6, checked at 7), 8 an empty
        // socket, 9-14 a chip that takes the data (its pass after 14, checked at 15).
        m_wire.beforeDetection = [&](int n) {
            if (n == 8)
                m_sim->programmer().insert(ksim::Chip());
            else if (n == 9)
                m_sim->programmer().insert(flashChip(0xEF4014, 5));
        };
        runBatch([&] {
            if (m_wire.setupsAfter.size() == 2 && !w().operationRunning())
                release();
        });
        QCOMPARE(m_wire.setupsAfter, (std::vector<int>{7, 15}));
        QCOMPARE(errors(), std::vector<std::string>{"Flash check error address:10h"});
        QCOMPARE(passLines(), (QStringList{"#1 FAIL (verify), 0 passed, 1 failed",
                                           "#2 PASS, 1 passed, 1 failed"}));
        QCOMPARE(autoCompletions(), 1); // the second pass's only
        QVERIFY(programmed(m_sim->chip(), kFlashSize));
        const QStringList record = recordLines();
        QCOMPARE(record.size(), 3);
        const QStringList failed = record[1].split(QLatin1Char(','));
        QVERIFY2(failed[10].toDouble() >= 0.35 && failed[10].toDouble() < kBoxOpenMs / 1000.0,
                 qPrintable(failed[10]));
        QCOMPARE(
            failed.mid(1, 9),
            (QStringList{"1", "25_SPI_FLASH", "Winbond", "W25Q80", "1:EF4014", "FAIL", "verify",
                         "10", hex8(crc32Of(std::vector<std::uint8_t>(0x100, kFill)))}));
        QCOMPARE(
            record[2].split(QLatin1Char(',')).mid(1, 8),
            (QStringList{"2", "25_SPI_FLASH", "Winbond", "W25Q80", "1:EF4014", "PASS", "", ""}));
    }

    // A chip of another ID is not programmed as the one selected: its pass fails with its
    // own step, the box names both chips, and the chip keeps what it held.
    void anotherChipFailsItsPassUntouched() {
        m_sim->programmer().insert(flashChip(0xC84014, 3));
        const std::vector<std::uint8_t> held = m_sim->chip().memory();
        runBatch([&] {
            if (!passLines().isEmpty())
                release();
        });
        QVERIFY(m_wire.setupsAfter.empty()); // no bracket opened
        QCOMPARE(m_wire.detections, 7);      // six in the loop and the pass's own check
        QVERIFY(m_sim->chip().memory() == held);
        QCOMPARE(errors(), std::vector<std::string>{
                               "The chip in the socket is not the chip selected: it answers "
                               "ID C84014 (no catalogue chip has it); the chip selected is "
                               "W25Q80, ID EF4014."});
        QCOMPARE(passLines(), QStringList{"#1 FAIL (wrong chip), 0 passed, 1 failed"});
        const QStringList f = recordLines().value(1).split(QLatin1Char(','));
        QCOMPARE(f.mid(5, 3), (QStringList{"1:C84014", "FAIL", "wrong-chip"}));
    }

    // A pass without its verify proves nothing about the chip, even where every step it
    // ran went through: a write-protected chip that kept its contents is logged and
    // recorded as not verified, never as PASS. With no step ticked no run starts.
    void aPassWithoutVerifyIsNotAPass() {
        ksim::Chip locked = flashChip(0xEF4014, 1);
        locked.writeProtected = true;
        m_sim->programmer().insert(locked);
        const std::vector<std::uint8_t> held = m_sim->chip().memory();
        w().CheckBox3->setChecked(false);
        runBatch([&] {
            if (!passLines().isEmpty())
                release();
        });
        QVERIFY(m_sim->chip().memory() == held); // untouched, as nothing checked
        QVERIFY(errors().empty());
        QCOMPARE(autoCompletions(), 0);
        QCOMPARE(passLines(), QStringList{"#1 NOT VERIFIED, 0 passed, 0 failed, 1 not verified"});
        QStringList record = recordLines();
        QCOMPARE(record.size(), 2);
        QCOMPARE(record[1].split(QLatin1Char(',')).mid(5, 4),
                 (QStringList{"1:EF4014", "UNVERIFIED", "", ""}));

        for (QCheckBox *box : {w().CheckBox1, w().CheckBox2, w().CheckBox3})
            box->setChecked(false);
        const auto before = enabledStates();
        m_wire = {};
        record = recordLines();
        runBatch([] {}, 2000);
        QCOMPARE(errors(), std::vector<std::string>{"Batch mode did not start: no step of the "
                                                    "Auto Options (Erase, Program, Verify) is "
                                                    "ticked."});
        QCOMPARE(m_wire.detections, 0);
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        QVERIFY(enabledStates() == before);
        QCOMPARE(recordLines(), record);
    }

    // Every run of one record file is told apart by its start: the passes of each start
    // at 1 again, under the one header.
    void eachRunOfARecordIsToldApart() {
        for (int run = 0; run < 2; ++run) {
            m_wire = {};
            runBatch([&] {
                if (m_wire.setupsAfter.size() == 1 && !w().operationRunning())
                    release();
            });
            QCOMPARE(m_wire.setupsAfter, std::vector<int>{7}); // a new run counts anew
        }
        const QStringList record = recordLines();
        QCOMPARE(record.size(), 3);
        QVERIFY(record[0].endsWith(QStringLiteral(",seconds,run")));
        const QStringList first = record[1].split(QLatin1Char(','));
        const QStringList second = record[2].split(QLatin1Char(','));
        QCOMPARE(first[1], QStringLiteral("1"));
        QCOMPARE(second[1], QStringLiteral("1"));
        QCOMPARE(first.size(), 12);
        QCOMPARE(second.size(), 12);
        QVERIFY2(first[11] < second[11], qPrintable(first[11] + " " + second[11]));
        QVERIFY(first[0] <= second[11]); // the second began after the first's pass
    }

    // An installed copy records in the state folder; a record an earlier version kept
    // beside the settings is moved there first and goes on.
    void anInstalledCopyRecordsInTheStateFolder() {
        const QString state = m_dir->path() + QStringLiteral("/state/korvat/korvat-batch.csv");
        QFile old(recordPath());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write((recordHeader() + "\n").c_str()) > 0);
        old.close();
        openWindow({(base() + ".Dat").toStdString(), (base() + ".ini").toStdString(), {}, true,
                    state.toStdString()});
        m_wire = {};
        runBatch([&] {
            if (m_wire.setupsAfter.size() == 1 && !w().operationRunning())
                release();
        });
        QVERIFY(!QFile::exists(recordPath()));
        QFile moved(state);
        QVERIFY(moved.open(QIODevice::ReadOnly));
        const QByteArray held = moved.readAll(); // the header and the pass
        QVERIFY2(held.startsWith((recordHeader() + "\n").c_str()) && held.count('\n') == 2 &&
                     held.contains(",PASS,"),
                 held.constData());
    }

    // Without a chip selected every pass would be refused: batch mode does not start.
    void noChipSelectedRefusesTheRun() {
        w().selectChip(0, 5, 0); // a maker that is not there: nothing chosen
        QCOMPARE(w().chosenChip(), -1);
        runBatch([] {}, 2000);
        QCOMPARE(errors(), std::vector<std::string>{
                               "No chip is selected. Choose the chip in the lists first."});
        QCOMPARE(m_wire.detections, 0);
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        QVERIFY(recordLines().isEmpty());
    }

    // A record file that cannot be written refuses the run before any detection.
    void anUnwritableRecordRefusesTheRun() {
        QVERIFY(QDir().mkdir(recordPath()));
        const auto before = enabledStates();
        runBatch([] {}, 2000);
        QCOMPARE(errors(),
                 std::vector<std::string>{"Cannot write the batch record file; batch mode "
                                          "stopped: " +
                                          recordPath().toStdString()});
        QCOMPARE(m_wire.detections, 0);
        QVERIFY(m_wire.setupsAfter.empty());
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        QVERIFY(enabledStates() == before);
        QVERIFY(passLines().isEmpty());
    }

    // A pass whose record cannot be written ends batch mode right after it.
    void aRecordLostDuringTheRunStopsIt() {
        const auto before = enabledStates();
        bool swapped = false;
        runBatch([&] {
            if (!swapped && w().operationRunning()) {
                swapped = true; // the record file becomes a folder during the first pass
                QVERIFY(QFile::remove(recordPath()));
                QVERIFY(QDir().mkdir(recordPath()));
            }
        });
        QVERIFY(swapped);
        QCOMPARE(m_wire.setupsAfter, std::vector<int>{7});
        QCOMPARE(m_wire.detections, 7);
        QCOMPARE(passLines(), QStringList{"#1 PASS, 1 passed, 0 failed"});
        QCOMPARE(errors(),
                 std::vector<std::string>{"Cannot write the batch record file; batch mode "
                                          "stopped: " +
                                          recordPath().toStdString()});
        QCOMPARE(bulk()->text(), QStringLiteral("BULK"));
        QVERIFY(enabledStates() == before);
        QVERIFY(chipChoiceUsable());
    }
};

QTEST_MAIN(BatchWindowTest)
#include "BatchWindowTest.moc"
