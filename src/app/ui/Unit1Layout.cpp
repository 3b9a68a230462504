// TForm1's controls: the menu bar, the toolbar, the chip panel, the work area with the
// hex views, the address range and the log, and the status bar with its progress bars.
#include "Unit1.h"

#include "HexEdit.h"
#include "HexView.h"
#include "Named.h"
#include "QtText.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

using namespace korvat;

namespace {

constexpr int kPanelWidths[5] = {50, 120, 70, 75, 50};
// The bars start 2 pixels into panel 4, which stays empty, and never left of this.
constexpr int kProgressLeft = 317;
constexpr int kProgressIntoPanel4 = 2;
constexpr int kBorder = 1;
// The work area's height goes to the tabs and the log in these shares, the log never
// below its 91 pixels: at the default size the tabs take all that is left.
constexpr int kLogHeight = 91;
constexpr int kViewShare = 3;
constexpr int kLogShare = 1;

// Actions start disabled; the window enables each one once its handler is connected.
QAction *newAction(QObject *owner, const char *name) {
    auto *a = named(new QAction(owner), name);
    a->setEnabled(false);
    return a;
}
// A hex view fills its tab page to the frame, leaving it every row it can show.
void fillPage(QWidget *page, QWidget *view) {
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

// Tighter spacing for the row under the hex views.
void compact(QLayout *layout) {
    layout->setSpacing(4);
    const QMargins m = layout->contentsMargins();
    layout->setContentsMargins(6, m.top(), 6, m.bottom());
}
} // namespace

QAction *TForm1::marked(QAction *action, WhileRunning running) {
    if (running == WhileRunning::Held)
        m_operationCommands.push_back(action);
    return action;
}

QAction *TForm1::menuAction(QMenu *menu, const char *name, Handler handler, WhileRunning running) {
    QAction *a = newAction(this, name);
    menu->addAction(a);
    if (handler) {
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
    }
    return marked(a, running);
}

// A command right on the menu bar, without a menu of its own.
QAction *TForm1::barAction(QMenuBar *bar, const char *name, Handler handler, WhileRunning running) {
    QAction *a = named(bar->addAction(QString()), name);
    connect(a, &QAction::triggered, this, handler);
    return marked(a, running);
}

void TForm1::buildMenus() {
    constexpr auto held = WhileRunning::Held;
    constexpr auto usable = WhileRunning::Usable;
    QMenuBar *bar = named(menuBar(), "MainMenu1");
    auto menu = [&](const char *name) { return named(bar->addMenu(QString()), name); };
    QMenu *file = menu("O1");
    menuAction(file, "O2", &TForm1::ToolOpenClick, held);
    menuAction(file, "S1", &TForm1::ToolSaveClick, held);
    file->addSeparator();
    menuAction(file, "Q1", &TForm1::Q1Click, usable); // the window refuses to close meanwhile
    menuAction(menu("Buff"), "Fill", &TForm1::ToolFillClick, held);
    QMenu *op = menu("O3");
    menuAction(op, "A1", &TForm1::ToolAutoClick, held);
    op->addSeparator();
    menuAction(op, "E1", &TForm1::ToolEraseClick, held);
    menuAction(op, "W1", &TForm1::ToolWriteClick, held);
    menuAction(op, "R1", &TForm1::ToolReadClick, held);
    menuAction(op, "V1", &TForm1::ToolVerifyClick, held);
    menuAction(op, "N7", &TForm1::ToolBankClick, held);
    op->addSeparator();
    menuAction(op, "MenuDetect", &TForm1::BitBtn1Click, held);
    // Pressed and released with the toolbar's batch toggle, and enabled with it.
    menuAction(op, "MenuBulk", nullptr, held)->setCheckable(true);
    barAction(bar, "N3", &TForm1::ToolDeviceClick, held);
    barAction(bar, "N4", &TForm1::N4Click, held);
    QMenu *lang = menu("L1");
    for (auto [n, slot] :
         {std::pair{"China", &TForm1::ChinaClick}, std::pair{"fanti", &TForm1::fantiClick},
          std::pair{"Enlish", &TForm1::EnlishClick}})
        menuAction(lang, n, slot, usable)->setCheckable(true);
    menuAction(menu("H1"), "N5", &TForm1::ToolAboutClick, usable);
}

QAction *TForm1::toolAction(const char *name, const char *icon, Handler handler,
                            WhileRunning running) {
    QAction *a = newAction(this, name);
    a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))));
    ToolBar1->addAction(a);
    ToolBar1->widgetForAction(a)->setFixedSize(55, 68);
    if (handler) {
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
    }
    return marked(a, running);
}

