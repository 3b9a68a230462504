#include "Unit1.h"

#include "About.h"
#include "HexView.h"
#include "FontCheck.h"
#include "IniSettings.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "QtTranslations.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit6.h"
#include "UsbMonitor.h"
#include "WindowCaptions.h"
#include "app/Captions.h"
#include "app/StartLanguage.h"
#include "app/UserCatalogue.h"
#include "base/HexText.h"
#include "base/TextTable.h"
#include "buffers/Checksum.h"
#include "catalogue/ChipChoice.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <utility>

using namespace korvat;

Q_LOGGING_CATEGORY(lcLink, "korvat.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSelection, "korvat.selection", QtWarningMsg)

namespace {

bool isPopup(const QWindow *window) {
    const Qt::WindowType type = window->type();
    return type == Qt::Popup || type == Qt::ToolTip;
}

} // namespace

TForm1::TForm1(const QString &basePath, ProgrammerLinks links, Dialogs *dialogs, QWidget *parent)
    : TForm1(korvat::AppPaths{(basePath + QStringLiteral(".Dat")).toStdString(),
                              (basePath + QStringLiteral(".ini")).toStdString(),
                              {},
                              false,
                              {}},
             std::move(links), dialogs, parent) {}

TForm1::TForm1(const korvat::AppPaths &paths, ProgrammerLinks links, Dialogs *dialogs,
               QWidget *parent)
    : QMainWindow(parent), m_cataloguePath(QString::fromStdString(paths.catalogue)),
      m_settingsPath(QString::fromStdString(paths.settings)), m_paths(paths),
      m_messageBoxes(dialogs ? nullptr : std::make_unique<MessageBoxes>(this)),
      m_qtTexts(std::make_unique<QtTranslations>()),
      m_dialogs(dialogs ? dialogs : m_messageBoxes.get()) {
    setObjectName(QStringLiteral("Form1"));
    m_fontsDraw = [this](std::string_view sample) { return fontsDraw(qs(sample), font()); };
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildMenus();
    buildToolBar();
    assignShortcuts();
    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->addWidget(buildChipPanel());
    row->addWidget(buildWorkArea(), 1);
    setCentralWidget(central);
    buildStatusBar();
    FormCreate();
    // The secondary windows live as long as the main window. Choosing a found chip
    // does not change the saved positions.
    m_editor = new TForm2(m_catalogue, m_cataloguePath.toStdString(), *m_dialogs, m_language, this);
    m_search = new TForm3(
        m_catalogue,
        [this](const SearchRow &row) {
            const int chosen = chooseFoundChip(m_catalogue, m_lists, m_currentChip, row);
            showSelection(chosen, findIgnoringCase(m_lists.families, row.type),
                          findIgnoringCase(m_lists.makers, row.maker),
                          findIgnoringCase(m_lists.models, row.model));
        },
        this);
    m_fill = new TForm4(m_buffers, *FlashEditor, *m_dialogs, this);
    m_about = new TAboutBox(this);

    // The programmer: link diagnostics go to the debug log (korvat.link), every wait
    // the protocol prescribes goes through the host.
    m_host =
        std::make_unique<WindowHost>(*Panel1, *RichEdit1, *Progress, *Progress2, *StatusPanels[2],
                                     *StatusPanels[3], *m_dialogs, m_language);
    m_usb = std::make_unique<TUsbBulk>(
        std::move(links.usb), [](const std::string &line) { qCDebug(lcLink, "%s", line.c_str()); },
        [this](int ms) { m_host->sleep(ms); });
    m_connection = std::make_unique<Connection>(*m_usb, *m_host, m_language);
    m_engine = std::make_unique<Engine>(*m_usb, *m_connection, *m_host, m_buffers, m_catalogue,
                                        m_language);
    m_files = std::make_unique<FileCommands>(m_buffers, *FlashEditor, *EepromEditor, *m_host,
                                             *m_dialogs, *m_dialogs, *m_dialogs, m_language);
    m_files->setLastFolder(std::exchange(m_settingsFolder, {}));
    // The last of the secondary windows: its firmware dialog is the file commands' own.
    m_hardware = new TForm6(*m_files, this);
    m_hid = std::make_unique<CUsbhid>(std::move(links.hid));
    m_upgrade = std::make_unique<FirmwareUpgrade>(*m_usb, *m_connection, *m_hid, *m_host,
                                                  *m_dialogs, m_language);
    connect(m_fill, &TForm4::filled, this, &TForm1::refreshChecksum);
    // A file dropped anywhere on the window is opened: the address edits, which would
    // take the dragged text, leave it to the window.
    setAcceptDrops(true);
    Edit3->setAcceptDrops(false);
    Edit4->setAcceptDrops(false);
    m_usbMonitor = new UsbMonitor(this);
    connect(m_usbMonitor, &UsbMonitor::deviceChanged, this, &TForm1::WMDeviceChange);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &TForm1::focusWindowChanged);
    // A session that ends may end the program without a close: the settings are written
    // when the session manager asks for the program's data or its state.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { writeSettingsNow(); });
    connect(qGuiApp, &QGuiApplication::saveStateRequest, this, [this] { writeSettingsNow(); });
}

