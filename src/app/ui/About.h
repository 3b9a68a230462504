#pragma once
// TAboutBox: the about box with the program icon, the product name, the version, the
// maker and the maker's web address, which opens in the desktop's default browser.

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    void applyLanguage(int language);
    static QUrl webAddress();

public slots:
    void CommentsClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

public:
    QLabel *ProgramIcon, *ProductName, *Version, *Company, *Comments, *Copyright;
    QPushButton *OKButton;
};
