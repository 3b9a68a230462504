#include "Unit1.h"

#include "About.h"
#include "HexEdit.h"
#include "HexView.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "Unit3.h"
#include "Unit4.h"
#include "UsbMonitor.h"
#include "app/Captions.h"
#include "app/TextTable.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

using namespace korvat;

namespace {

constexpr int kPanelWidths[5] = {50, 120, 70, 75, 50};
constexpr int kProgressLeft = 317;
constexpr int kProgressRightGap = 315;

template <typename T> T *named(T *object, const char *name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

} // namespace

Q_LOGGING_CATEGORY(lcLink, "korvat.link", QtWarningMsg)

TForm1::TForm1(const QString &basePath, UsbApi usb, Dialogs *dialogs, QWidget *parent)
    : QMainWindow(parent), m_basePath(basePath),
      m_messageBoxes(dialogs ? nullptr : std::make_unique<MessageBoxes>(this)),
      m_dialogs(dialogs ? dialogs : m_messageBoxes.get()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildMenus();
    buildToolBar();
    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->addWidget(buildChipPanel());
    row->addWidget(buildWorkArea(), 1);
    setCentralWidget(central);
    buildStatusBar();
    FormCreate();
    // The secondary windows live as long as the main window. Choosing a found chip
    // does not change the saved positions.
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
    m_host = std::make_unique<WindowHost>(*Panel1, *RichEdit1, *Progress, *Progress2, *m_dialogs,
                                          m_language);
    m_usb = std::make_unique<TUsbBulk>(
        std::move(usb), [](const std::string &line) { qCDebug(lcLink, "%s", line.c_str()); },
        [this](int ms) { m_host->sleep(ms); });
    m_connection = std::make_unique<Connection>(*m_usb, *m_host, m_language);
    m_engine = std::make_unique<Engine>(*m_usb, *m_connection, *m_host, m_buffers, m_language);
    m_usbMonitor = new UsbMonitor(this);
    connect(m_usbMonitor, &UsbMonitor::deviceChanged, this, &TForm1::WMDeviceChange);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &TForm1::focusWindowChanged);
}

void TForm1::runOperation(Operation operation) {
    if (m_connection->busy())
        return; // the commands are disabled meanwhile; nothing queued may start another
    setCommandsAvailable(false);
    m_engine->run(operation, m_catalogue.slot(m_currentChip), m_speed, *FlashEditor);
    setCommandsAvailable(true);
}