void TForm1::runOperation(Operation operation) {
    if (busy())
        return; // the commands are disabled meanwhile; nothing queued may start another
    beginCommand();
    setCommandsAvailable(false);
    m_engine->run(operation, chosenChip(), m_speed, *FlashEditor, askAboutOtherChip());
    setCommandsAvailable(true);
    // A read fills the buffer, a write pulls the view's edits and rounds the loaded
    // length; the others change neither.
    if (operation == Operation::Read || operation == Operation::Write)
        refreshChecksum();
    else
        showChecksum();
    endCommand();
}

BufferTab TForm1::currentTab() const {
    QWidget *tab = PageControl1->currentWidget();
    return tab == TabSheet1   ? BufferTab::Flash
           : tab == TabSheet2 ? BufferTab::Eeprom
                              : BufferTab::Other;
}

void TForm1::ToolOpenClick() {
    if (busy())
        return;
    if (m_files->open(currentTab(), m_catalogue.slot(m_currentChip)))
        refreshChecksum();
}

void TForm1::ToolSaveClick() {
    if (busy())
        return;
    m_files->save(m_catalogue.slot(m_currentChip));
}

namespace {

// The local files among what is dragged, in their order; folders are not files to open.
std::vector<std::string> localFiles(const QMimeData *data) {
    std::vector<std::string> paths;
    if (data)
        for (const QUrl &url : data->urls())
            if (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isDir())
                paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent *event) {
    if (!busy() && !localFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

// Moves follow only an accepted entry, whose data was looked at then.
void TForm1::dragMoveEvent(QDragMoveEvent *event) {
    if (!busy())
        event->acceptProposedAction();
}

// The file is opened once the drop has finished, so a question it asks does not hold up
// the application the file came from.
void TForm1::dropEvent(QDropEvent *event) {
    std::vector<std::string> paths = localFiles(event->mimeData());
    if (busy() || paths.empty())
        return;
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        this,
        [this, paths = std::move(paths)] {
            if (!busy() &&
                m_files->openDropped(paths, currentTab(), m_catalogue.slot(m_currentChip)))
                refreshChecksum();
        },
        Qt::QueuedConnection);
}

// The chip's whole image, whatever the loaded length: the figure of the raw file a save
// would write. Without a chip chosen there is no image to name.
std::uint32_t TForm1::imageSize() const {
    return chosenChip() < 0 ? 0 : m_catalogue.slot(m_currentChip).capacity;
}

void TForm1::refreshChecksum() {
    m_checksum = checksumText(m_buffers.flash(), imageSize());
    showChecksum();
}

void TForm1::showChecksum() {
    m_host->showChecksum(QString::fromStdString(m_checksum),
                         qs(checksumToolTip(imageSize(), m_language)));
}

// The main window becomes active at start-up and again whenever another of the
// application's own windows (a modal window, a message box) hands the focus back.
// Popups (menus, the chip lists' drop-downs, tool tips) are not such windows: the focus
// going to them and back is no reason to look for the programmer, and neither is
// coming back from another application (the focus window is then none in between).
void TForm1::focusWindowChanged(QWindow *window) {
    if (!window || isPopup(window))
        return;
    if (window == windowHandle() && m_lastFocus != window)
        FormActivate();
    m_lastFocus = window;
}

void TForm1::FormActivate() {
    m_connection->detectProgrammer();
}

void TForm1::WMDeviceChange() {
    m_connection->detectProgrammer();
}

// A modal window of the main window's; when it closes the main window takes the focus
// back, which probes the programmer again.
void TForm1::execModal(QDialog *window) {
    window->exec();
    activateWindow();
}

void TForm1::BitBtn2Click() {
    execModal(m_search);
}

void TForm1::ToolFillClick() {
    if (busy())
        return; // a batch pass reads the buffer the fill would change
    m_fill->Edit4->setText(
        QString::fromStdString(hexText(m_catalogue.slot(m_currentChip).capacity - 1u)));
    execModal(m_fill);
}

void TForm1::ToolAboutClick() {
    execModal(m_about);
}

TForm1::~TForm1() {
    // The child windows go after this destructor; a focus change they cause must not
    // reach a window whose members are gone.
    disconnect(qGuiApp, nullptr, this, nullptr);
}

void TForm1::FormResize() {
    placeProgressBars();
}

void TForm1::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormCreate() {
    auto settings = std::make_unique<IniSettings>(m_settingsPath);
    if (!settings->refusal().empty())
        showError(qs(settings->refusal()));
    m_settings = std::move(settings);
    const Settings s = readSettings(*m_settings);
    if (s.formMax) {
        setWindowState(Qt::WindowMaximized);
    } else {
        move(s.placement.left, s.placement.top);
        resize(s.placement.width, s.placement.height);
    }
    m_saved = s.positions;
    findChild<QAction *>(QStringLiteral("ToolDevice"))->setVisible(s.chipEditor);
    findChild<QAction *>(QStringLiteral("N3"))->setVisible(s.chipEditor);
    m_speed = s.speed;
    m_language = m_savedLanguage = s.language;
    m_settingsFolder = s.lastFolder;
}

void TForm1::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TForm1::FormShow() {
    if (windowState() != Qt::WindowMaximized) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    // Where no font draws the Chinese captions the window starts in English (and the
    // settings keep the language they hold); the catalogue's own messages follow it.
    m_language = startLanguage(m_savedLanguage, m_fontsDraw);
    // An installed copy's catalogue is brought up to date, or recovered, first.
    const CatalogueStart start =
        startCatalogue(m_catalogue, m_paths, m_language, std::time(nullptr));
    if (!start.error.empty())
        showError(qs(start.error));
    if (!start.logLine.empty())
        m_host->insertLogLine(m_host->timeText() + " " + start.logLine);
    if (start.loaded.outcome == CatalogueOutcome::Read)
        selectChip(m_saved[0], m_saved[1], m_saved[2]);
    applyLanguage();
    if (m_language != m_savedLanguage)
        m_host->insertLogLine(m_host->timeText() + " " +
                              std::string(text(txtNoChineseFont, m_language)));
}

// While a command runs the window asks whether to stop it; it closes once the stopped
// command has ended. A firmware upgrade cannot be stopped half-way: it is waited for.
// Closing without asking stops the command, or waits for the upgrade, unasked.
void TForm1::closeEvent(QCloseEvent *event) {
    if (busy()) { // the running operation still uses the window
        event->ignore();
        if (m_closeWhenEnded)
            return; // already stopping to close
        if (m_closeWithoutAsking) {
            m_closeWhenEnded = true;
            ToolStopClick(); // nothing to stop in an upgrade
        } else if (!m_commandRunning) {
            QApplication::beep();
        } else if (m_dialogs->askYesNoDefaultNo(text(txtAskStopToClose, m_language))) {
            m_closeWhenEnded = true;
            ToolStopClick();
        }
        return;
    }
    if (m_batchRunning)
        stop(); // the loop ends at its next look at the toggle
    FormClose();
    event->accept();
}

std::optional<std::string> TForm1::writeSettingsNow() {
    return writeSettings(*m_settings, m_saved, m_speed, m_savedLanguage, m_files->lastFolder());
}

// With nobody there to answer, a box would hold the close up: the failure goes to the
// standard error instead.
bool TForm1::FormClose() {
    const auto failure = writeSettingsNow();
    if (failure && m_closeWithoutAsking)
        std::fprintf(stderr, "korvat: %s\n", failure->c_str());
    else if (failure)
        showError(qs(*failure));
    return !failure;
}

void TForm1::showError(const QString &message) {
    m_dialogs->showError(message.toStdString());
}

int TForm1::selectChip(int family, int maker, int model) {
    const int chosen =
        korvat::selectChip(m_catalogue, m_lists, m_currentChip, family, maker, model);
    showSelection(chosen, family, maker, model);
    return chosen;
}

void TForm1::showSelection(int chosen, int family, int maker, int model) {
    showChosenChip(chosen, family, maker, model);
    Edit4->setText(QString::fromStdString(
        m_buffers.resetForChip(m_catalogue.slot(m_currentChip), *FlashEditor, *EepromEditor)));
    refreshChecksum();
}

void TForm1::showChosenChip(int chosen, int family, int maker, int model) {
    m_chipChosen = chosen >= 0;
    const ChipRecord &chip = m_catalogue.slot(m_currentChip);
    if (chosen >= 0) {
        Edit1->setText(QString::number(chip.capacity));
        Edit2->setText(QString::number(chip.flashPage));
        Edit5->setText(QString::number(chip.eepromSize));
        PageControl1->setTabVisible(PageControl1->indexOf(TabSheet2), chip.eepromSize != 0);
        PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), chip.association != 0);
    }
    showLists(family, maker, model);
    Label9->setVisible(chip.voltage == 1);
    // For support and for checking an installed copy: QT_LOGGING_RULES="korvat.selection=true".
    if (chosen >= 0)
        qCInfo(lcSelection, "selected %s",
               korvat::fullChipName(korvat::splitForSelection(m_catalogue.name(m_currentChip)))
                   .c_str());
}

