#pragma once

#include <QWidget>

#include <memory>

class QLineEdit;
class QPushButton;

namespace hexlark {

class Clipboard;
class ErrorPath;
class Form1Handlers;
class MessageBox;
class QtTextBox;
class RandomSource;

// The program's one window: the generated address, and buttons to generate a
// new one, copy it and read who made the program.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    Form1(RandomSource &random, Clipboard &clipboard, MessageBox &messages, ErrorPath &errors,
          QWidget *parent = nullptr);
    ~Form1() override;

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void allowMaximizedSize(Qt::WindowState state);
    QSize clientSize() const;
    void buildFromDesign();
    void centreOnScreen();
    void tellNewAddress();

    QLineEdit *m_text1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    std::unique_ptr<QtTextBox> m_text1Box;
    std::unique_ptr<Form1Handlers> m_handlers;
    QObject *m_notice = nullptr;
    int m_dpi = 0;
    bool m_centredWithFrame = false;
    bool m_leaveMaximized = false;
};

} // namespace hexlark