void TForm1::setCommandsAvailable(bool available) {
    if (!available) {
        m_heldCommands.clear();
        for (const char *name :
             {"ToolOpen",  "ToolSave", "ToolFill",   "ToolBank", "ToolAuto",   "ToolErase",
              "ToolWrite", "ToolRead", "ToolVerify", "ToolBulk", "ToolDevice", "O2",
              "S1",        "Fill",     "A1",         "E1",       "W1",         "R1",
              "V1",        "N7",       "N3",         "N4"}) {
            auto *a = findChild<QAction *>(QString::fromLatin1(name));
            m_heldCommands.emplace_back(a, a->isEnabled());
            a->setEnabled(false);
        }
        for (QWidget *w : std::initializer_list<QWidget *>{GroupBox1, GroupBox4}) {
            m_heldCommands.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
        return;
    }
    for (auto [object, enabled] : m_heldCommands) {
        if (auto *a = qobject_cast<QAction *>(object))
            a->setEnabled(enabled);
        else
            static_cast<QWidget *>(object)->setEnabled(enabled);
    }
    m_heldCommands.clear();
}

// The main window becomes active at start-up and again whenever one of the
// application's own windows (a modal window, a message box) hands the focus back;
// coming back from another application is not a reason to probe.
void TForm1::focusWindowChanged(QWindow *window) {
    if (!window)
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
    m_fill->Edit4->setText(
        QString::fromStdString(hexText(m_catalogue.slot(m_currentChip).capacity - 1u)));
    execModal(m_fill);
}

void TForm1::ToolAboutClick() {
    execModal(m_about);
}

TForm1::~TForm1() = default;

namespace {
// An action without a handler belongs to a command that is not built yet: it is shown
// in its place, disabled.
QAction *newAction(QObject *owner, const char *name) {
    auto *a = new QAction(owner);
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(false);
    return a;
}
} // namespace

QAction *TForm1::menuAction(QMenu *menu, const char *name, Handler handler) {
    QAction *a = newAction(this, name);
    menu->addAction(a);
    if (handler) {
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
    }
    return a;
}

void TForm1::buildMenus() {
    QMenuBar *bar = named(menuBar(), "MainMenu1");
    auto menu = [&](const char *name) { return named(bar->addMenu(QString()), name); };
    QMenu *file = menu("O1");
    menuAction(file, "O2");
    menuAction(file, "S1");
    file->addSeparator();
    menuAction(file, "Q1", &TForm1::Q1Click);
    menuAction(menu("Buff"), "Fill", &TForm1::ToolFillClick);
    QMenu *op = menu("O3");
    menuAction(op, "A1");
    op->addSeparator();
    menuAction(op, "E1", &TForm1::ToolEraseClick);
    menuAction(op, "W1", &TForm1::ToolWriteClick);
    menuAction(op, "R1", &TForm1::ToolReadClick);
    menuAction(op, "V1", &TForm1::ToolVerifyClick);
    menuAction(op, "N7", &TForm1::ToolBankClick);
    QAction *device = named(bar->addAction(QString()), "N3");
    device->setEnabled(false);
    named(bar->addAction(QString()), "N4")->setEnabled(false);
    QMenu *lang = menu("L1");
    for (auto [n, slot] :
         {std::pair{"China", &TForm1::ChinaClick}, std::pair{"fanti", &TForm1::fantiClick},
          std::pair{"Enlish", &TForm1::EnlishClick}})
        menuAction(lang, n, slot)->setCheckable(true);
    menuAction(menu("H1"), "N5", &TForm1::ToolAboutClick);
}

QAction *TForm1::toolAction(const char *name, const char *icon, Handler handler) {
    QAction *a = newAction(this, name);
    a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))));
    ToolBar1->addAction(a);
    ToolBar1->widgetForAction(a)->setFixedSize(55, 68);
    if (handler) {
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
    }
    return a;
}