void TForm1::showLists(int family, int maker, int model) {
    // Lists filled from code run no change handler.
    auto fill = [](QComboBox *box, const std::vector<std::string> &items, int position) {
        const QSignalBlocker quiet(box);
        box->clear();
        for (const std::string &item : items)
            box->addItem(qs(item));
        box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
    };
    fill(ComboBox1, m_lists.families, family);
    fill(ComboBox2, m_lists.makers, maker);
    fill(ComboBox3, m_lists.models, model);
    showFirstTabCaption();
}

void TForm1::showFirstTabCaption() {
    PageControl1->setTabText(PageControl1->indexOf(TabSheet1),
                             qs(firstTabCaption(ComboBox1->currentIndex())));
}

void TForm1::ComboBox1Change() {
    ComboBox2->setCurrentIndex(ComboBox2->count() ? 0 : -1);
    ComboBox3->setCurrentIndex(ComboBox3->count() ? 0 : -1);
    ComboBox3Change();
}

void TForm1::ComboBox2Change() {
    ComboBox3->setCurrentIndex(ComboBox3->count() ? 0 : -1);
    ComboBox3Change();
}

void TForm1::ComboBox3Change() {
    m_saved = {ComboBox1->currentIndex(), ComboBox2->currentIndex(), ComboBox3->currentIndex()};
    selectChip(m_saved[0], m_saved[1], m_saved[2]);
}

