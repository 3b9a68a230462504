// Every command that reaches the programmer, crossed with every fault the simulators
// inject, through the real main window. A fault the command can see never ends in a
// completion line; its one box names the step or the address; the buffer, the view and
// the loaded length stay as they were; the programmer is closed; an unplugged programmer
// shows red once the command ended; and the same command works once the fault is gone.
// A fault the command cannot see lets it complete.
#include "BatchFixture.h"
#include "HexView.h"
#include "Unit6.h"
#include "link/Connection.h"

#include <QPushButton>

namespace {

enum class Command { Erase, Read, Blank, Write, Verify, Auto, Detect, Batch, Info, Upgrade };
enum class Fault { Unplug, Timeout, Short, StuckBusy, Flip, Protect, ReportWrite, ReportRead };
enum class Where { Start, Middle, Last };

constexpr const char *kCommandNames[] = {"erase", "read",   "blank", "write", "verify",
                                         "auto",  "detect", "batch", "info",  "upgrade"};
constexpr const char *kFaultNames[] = {"unplug",  "time-out",      "short",        "stuck-busy",
                                       "flipped", "write-protect", "report-write", "report-read"};
constexpr const char *kWhereNames[] = {"start", "middle", "last"};

bool countedByTransfer(Fault f) {
    return f <= Fault::Short;
}
bool ofTheBootLoader(Fault f) {
    return f >= Fault::ReportWrite;
}
bool placed(Fault f) {
    return countedByTransfer(f) || f == Fault::Flip || ofTheBootLoader(f);
}

// Whether the command can notice the fault. Reading a cell whose bits flip gives what the
// chip holds as far as anyone can tell; a protected chip takes an erase or a write
// without a word, and the blank check or verify after it is what finds out.
bool seen(Command c, Fault f) {
    switch (f) {
    case Fault::StuckBusy:
        return c == Command::Erase || c == Command::Auto || c == Command::Batch;
    case Fault::Flip:
        return c == Command::Blank || c == Command::Verify || c == Command::Auto ||
               c == Command::Batch;
    case Fault::Protect:
        return c == Command::Auto || c == Command::Batch;
    default:
        return true;
    }
}

// The boxes a failure may show: each names the step that failed or the address.
bool namesStepOrAddress(const std::string &box) {
    static const QRegularExpression known(QStringLiteral(
        "^(Transfer to the programmer failed at address:[0-9A-F]+h"
        "|The chip parameters did not reach the programmer\\."
        "|Erase timed out: the chip is still busy\\."
        "|Flash check error address:[0-9A-F]+h"
        "|The chip is not empty\\."
        "|Transfer to the programmer failed while reading the (chip ID|hardware information)\\."
        "|Firmware upgrade failed: .+; \\d+ bytes were sent\\.)$"));
    return known.match(QString::fromStdString(box)).hasMatch();
}

struct Snapshot {
    std::uint32_t bufferCrc, viewCrc;
    std::int32_t loaded;
    std::size_t viewSize;
    bool operator==(const Snapshot &) const = default;
};

} // namespace

class FaultMatrixTest : public QObject, public BatchFixture {
    Q_OBJECT

    bool m_notified = false; // the device-change notice of an unplug was delivered

