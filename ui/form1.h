#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace hexlark {

class Clipboard;
class ErrorPath;
class MessageBox;
class RandomSource;

// The program's one window: the generated address, and buttons to generate a
// new one, copy it and read who made the program.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    Form1(RandomSource &random, Clipboard &clipboard, MessageBox &messages, ErrorPath &errors,
          QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void buildFromDesign();
    void load();
    void command1Click();
    void command2Click();
    void command3Click();

    RandomSource &m_random;
    Clipboard &m_clipboard;
    MessageBox &m_messages;
    ErrorPath &m_errors;

    QLineEdit *m_text1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
};

} // namespace hexlark
