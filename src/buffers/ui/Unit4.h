#pragma once
// TForm4: the buffer fill window. It fills a range of the FLASH buffer with a constant
// byte, a constant word or random bytes; "确定" fills and leaves the window open.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
namespace korvat {
class Buffers;
class BufferView;
class MessageSink;
} // namespace korvat

class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(korvat::Buffers &buffers, korvat::BufferView &flashView, korvat::MessageSink &messages,
           QWidget *parent = nullptr);

    void applyLanguage(int language);

signals:
    void filled(); // the FLASH buffer and its loaded length changed

public slots:
    void BitBtn1Click(); // fill
    void BitBtn2Click() { reject(); }

public:
    QGroupBox *GroupBox1, *GroupBox2;
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;
    QLabel *Label1, *Label2;
    QPushButton *BitBtn1, *BitBtn2;

private:
    korvat::Buffers &m_buffers;
    korvat::BufferView &m_flashView;
    korvat::MessageSink &m_messages;
    int m_language = 0;
};
