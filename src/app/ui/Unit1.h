#pragma once
// TForm1: the main window. It owns the catalogue, the current chip, the buffers and the
// language, lays out the chip panel, the hex views, the address range, the log and the
// status bar, and hosts every command; the rules it applies are the core's.

#include "WindowHost.h"
#include "app/AppPaths.h"
#include "app/Settings.h"
#include "buffers/Buffers.h"
#include "buffers/FileCommands.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Selection.h"
#include "link/Connection.h"
#include "link/FirmwareUpgrade.h"
#include "link/HidApi.h"
#include "link/Hiddrv.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"
#include "ops/Batch.h"
#include "ops/Engine.h"

#include <QLabel>
#include <QMainWindow>
#include <QWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class Dialogs;
class QDialog;
class HexView;
class MessageBoxes;
class TAboutBox;
class TForm2;
class TForm3;
class TForm4;
class TForm6;
class QtTranslations;
class UsbMonitor;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QPlainTextEdit;
class QToolBar;

// The libraries the programmer is reached through: libusb for the programmer itself,
// hidapi for the boot loader it restarts into for a firmware upgrade.
struct ProgrammerLinks {
    ProgrammerLinks(korvat::UsbApi usb, korvat::HidApi hid = korvat::HidApi::unavailable())
        : usb(std::move(usb)), hid(std::move(hid)) {}
    korvat::UsbApi usb;
    korvat::HidApi hid;
};

// Batch mode's view of the window (detection, a pass, the toggle) is private to it.
class TForm1 : public QMainWindow, private korvat::BatchWindow {
    Q_OBJECT
public:
    // basePath: the executable's path without extension; the settings file is
    // basePath + ".ini" and the catalogue basePath + ".Dat". links: the libraries the
    // programmer and its boot loader are reached through. dialogs: where error and information
    // boxes and questions go; message boxes over this window when null.
    TForm1(const QString &basePath, ProgrammerLinks links, Dialogs *dialogs = nullptr,
           QWidget *parent = nullptr);
    // The same with the catalogue and the settings where paths puts them.
    TForm1(const korvat::AppPaths &paths, ProgrammerLinks links, Dialogs *dialogs = nullptr,
           QWidget *parent = nullptr);
    ~TForm1() override;

    // Rebuilds the maker and model lists and selects the chip at the three positions.
    int selectChip(int family, int maker, int model);
    void applyLanguage();

    // Whether the installed fonts draw a text; the start-up asks it about the saved
    // language's captions before the window is first shown. Qt's own lookup unless set.
    void setFontCheck(std::function<bool(std::string_view)> drawn) {
        m_fontsDraw = std::move(drawn);
    }

