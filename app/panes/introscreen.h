#pragma once
// The splash window shown once during start-up, closed by its own timer.
#include <QDialog>
#include <QTimer>

class TIntroScreen : public QDialog {
    Q_OBJECT
public:
    // intervalMs: the splash timer (tests pass a short one); it starts now.
    explicit TIntroScreen(int intervalMs = 5000, QWidget *parent = nullptr);
    void Timer1Timer();
    QTimer *timer() { return &m_timer; }

signals:
    // The splash's time is over and it has closed: the windows it stood
    // in front of come up.
    void timeUp();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    QTimer m_timer;
    bool m_closing = false;
};

extern TIntroScreen *IntroScreen;

// The about box, shown modally from the Help menu.
class TAboutHTML : public QDialog {
    Q_OBJECT
public:
    explicit TAboutHTML(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *e) override;
};

extern TAboutHTML *AboutHTML;
