#pragma once

#include <QWidget>

#include <memory>

class QLineEdit;

namespace hexlark {

class EnterClicksButton;
class Form1Handlers;
class QtScreenReader;
class QtTextBox;
struct Platform;
namespace design {
struct ControlDesign;
}

// The program's one window: the generated address, and buttons to generate a
// new one, copy it and read who made the program.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(const Platform &platform, QWidget *parent = nullptr);
    ~Form1() override;

protected:
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The window and its controls as the design table has them.
    void buildFromDesign();
    void designWindow();
    QWidget *createControl(const design::ControlDesign &control, EnterClicksButton &enterClicks);
    void centreOnScreen();

    QLineEdit *m_text1 = nullptr;
    std::unique_ptr<QtTextBox> m_text1Box;
    std::unique_ptr<QtScreenReader> m_reader;
    std::unique_ptr<Form1Handlers> m_handlers;
    int m_dpi = 0;
    bool m_centredWithFrame = false;
};

} // namespace hexlark