void TForm1::CheckBox5Click() {
    m_buffers.range.enabled = CheckBox5->isChecked();
    Edit3->setEnabled(m_buffers.range.enabled);
    Edit4->setEnabled(m_buffers.range.enabled);
}

void TForm1::Edit3Change() {
    if (const auto error = setAddressFromText(m_buffers.range.start, Edit3->text().toStdString()))
        showError(qs(*error));
}

void TForm1::Edit4Change() {
    if (const auto error = setAddressFromText(m_buffers.range.end, Edit4->text().toStdString()))
        showError(qs(*error));
}

void TForm1::switchLanguage(int language) {
    m_language = m_savedLanguage = language;
    applyLanguage();
    RichEdit1->clear();
}

void TForm1::applyLanguage() {
    if (m_language < 0 || m_language > 2)
        return;
    const char *items[3] = {"China", "fanti", "Enlish"};
    for (int i = 0; i < 3; ++i)
        findChild<QAction *>(QString::fromLatin1(items[i]))->setChecked(i == m_language);
    for (const Caption &c : mainWindowCaptions()) {
        const QString t = qs(c.in(m_language));
        if (c.control == "StatusBar1")
            StatusPanels[0]->setText(t);
        else if (auto *tab = findChild<QWidget *>(qs(c.control));
                 tab && PageControl1->indexOf(tab) >= 0)
            PageControl1->setTabText(PageControl1->indexOf(tab), t);
        else
            setCaption(*this, c.control, t);
    }
    applyCaptions(*this, mainMenuCaptions(), m_language);
    m_qtTexts->use(m_language);
    setCaption(*this, "ToolStop", qs(text(txtToolStop, m_language)));
    setCaption(*this, "MenuDetect", qs(text(txtMenuDetect, m_language)));
    setCaption(*this, "MenuBulk", qs(text(txtMenuBulk, m_language)));
    m_editor->applyLanguage(m_language);
    m_search->applyLanguage(m_language);
    m_fill->applyLanguage(m_language);
    m_about->applyLanguage(m_language);
    m_hardware->applyLanguage(m_language);
    // The first tab is named after the chip's family, and the panel shows the state it
    // showed, now in this language.
    showFirstTabCaption();
    m_connection->showPanel();
    showChecksum();
    showBatchStatus();
}