    ksim::Firmware &firmware() { return m_sim->programmer(); }
    QString logText() { return w().RichEdit1->toPlainText(); }
    QString firmwareFile() {
        const QString path = m_dir->path() + QStringLiteral("/new.fwpk");
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QByteArray(0x3000 + 1000, '\x5A')); // the firmware sent starts at 0x3000
        return path;
    }

    Snapshot snapshot() {
        const auto &view = w().FlashEditor->bytes();
        std::vector<std::uint8_t> shown(view.size());
        view.copyOut(0, shown);
        return {crc32Of(w().buffers().flash()), crc32Of(shown), w().buffers().loadedLength,
                view.size()};
    }

    // The state in which the command succeeds: write and verify cover the whole chip,
    // Auto and batch the first page, so a protected chip differs from what they verify.
    void prepare(Command c) {
        m_sim->programmer().insert(flashChip(0xEF4014, 0));
        if (c == Command::Write || c == Command::Verify) {
            action("ToolRead")->trigger();
            QCOMPARE(w().buffers().loadedLength, static_cast<std::int32_t>(kFlashSize));
        }
        if (c == Command::Blank || c == Command::Write)
            m_sim->chip().memory().assign(kFlashSize, 0xFF);
        w().RichEdit1->clear();
        m_dialogs->errors.clear();
        m_dialogs->information.clear();
        m_sim->clearLog();
    }

    // Where a flipped cell goes: inside what the command reads.
    static std::uint32_t flipAddress(Command c, Where where) {
        const std::uint32_t end = c == Command::Auto || c == Command::Batch ? 0x100 : kFlashSize;
        return where == Where::Start ? 0 : where == Where::Middle ? end / 2 : end - 1;
    }

    // Runs the command as a person does and returns when it has ended. Batch mode runs
    // one pass on the chip in the socket, and with afterFirstPass a second one on a new
    // chip after it.
    void run(Command c, const std::function<void()> &afterFirstPass = {}) {
        switch (c) {
        case Command::Erase:
            return action("ToolErase")->trigger();
        case Command::Read:
            return action("ToolRead")->trigger();
        case Command::Blank:
            return action("ToolBank")->trigger();
        case Command::Write:
            return action("ToolWrite")->trigger();
        case Command::Verify:
            return action("ToolVerify")->trigger();
        case Command::Auto:
            return action("ToolAuto")->trigger();
        case Command::Detect:
            return QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        case Command::Info:
        case Command::Upgrade:
            return hardwareWindow(c == Command::Upgrade);
        case Command::Batch:
            return batchPasses(afterFirstPass);
        }
    }

    void hardwareWindow(bool upgrade) {
        const QString file = firmwareFile();
        QTimer::singleShot(0, &w(), [&] {
            TForm6 &f = *w().hardwareWindow();
            if (upgrade) {
                m_dialogs->files = {file.toStdString()};
                m_dialogs->answers = {true}; // the question before the restart
                QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
            } else {
                QTest::mouseClick(f.BitBtn2, Qt::LeftButton);
            }
        });
        action("N4")->trigger();
    }

    // Batch mode until its first pass has ended; then afterFirstPass (if any) and, on a
    // chip put in after an empty socket, a second pass.
    void batchPasses(const std::function<void()> &afterFirstPass) {
        int emptied = 0;
        runBatch(
            [&] {
                if (w().operationRunning())
                    return;
                const auto passes = passLines().size();
                if (passes == 1 && !emptied) {
                    if (!afterFirstPass)
                        return release();
                    afterFirstPass();
                    m_sim->programmer().insert(ksim::Chip()); // the chip is taken out
                    emptied = m_wire.detections;
                } else if (emptied && m_wire.detections == emptied + 1) {
                    m_sim->programmer().insert(flashChip(0xEF4014, 9)); // the next one
                } else if (passes == 2) {
                    release();
                }
            },
            30000);
    }

    bool completed(Command c) {
        const QString log = logText();
        switch (c) {
        case Command::Detect:
            return m_dialogs->information.size() == 1 &&
                   m_dialogs->information[0].starts_with("The chip was detected:W25Q80");
        case Command::Batch:
            return passLines().size() == 2 && passLines()[1].startsWith(QStringLiteral("#2 PASS"));
        case Command::Info:
            return w().hardwareWindow()->Edit3->text() == QStringLiteral("KV2000001");
        case Command::Upgrade:
            return log.contains(QStringLiteral("Firmware upgrade complete: 13288 bytes"));
        default:
            return log.contains(QStringLiteral(" Complete!Use time "));
        }
    }

    // Anything that would tell the person the command worked.
    bool successShown(Command c) {
        const QString log = logText();
        return log.contains(QStringLiteral("Complete!")) || log.contains(QStringLiteral(" PASS")) ||
               log.contains(QStringLiteral("upgrade complete")) ||
               !m_dialogs->information.empty() || (c == Command::Info && completed(c));
    }

    // The transfers the command makes when nothing goes wrong (batch: its pass, from its
    // socket check, the seventh detection, to the next detection), or the boot loader's
    // report writes or reads for the upgrade; measured once on a fresh window, which the
    // next row gets anew.
    int countOf(Command c, Fault f) {
        static std::map<std::pair<Command, Fault>, int> measured;
        const auto key = std::make_pair(c, ofTheBootLoader(f) ? f : Fault::Unplug);
        if (const auto it = measured.find(key); it != measured.end())
            return it->second;
        prepare(c);
        int first = m_sim->transferCount();
        std::optional<int> last; // batch mode: up to the detection after its pass
        m_wire.beforeCommand = [&](std::uint8_t command) {
            if (command == ksim::kReadId && m_wire.detections == 7)
                first = m_sim->transferCount();
            else if (command == ksim::kReadId && m_wire.detections == 8 && !last)
                last = m_sim->transferCount();
        };
        run(c); // batch mode: released after its first pass
        m_wire.beforeCommand = {};
        int n = last.value_or(m_sim->transferCount()) - first;
        if (f == Fault::ReportWrite)
            n = m_sim->bootLoader().reportWrites();
        else if (f == Fault::ReportRead)
            n = m_sim->bootLoader().reportReads();
        const bool worked = c == Command::Batch
                                ? passLines().value(0).startsWith(QStringLiteral("#1 PASS"))
                                : completed(c);
        [&] { QVERIFY2(worked && n > 0, kCommandNames[static_cast<int>(c)]); }();
        tearDown();
        setUp();
        if (QTest::currentTestFailed())
            return 0;
        return measured[key] = n;
    }

    // Arms the fault at the k-th transfer from the next one (for batch: from the pass's
    // socket check), or the k-th boot-loader report.
    void inject(Fault f, int k, Command c, Where where) {
        auto arm = [this, f, k] {
            const int at = m_sim->transferCount() + k;
            if (f == Fault::Unplug)
                m_sim->faults.unplugAtTransfer = at;
            else if (f == Fault::Timeout)
                m_sim->faults.timeoutAtTransfer = at;
            else if (f == Fault::Short)
                m_sim->faults.shortAtTransfer = at;
        };
        if (countedByTransfer(f) && c == Command::Batch) {
            m_wire.beforeCommand = [this, arm](std::uint8_t command) {
                if (command == ksim::kReadId && m_wire.detections == 7 && passLines().isEmpty()) {
                    arm();
                    m_wire.beforeCommand = {};
                }
            };
        } else if (countedByTransfer(f)) {
            arm();
        }
        switch (f) {
        case Fault::StuckBusy:
            firmware().stuckBusy = true;
            break;
        case Fault::Flip:
            firmware().readFlips[flipAddress(c, where)] = 0x10;
            break;
        case Fault::Protect:
            m_sim->chip().writeProtected = true;
            break;
        case Fault::ReportWrite:
            m_sim->bootLoader().failWriteAt = k;
            break;
        case Fault::ReportRead:
            m_sim->bootLoader().failReadAt = k;
            break;
        default:
            break;
        }
    }

    void removeFaults() {
        m_sim->faults = {};
        m_wire.beforeCommand = {};
        firmware().stuckBusy = false;
        firmware().readFlips.clear();
        m_sim->bootLoader().failWriteAt = 0;
        m_sim->bootLoader().failReadAt = 0;
        if (!m_sim->programmerPresent() && !m_sim->bootLoader().present()) {
            m_sim->plug();
            w().WMDeviceChange();
        }
    }

    // The box a fault must give, where its place decides it: the first transfer of a
    // command is its socket check's CMD_READ_ID, the last its bracket's CMD_END after
    // everything the command covered (Auto and batch: the first page, the others: the
    // whole chip).
    static std::optional<std::string> expectedBox(Command c, Fault f, Where where) {
        if (c == Command::Info)
            return "Transfer to the programmer failed while reading the hardware information.";
        if (countedByTransfer(f) && (c == Command::Detect || where == Where::Start))
            return "Transfer to the programmer failed while reading the chip ID.";
        const bool firstPage = c == Command::Auto || c == Command::Batch;
        if (countedByTransfer(f) && where == Where::Last)
            return "Transfer to the programmer failed at address:" +
                   addressText(firstPage ? 0x100 : kFlashSize);
        if (f == Fault::StuckBusy)
            return "Erase timed out: the chip is still busy.";
        if (f == Fault::Protect) // the chip still holds what it held: 0 where A5 goes
            return "Flash check error address:0h";
        if (f == Fault::Flip)
            return c == Command::Blank
                       ? "The chip is not empty."
                       : "Flash check error address:" + addressText(flipAddress(c, where));
        return std::nullopt;
    }

    // The checks on a command that met a fault it can see, once it has ended.
    void checkFailure(Command c, Fault f, Where where, const Snapshot &before) {
        QVERIFY2(!successShown(c), qPrintable(logText()));
        QCOMPARE(errors().size(), std::size_t{1});
        QVERIFY2(namesStepOrAddress(errors()[0]), errors()[0].c_str());
        if (const auto box = expectedBox(c, f, where))
            QCOMPARE(errors()[0], *box);
        QVERIFY(snapshot() == before);
        // Every open closed, the last thing the programmer saw a close.
        QVERIFY(!m_sim->log().empty());
        QCOMPARE(m_sim->log().back().kind, ksim::LogEntry::Close);
        int open = 0;
        for (const auto &e : m_sim->log())
            open += e.kind == ksim::LogEntry::Open ? 1 : e.kind == ksim::LogEntry::Close ? -1 : 0;
        QCOMPARE(open, 0);
        // The panel never keeps an operation's text: a probe has said what is there.
        QVERIFY2(w().Panel1->text() == QStringLiteral("Connected") ||
                     w().Panel1->text() == QStringLiteral("Not connected"),
                 qPrintable(w().Panel1->text()));
        if (f == Fault::Unplug || ofTheBootLoader(f)) {
            // The system's notice of the unplug, if it has not come yet; one that came
            // during the command was put off to its end.
            if (!std::exchange(m_notified, true))
                w().WMDeviceChange();
            QCOMPARE(w().Panel1->text(), QStringLiteral("Not connected"));
            QVERIFY(w().Panel1->isRed());
        }
        if (c == Command::Batch) {
            QVERIFY(passLines()[0].startsWith(QStringLiteral("#1 FAIL")));
            QVERIFY(recordLines().last().contains(QStringLiteral(",FAIL,")));
        }
        if (c == Command::Upgrade) { // the boot loader is closed too
            int opened = 0;
            for (const auto &e : m_sim->hidLog())
                opened += e.kind == ksim::HidLogEntry::Open    ? 1
                          : e.kind == ksim::HidLogEntry::Close ? -1
                                                               : 0;
            QCOMPARE(opened, 0);
        }
    }