void TForm1::buildToolBar() {
    ToolBar1 = named(addToolBar(QString()), "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(48, 48));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setFixedHeight(72);
    toolAction("ToolOpen", "open");
    toolAction("ToolSave", "save");
    ToolBar1->addSeparator();
    toolAction("ToolFill", "fill", &TForm1::ToolFillClick);
    toolAction("ToolBank", "bank", &TForm1::ToolBankClick);
    ToolBar1->addSeparator();
    toolAction("ToolAuto", "auto");
    toolAction("ToolErase", "erase", &TForm1::ToolEraseClick);
    toolAction("ToolWrite", "write", &TForm1::ToolWriteClick);
    toolAction("ToolRead", "read", &TForm1::ToolReadClick);
    toolAction("ToolVerify", "verify", &TForm1::ToolVerifyClick);
    toolAction("ToolBulk", "bulk")->setCheckable(true);
    ToolBar1->addSeparator();
    toolAction("ToolDevice", "device");
    toolAction("ToolAbout", "about", &TForm1::ToolAboutClick);
}

QWidget *TForm1::buildChipPanel() {
    auto *panel = new QWidget(this);
    panel->setFixedWidth(185);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);

    GroupBox1 = named(new QGroupBox(panel), "GroupBox1");
    auto *chip = new QVBoxLayout(GroupBox1);
    Label1 = named(new QLabel(GroupBox1), "Label1");
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    Label2 = named(new QLabel(GroupBox1), "Label2");
    ComboBox2 = named(new QComboBox(GroupBox1), "ComboBox2");
    Label3 = named(new QLabel(GroupBox1), "Label3");
    ComboBox3 = named(new QComboBox(GroupBox1), "ComboBox3");
    for (QWidget *w :
         std::initializer_list<QWidget *>{Label1, ComboBox1, Label2, ComboBox2, Label3, ComboBox3})
        chip->addWidget(w);
    auto *buttons = new QHBoxLayout;
    BitBtn1 = named(new QPushButton(GroupBox1), "BitBtn1");
    BitBtn2 = named(new QPushButton(GroupBox1), "BitBtn2");
    BitBtn1->setEnabled(false); // identification comes with the chip operations
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    chip->addLayout(buttons);
    column->addWidget(GroupBox1);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ComboBox3, &QComboBox::activated, this, &TForm1::ComboBox3Change);

    auto *sizes = new QGridLayout;
    int r = 0;
    for (auto [label, edit, lname, ename] : {std::tuple{&Label4, &Edit1, "Label4", "Edit1"},
                                             std::tuple{&Label5, &Edit2, "Label5", "Edit2"},
                                             std::tuple{&Label6, &Edit5, "Label6", "Edit5"}}) {
        *label = named(new QLabel(panel), lname);
        *edit = named(new QLineEdit(panel), ename);
        (*edit)->setReadOnly(true);
        sizes->addWidget(*label, r, 0);
        sizes->addWidget(*edit, r++, 1);
    }
    Edit5->setText(QStringLiteral("0"));
    column->addLayout(sizes);

    auto *picture = new QWidget(panel);
    auto *stack = new QGridLayout(picture);
    Image1 = named(new QLabel(picture), "Image1");
    Image1->setScaledContents(true);
    Image1->setMinimumHeight(40);
    Image1->setPixmap(QIcon(QStringLiteral(":/icons/socket.svg")).pixmap(180, 120));
    Label9 = named(new QLabel(qs("需配1.8V转换座"), picture), "Label9");
    QFont bold = Label9->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    Label9->setFont(bold);
    Label9->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    Label9->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label9->setVisible(false);
    stack->addWidget(Image1, 0, 0);
    stack->addWidget(Label9, 0, 0, Qt::AlignTop);
    column->addWidget(picture, 1);
    return panel;
}