    int language() const { return m_language; }
    int currentChip() const { return m_currentChip; }
    // The chip the commands run on: the current chip while the lists show one chosen,
    // else -1.
    int chosenChip() const { return m_chipChosen ? m_currentChip : -1; }
    const std::array<int, 3> &savedPositions() const { return m_saved; }
    korvat::Buffers &buffers() { return m_buffers; }
    const korvat::Catalogue &catalogue() const { return m_catalogue; }
    const korvat::Connection &connection() const { return *m_connection; }
    const WindowHost &host() const { return *m_host; }
    const korvat::FileCommands &fileCommands() const { return *m_files; }
    // An operation holds the programmer; the commands are disabled meanwhile.
    bool operationRunning() const { return m_connection->busy(); }
    // A command on the chip runs (from its checks to its end), or the programmer is held.
    bool busy() const { return m_commandRunning || m_connection->busy(); }
    // The commands held (disabled) while an operation runs, as marked where each is made.
    const std::vector<QAction *> &operationCommands() const { return m_operationCommands; }

public slots:
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void ChinaClick() { switchLanguage(0); }
    void fantiClick() { switchLanguage(1); }
    void EnlishClick() { switchLanguage(2); }
    void CheckBox5Click();
    void Edit3Change();
    void Edit4Change();
    void Q1Click() { close(); }
    void BitBtn1Click(); // chip identification
    void BitBtn2Click(); // the chip search
    void ToolAutoClick();
    void ToolBulkClick(); // the batch toggle: starts the loop when pressed
    void ToolOpenClick();
    void ToolSaveClick();
    void ToolFillClick();
    void ToolAboutClick();
    void ToolDeviceClick(); // the chip editor
    void N4Click();         // hardware information and firmware upgrade
    // Ends the running command at its next transfer, and batch mode with its pass.
    void ToolStopClick();
    // Closes the window with nobody there to answer (a signal, the session ending): the
    // settings are written at once, in case the end is forced before the window has
    // closed; open modal windows are closed (a question so closed is answered No); a
    // running command is stopped and the window closes once it has ended; a firmware
    // upgrade is waited for. Nothing is asked.
    void closeWithoutAsking();
    void ToolReadClick() { runOperation(korvat::Operation::Read); }
    void ToolEraseClick() { runOperation(korvat::Operation::Erase); }
    void ToolWriteClick() { runOperation(korvat::Operation::Write); }
    void ToolVerifyClick() { runOperation(korvat::Operation::Verify); }
    void ToolBankClick() { runOperation(korvat::Operation::BlankCheck); }
    void FormActivate();   // the probe, when this window becomes the active one again
    void WMDeviceChange(); // a USB device came or went

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // The progress bars follow the status bar's panels wherever its layout puts them.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Files dragged from a file manager are opened as Open opens them.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    QWidget *buildChipPanel();
    QWidget *buildWorkArea();
    void buildStatusBar();
    void assignShortcuts(); // after the menus and the toolbar
    void FormCreate();
    void FormShow();
    bool FormClose();
    // The settings as they stand now, written; the failure's text when they were not.
    std::optional<std::string> writeSettingsNow();
    // A close asked while a command ran or an upgrade was held: done now it has ended.
    void closeIfAsked();
    void FormResize();
    void switchLanguage(int language);
    // Shows the lists at the positions, the chosen chip's sizes and tabs, and resets
    // the buffers and views for the current chip.
    void showSelection(int chosen, int family, int maker, int model);
    // The same without the reset: what the buffers hold still serves the chip.
    void showChosenChip(int chosen, int family, int maker, int model);
    // The three lists at the positions and the first tab's caption, nothing else.
    void showLists(int family, int maker, int model);
    // "EEPROM" for the 24-series, else "FLASH".
    void showFirstTabCaption();
    // After the editor closed: the lists rebuilt from the catalogue as it now stands,
    // with the chip that was current (by its name) selected again. The buffers are kept
    // when that chip's capacity, EEPROM size and family did not change.
    void catalogueEdited(const korvat::NameParts &current, const korvat::ChipRecord &before);
    void placeProgressBars();
    void runOperation(korvat::Operation operation);
    // A command on the chip runs from here to endCommand: the Stop action shows (Esc
    // triggers it) and a Stop meanwhile cancels it.
    void beginCommand();
    // Hides Stop again, and closes the window when the person asked to while it ran.
    void endCommand();
    // Disables the commands that touch the programmer, the chip choice or the buffers
    // while an operation runs, and restores them after.
    void setCommandsAvailable(bool available);
    void focusWindowChanged(QWindow *window);
    void execModal(QDialog *window);
    void showError(const QString &text);
    korvat::BufferTab currentTab() const;
    // Batch mode: the toolbar (but the toggle) and the main panel are held disabled while
    // it runs; the menu stays.
    void holdForBatch(bool hold);
    // BatchWindow
    bool batchOn() const override;
    korvat::ChipIdentity detect() override;
    korvat::AutoSteps passSteps() const override; // as the three Auto option boxes tick them
    std::optional<korvat::PassOutcome> runPass() override;
    // The whole of Auto; goOn asks whether to go on with another chip than the one selected.
    std::optional<korvat::PassOutcome> autoPass(const korvat::GoOnWithOtherChip &goOn);
    // A command meets another chip in the socket: the person decides, No by default.
    korvat::GoOnWithOtherChip askAboutOtherChip();
    korvat::NameParts chipName() const override;
    int chipFamily() const override;
    void pause(int milliseconds) override;
    void stop() override;
    void showStatus(const korvat::BatchStatus &status) override;
    // The batch panel: the run's status in the current language while one runs, else
    // hidden.
    void showBatchStatus();
    // The CRC-32 of the chip's whole image (its capacity bytes of the FLASH buffer) in
    // status panel 3; computed again after every change of those bytes or of the chip.
    void refreshChecksum();
    void showChecksum();
    std::uint32_t imageSize() const;
    using Handler = void (TForm1::*)();
    // What a command does while an operation runs: held disabled until it ends, or still
    // usable (one that neither reaches the programmer nor changes what the operation reads).
    enum class WhileRunning { Held, Usable };
    QAction *menuAction(QMenu *menu, const char *name, Handler handler, WhileRunning running);
    QAction *toolAction(const char *name, const char *icon, Handler handler, WhileRunning running);
    QAction *barAction(QMenuBar *bar, const char *name, Handler handler, WhileRunning running);
    QAction *marked(QAction *action, WhileRunning running);