private slots:
    void init() { setUp(); }
    void cleanup() {
        removeFaults();
        tearDown();
    }

    void aFaultEndsTheCommandAndLeavesNothingBehind_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("where");
        for (int c = 0; c <= static_cast<int>(Command::Upgrade); ++c) {
            for (int f = 0; f <= static_cast<int>(Fault::ReportRead); ++f) {
                const bool upgrade = c == static_cast<int>(Command::Upgrade);
                // The upgrade's programmer side is the info command's exchange; the rest
                // of it talks only to the boot loader, which nothing else does.
                if (ofTheBootLoader(static_cast<Fault>(f))
                        ? !upgrade
                        : upgrade && countedByTransfer(static_cast<Fault>(f)))
                    continue;
                const bool severalPlaces = placed(static_cast<Fault>(f)) &&
                                           seen(static_cast<Command>(c), static_cast<Fault>(f));
                for (int where = 0; where < (severalPlaces ? 3 : 1); ++where)
                    QTest::addRow("%s/%s/%s", kCommandNames[c], kFaultNames[f],
                                  severalPlaces ? kWhereNames[where] : "anywhere")
                        << c << f << where;
            }
        }
    }

    void aFaultEndsTheCommandAndLeavesNothingBehind() {
        QFETCH(int, command);
        QFETCH(int, fault);
        QFETCH(int, where);
        const auto c = static_cast<Command>(command);
        const auto f = static_cast<Fault>(fault);
        const auto at = static_cast<Where>(where);
        int k = 1;
        if (countedByTransfer(f) || ofTheBootLoader(f)) {
            const int n = countOf(c, f);
            if (QTest::currentTestFailed())
                return;
            k = at == Where::Start ? 1 : at == Where::Middle ? (n + 1) / 2 : n;
        }
        prepare(c);
        const Snapshot before = snapshot();
        inject(f, k, c, at);

        // The system's device-change notice when the programmer leaves the bus.
        m_notified = false;
        QTimer notice;
        connect(&notice, &QTimer::timeout, &w(), [&] {
            if (!m_notified && !m_sim->programmerPresent() && !m_sim->bootLoader().present()) {
                m_notified = true;
                w().WMDeviceChange();
            }
        });
        notice.start(1);

        if (!seen(c, f)) {
            run(c);
            QVERIFY2(completed(c), qPrintable(logText()));
            QVERIFY(errors().empty());
            return;
        }
        bool checkedInBatch = false;
        run(c, [&] {
            checkFailure(c, f, at, before);
            checkedInBatch = true;
            removeFaults();
        });
        if (c == Command::Batch) {
            QVERIFY(checkedInBatch);
        } else {
            checkFailure(c, f, at, before);
            if (QTest::currentTestFailed())
                return;
        }
        notice.stop();

        // The fault gone, the same command works.
        if (c != Command::Batch) {
            removeFaults();
            prepare(c);
            run(c);
        }
        QVERIFY2(completed(c), qPrintable(logText()));
        QVERIFY(errors().size() == (c == Command::Batch ? 1u : 0u));
    }
};

QTEST_MAIN(FaultMatrixTest)
#include "FaultMatrixTest.moc"