void TForm1::buildToolBar() {
    constexpr auto held = WhileRunning::Held;
    ToolBar1 = named(addToolBar(QString()), "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(48, 48));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setFixedHeight(72);
    toolAction("ToolOpen", "open", &TForm1::ToolOpenClick, held);
    toolAction("ToolSave", "save", &TForm1::ToolSaveClick, held);
    ToolBar1->addSeparator();
    toolAction("ToolFill", "fill", &TForm1::ToolFillClick, held);
    toolAction("ToolBank", "bank", &TForm1::ToolBankClick, held);
    ToolBar1->addSeparator();
    toolAction("ToolAuto", "auto", &TForm1::ToolAutoClick, held);
    toolAction("ToolErase", "erase", &TForm1::ToolEraseClick, held);
    toolAction("ToolWrite", "write", &TForm1::ToolWriteClick, held);
    toolAction("ToolRead", "read", &TForm1::ToolReadClick, held);
    toolAction("ToolVerify", "verify", &TForm1::ToolVerifyClick, held);
    toolAction("ToolBulk", "bulk", &TForm1::ToolBulkClick, held)->setCheckable(true);
    // Shown, and its Esc active, only while a command runs on the chip.
    QAction *stop = toolAction("ToolStop", "stop", &TForm1::ToolStopClick, WhileRunning::Usable);
    stop->setShortcut(Qt::Key_Escape);
    stop->setVisible(false);
    ToolBar1->addSeparator();
    toolAction("ToolDevice", "device", &TForm1::ToolDeviceClick, held);
    toolAction("ToolAbout", "about", &TForm1::ToolAboutClick, WhileRunning::Usable);
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
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
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
    fillPage(TabSheet1, FlashEditor);
    EepromEditor = named(new HexView(TabSheet2), "EepromEditor");
    EepromEditor->setGroupSize(2);
    EepromEditor->setOffsetPrefix(QStringLiteral("0x"));
    fillPage(TabSheet2, EepromEditor);
    PageControl1->addTab(TabSheet1, QString());
    PageControl1->addTab(TabSheet2, QString());
    PageControl1->addTab(TabSheet3, QString());
    column->addWidget(PageControl1, kViewShare);

    auto *options = new QHBoxLayout;
    GroupBox4 = named(new QGroupBox(area), "GroupBox4");
    auto *range = new QGridLayout(GroupBox4);
    CheckBox5 = named(new QCheckBox(GroupBox4), "CheckBox5");
    Label7 = named(new QLabel(GroupBox4), "Label7");
    Label8 = named(new QLabel(GroupBox4), "Label8");
    Edit3 = named(new QLineEdit(QStringLiteral("0000"), GroupBox4), "Edit3");
    Edit4 = named(new QLineEdit(QStringLiteral("FFFF"), GroupBox4), "Edit4");
    for (QLineEdit *edit : {Edit3, Edit4}) {
        installHexKeyFilter(edit, 8);
        setMinimumDigits(edit, 8);
    }
    Edit3->setEnabled(false);
    Edit4->setEnabled(false);
    // Start above end, so that both edits show whole eight-digit addresses beside the
    // auto options at the default width in every language.
    compact(range);
    range->setVerticalSpacing(2);
    range->addWidget(CheckBox5, 0, 0);
    range->addWidget(Label7, 0, 1);
    range->addWidget(Edit3, 0, 2);
    range->addWidget(Label8, 1, 1);
    range->addWidget(Edit4, 1, 2);
    range->setColumnStretch(3, 1);
    connect(CheckBox5, &QCheckBox::clicked, this, &TForm1::CheckBox5Click);
    connect(Edit3, &QLineEdit::textChanged, this, &TForm1::Edit3Change);
    connect(Edit4, &QLineEdit::textChanged, this, &TForm1::Edit4Change);
    options->addWidget(GroupBox4, 1);

    GroupBox2 = named(new QGroupBox(area), "GroupBox2");
    auto *autoOptions = new QHBoxLayout(GroupBox2);
    compact(autoOptions);
    CheckBox1 = named(new QCheckBox(GroupBox2), "CheckBox1");
    CheckBox2 = named(new QCheckBox(GroupBox2), "CheckBox2");
    CheckBox3 = named(new QCheckBox(GroupBox2), "CheckBox3");
    for (QCheckBox *b : {CheckBox1, CheckBox2, CheckBox3}) {
        b->setChecked(true);
        autoOptions->addWidget(b);
    }
    options->addWidget(GroupBox2);
    column->addLayout(options);

    // The log: plain lines, the newest on top. A line put on top of a plain-text edit
    // stays cheap after thousands of batch passes, where a rich-text edit slows down
    // with every line it holds; nothing is ever undone, so no undo history is kept.
    RichEdit1 = named(new QPlainTextEdit(area), "RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setUndoRedoEnabled(false);
    // 91 high at the default size; in a larger window it takes its share of the height.
    RichEdit1->setMinimumHeight(kLogHeight);
    RichEdit1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont logFont = RichEdit1->font();
    logFont.setPixelSize(13);
    RichEdit1->setFont(logFont);
    column->addWidget(RichEdit1, kLogShare);
    return area;
}

void TForm1::buildStatusBar() {
    QStatusBar *bar = named(statusBar(), "StatusBar1");
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 5; ++i) {
        QLabel *panel = i == 1 ? (Panel1 = new ConnectionPanel) : new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(kPanelWidths[i]);
        // One line high, so the bar centres the panels' lines beside the progress bars.
        panel->setMaximumHeight(panel->fontMetrics().height() + 2);
        panel->setAlignment(i == 1 ? Qt::AlignHCenter | Qt::AlignTop
                                   : Qt::AlignLeft | Qt::AlignVCenter);
        StatusPanels[static_cast<std::size_t>(i)] = panel;
        bar->addWidget(panel);
    }
    BatchPanel = named(new QLabel, "BatchPanel");
    BatchPanel->setMaximumHeight(BatchPanel->fontMetrics().height() + 2);
    BatchPanel->setVisible(false);
    bar->insertWidget(4, BatchPanel);
    Panel1->setText(qs(text(txtNotConnected, 0)));
    Panel1->setRed(true);
    // Panel 3 holds the checksum, "CRC32 " and eight digits, whole.
    QLabel *sum = StatusPanels[3];
    const QFontMetrics metrics(sum->font());
    int digit = 0;
    for (const QChar c : QStringLiteral("0123456789ABCDEF"))
        digit = std::max(digit, metrics.horizontalAdvance(c));
    sum->setFixedWidth(std::max(
        kPanelWidths[3], metrics.horizontalAdvance(QStringLiteral("CRC32 ")) + 8 * digit + 4));
    // Room for both bars, the second half as high as the first, inside the bar.
    bar->setMinimumHeight(bar->sizeHint().height() * 3 / 2);
    Progress = named(new QProgressBar(bar), "Progress");
    Progress2 = named(new QProgressBar(bar), "Progress2");
    for (QProgressBar *p : {Progress, Progress2}) {
        p->setTextVisible(p == Progress); // the upper bar shows its percentage
        p->setVisible(false);
    }
    Progress->setFormat(QStringLiteral("%p%"));
    bar->installEventFilter(this);
    StatusPanels[4]->installEventFilter(this);
    placeProgressBars();
}

// Over the empty panel 4 to the right edge, so the panels with text stay clear; the
// upper bar two thirds of the height inside the border, the second one below it.
void TForm1::placeProgressBars() {
    QStatusBar *bar = statusBar();
    const int left = std::max(kProgressLeft, StatusPanels[4]->x() + kProgressIntoPanel4);
    const int width = std::max(0, bar->width() - left);
    const int inside = std::max(3, bar->height() - 2 * kBorder - 2);
    const int height = inside * 2 / 3;
    Progress->setGeometry(left, kBorder + 2, width, height);
    Progress2->setGeometry(left, kBorder + 2 + height, width, inside - height);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
    const bool moved = watched == StatusPanels[4] && event->type() == QEvent::Move;
    const bool resized = watched == statusBar() && event->type() == QEvent::Resize;
    if (moved || resized)
        placeProgressBars();
    return QMainWindow::eventFilter(watched, event);
}