    // State
    QString m_cataloguePath;
    QString m_settingsPath;
    // Where the catalogue is, the installed default, and where batch mode records its passes.
    korvat::AppPaths m_paths;
    korvat::Catalogue m_catalogue;
    korvat::SelectionLists m_lists;
    korvat::Buffers m_buffers;
    int m_currentChip = 0;
    bool m_chipChosen = false; // the last selection chose the current chip
    std::array<int, 3> m_saved{};
    int m_speed = 0;
    int m_language = 0;      // the one shown
    int m_savedLanguage = 0; // the one the settings keep: as read, or as the person chose
    std::function<bool(std::string_view)> m_fontsDraw;
    bool m_shown = false;
    std::unique_ptr<korvat::SettingsStore> m_settings;
    std::unique_ptr<MessageBoxes> m_messageBoxes;
    std::unique_ptr<QtTranslations> m_qtTexts; // Qt's own texts in the language
    Dialogs *m_dialogs;
    TForm2 *m_editor = nullptr;
    TForm3 *m_search = nullptr;
    TForm4 *m_fill = nullptr;
    TAboutBox *m_about = nullptr;
    TForm6 *m_hardware = nullptr;
    std::unique_ptr<WindowHost> m_host;
    std::unique_ptr<korvat::TUsbBulk> m_usb;
    std::unique_ptr<korvat::Connection> m_connection;
    std::unique_ptr<korvat::Engine> m_engine;
    std::unique_ptr<korvat::FileCommands> m_files;
    std::unique_ptr<korvat::CUsbhid> m_hid;
    std::unique_ptr<korvat::FirmwareUpgrade> m_upgrade;
    std::string m_checksum;
    std::string m_settingsFolder; // the last folder as read from the settings, until used
    UsbMonitor *m_usbMonitor = nullptr;
    QWindow *m_lastFocus = nullptr;             // the last window of ours that had the focus
    std::vector<QAction *> m_operationCommands; // marked WhileRunning::Held
    std::vector<QObject *> m_heldCommands;      // disabled while an operation runs
    std::vector<QObject *> m_heldForBatch;
    bool m_batchRunning = false;                      // the batch loop is on the stack
    std::optional<korvat::BatchStatus> m_batchStatus; // of the run going on
    bool m_commandRunning = false; // between beginCommand and endCommand
    bool m_closeWhenEnded = false; // the window was closed and the command stopped
    bool m_closeWithoutAsking = false; // closing with nobody there to answer

public:
    // Controls, named as the system names them (also their object names).
    QComboBox *ComboBox1, *ComboBox2, *ComboBox3;
    QPushButton *BitBtn1, *BitBtn2;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9;
    QLineEdit *Edit1, *Edit2, *Edit5, *Edit3, *Edit4;
    QLabel *Image1;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox4;
    QTabWidget *PageControl1;
    QWidget *TabSheet1, *TabSheet2, *TabSheet3;
    HexView *FlashEditor, *EepromEditor;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox5;
    QPlainTextEdit *RichEdit1;
    QToolBar *ToolBar1;
    std::array<QLabel *, 5> StatusPanels{};
    // Between panels 3 and 4 while batch mode runs: the socket's state and the counts.
    QLabel *BatchPanel = nullptr;
    ConnectionPanel *Panel1 = nullptr;
    TForm2 *editorWindow() const { return m_editor; }
    TForm3 *searchWindow() const { return m_search; }
    TForm4 *fillWindow() const { return m_fill; }
    TAboutBox *aboutBox() const { return m_about; }
    TForm6 *hardwareWindow() const { return m_hardware; }
    QProgressBar *Progress, *Progress2;
};