QWidget *TForm1::buildWorkArea() {
    auto *area = new QWidget(this);
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    PageControl1 = named(new QTabWidget(area), "PageControl1");
    TabSheet1 = named(new QWidget, "TabSheet1");
    TabSheet2 = named(new QWidget, "TabSheet2");
    TabSheet3 = named(new QWidget, "TabSheet3");
    FlashEditor = named(new HexView(TabSheet1), "FlashEditor");
    FlashEditor->setRulerVisible(true);
    (new QVBoxLayout(TabSheet1))->addWidget(FlashEditor);
    EepromEditor = named(new HexView(TabSheet2), "EepromEditor");
    EepromEditor->setGroupSize(2);
    EepromEditor->setOffsetPrefix(QStringLiteral("0x"));
    (new QVBoxLayout(TabSheet2))->addWidget(EepromEditor);
    PageControl1->addTab(TabSheet1, QString());
    PageControl1->addTab(TabSheet2, QString());
    PageControl1->addTab(TabSheet3, QString());
    column->addWidget(PageControl1, 1);

    auto *options = new QHBoxLayout;
    GroupBox4 = named(new QGroupBox(area), "GroupBox4");
    auto *range = new QGridLayout(GroupBox4);
    CheckBox5 = named(new QCheckBox(GroupBox4), "CheckBox5");
    Label7 = named(new QLabel(GroupBox4), "Label7");
    Label8 = named(new QLabel(GroupBox4), "Label8");
    Edit3 = named(new QLineEdit(QStringLiteral("0000"), GroupBox4), "Edit3");
    Edit4 = named(new QLineEdit(QStringLiteral("FFFF"), GroupBox4), "Edit4");
    installHexKeyFilter(Edit3, 8);
    installHexKeyFilter(Edit4, 8);
    Edit3->setEnabled(false);
    Edit4->setEnabled(false);
    range->addWidget(CheckBox5, 0, 0, 2, 1);
    range->addWidget(Label7, 0, 1);
    range->addWidget(Edit3, 0, 2);
    range->addWidget(Label8, 1, 1);
    range->addWidget(Edit4, 1, 2);
    connect(CheckBox5, &QCheckBox::clicked, this, &TForm1::CheckBox5Click);
    connect(Edit3, &QLineEdit::textChanged, this, &TForm1::Edit3Change);
    connect(Edit4, &QLineEdit::textChanged, this, &TForm1::Edit4Change);
    options->addWidget(GroupBox4, 1);

    GroupBox2 = named(new QGroupBox(area), "GroupBox2");
    auto *autoOptions = new QHBoxLayout(GroupBox2);
    CheckBox1 = named(new QCheckBox(GroupBox2), "CheckBox1");
    CheckBox2 = named(new QCheckBox(GroupBox2), "CheckBox2");
    CheckBox3 = named(new QCheckBox(GroupBox2), "CheckBox3");
    for (QCheckBox *b : {CheckBox1, CheckBox2, CheckBox3}) {
        b->setChecked(true);
        autoOptions->addWidget(b);
    }
    options->addWidget(GroupBox2);
    column->addLayout(options);

    RichEdit1 = named(new QTextEdit(area), "RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setFixedHeight(91);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont logFont = RichEdit1->font();
    logFont.setPixelSize(13);
    RichEdit1->setFont(logFont);
    column->addWidget(RichEdit1);
    return area;
}

void TForm1::buildStatusBar() {
    QStatusBar *bar = named(statusBar(), "StatusBar1");
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 5; ++i) {
        QLabel *panel = i == 1 ? (Panel1 = new ConnectionPanel) : new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(kPanelWidths[i]);
        panel->setAlignment(i == 1 ? Qt::AlignHCenter | Qt::AlignTop
                                   : Qt::AlignLeft | Qt::AlignVCenter);
        StatusPanels[static_cast<std::size_t>(i)] = panel;
        bar->addWidget(panel);
    }
    Panel1->setText(qs(text(txtNotConnected, 0)));
    Panel1->setRed(true);
    Progress = named(new QProgressBar(bar), "Progress");
    Progress2 = named(new QProgressBar(bar), "Progress2");
    for (QProgressBar *p : {Progress, Progress2}) {
        p->setTextVisible(false);
        p->setVisible(false);
    }
    placeProgressBars();
}

void TForm1::placeProgressBars() {
    QStatusBar *bar = statusBar();
    const int border = 1;
    const int width = std::max(0, bar->width() - kProgressRightGap);
    const int height = std::max(1, bar->height() - border - 2);
    Progress->setGeometry(kProgressLeft, border + 2, width, height);
    Progress2->setGeometry(kProgressLeft, border + height + 2, width, height / 2);
}

void TForm1::FormResize() {
    placeProgressBars();
}

