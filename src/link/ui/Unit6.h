#pragma once
// TForm6: the hardware information window. It shows the programmer's hardware and
// firmware versions and serial number, and lets the person choose a firmware file.

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
namespace korvat {
class FileCommands;
struct HardwareInfo;
} // namespace korvat

class TForm6 : public QDialog {
    Q_OBJECT
public:
    // The firmware file is chosen in the window's file dialog, which starts where the
    // last file was chosen.
    explicit TForm6(korvat::FileCommands &files, QWidget *parent = nullptr);

    void applyLanguage(int language);
    void showInfo(const korvat::HardwareInfo &info);
    // The file "Upgrade firmware" chose; empty after "Close". Kept between showings.
    const std::string &chosenFile() const { return m_chosenFile; }

public slots:
    void BitBtn1Click(); // choose a file and close
    void BitBtn2Click(); // forget the file and close
    // Escape and the title bar's close box close the window as "Close" does, so an
    // earlier choice does not start an upgrade the person did not ask for.
    void reject() override;

public:
    QLabel *Label1, *Label3, *Label5;
    QLineEdit *Edit1, *Edit2, *Edit3;
    QPushButton *BitBtn1, *BitBtn2;

private:
    void place();

    korvat::FileCommands &m_files;
    std::string m_chosenFile;
};