void TForm1::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormCreate() {
    m_settings =
        std::make_unique<QSettings>(m_basePath + QStringLiteral(".ini"), QSettings::IniFormat);
    QSettings &s = *m_settings;
    if (s.value(QStringLiteral("Environment/FormMax"), 0).toInt() != 0) {
        setWindowState(Qt::WindowMaximized);
    } else {
        move(s.value(QStringLiteral("Environment/FormLeft"), 10).toInt(),
             s.value(QStringLiteral("Environment/FormTop"), 10).toInt());
        resize(s.value(QStringLiteral("Environment/FormWidth"), 700).toInt(),
               s.value(QStringLiteral("Environment/FormHeight"), 500).toInt());
    }
    // Positions and language come from a file a person may have edited: a negative
    // position counts as 0, and a language outside 0 to 2 as Simplified Chinese, as the
    // text table reads it.
    for (int i = 0; i < 3; ++i)
        m_saved[static_cast<std::size_t>(i)] =
            std::max(0, s.value(QStringLiteral("CHIP/INDEX%1").arg(i + 1), 0).toInt());
    const bool device = s.value(QStringLiteral("DEVICE/chip"), 0).toInt() != 0;
    findChild<QAction *>(QStringLiteral("ToolDevice"))->setVisible(device);
    findChild<QAction *>(QStringLiteral("N3"))->setVisible(device);
    m_speed = s.value(QStringLiteral("DEVICE/SPEED"), 0).toInt();
    const int language = s.value(QStringLiteral("DEVICE/LANGU"), 0).toInt();
    m_language = language >= 0 && language < kLanguageCount ? language : 0;
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
    const CatalogueResult loaded =
        m_catalogue.load((m_basePath + QStringLiteral(".Dat")).toStdString(), m_language);
    if (!loaded.message.empty())
        showError(qs(loaded.message));
    if (loaded.outcome == CatalogueOutcome::Read)
        selectChip(m_saved[0], m_saved[1], m_saved[2]);
    applyLanguage();
}

void TForm1::closeEvent(QCloseEvent *event) {
    if (m_connection->busy()) { // the running operation still uses the window
        event->ignore();
        QApplication::beep();
        return;
    }
    FormClose();
    event->accept();
}

bool TForm1::FormClose() {
    QSettings &s = *m_settings;
    const std::pair<const char *, int> values[] = {{"CHIP/INDEX1", m_saved[0]},
                                                   {"CHIP/INDEX2", m_saved[1]},
                                                   {"CHIP/INDEX3", m_saved[2]},
                                                   {"DEVICE/SPEED", m_speed},
                                                   {"DEVICE/LANGU", m_language}};
    for (const auto &[key, value] : values) {
        s.setValue(QString::fromLatin1(key), value);
        s.sync();
        if (s.status() != QSettings::NoError) {
            showError(QStringLiteral("Unable to write to %1").arg(s.fileName()));
            return false;
        }
    }
    return true;
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
    const ChipRecord &chip = m_catalogue.slot(m_currentChip);
    if (chosen >= 0) {
        Edit1->setText(QString::number(chip.capacity));
        Edit2->setText(QString::number(chip.flashPage));
        Edit5->setText(QString::number(chip.eepromSize));
        PageControl1->setTabVisible(PageControl1->indexOf(TabSheet2), chip.eepromSize != 0);
        PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), chip.association != 0);
    }
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
    Edit4->setText(
        QString::fromStdString(m_buffers.resetForChip(chip, *FlashEditor, *EepromEditor)));
    Label9->setVisible(chip.voltage == 1);
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
    m_language = language;
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
        const QString name = qs(c.control);
        if (c.control == "window")
            setWindowTitle(t);
        else if (c.control == "StatusBar1")
            StatusPanels[0]->setText(t);
        else if (auto *tab = findChild<QWidget *>(name); tab && PageControl1->indexOf(tab) >= 0)
            PageControl1->setTabText(PageControl1->indexOf(tab), t);
        else if (auto *box = findChild<QGroupBox *>(name))
            box->setTitle(t);
        else if (auto *button = findChild<QAbstractButton *>(name))
            button->setText(t);
        else if (auto *label = findChild<QLabel *>(name))
            label->setText(t);
        else if (auto *action = findChild<QAction *>(name))
            action->setText(t);
    }
    for (const Caption &c : mainMenuCaptions()) {
        const QString name = qs(c.control);
        if (auto *menu = findChild<QMenu *>(name))
            menu->setTitle(qs(c.in(m_language)));
        else if (auto *action = findChild<QAction *>(name))
            action->setText(qs(c.in(m_language)));
    }
    m_search->applyLanguage(m_language);
    m_fill->applyLanguage(m_language);
    m_about->applyLanguage(m_language);
    m_host->recolourPanel();
}
