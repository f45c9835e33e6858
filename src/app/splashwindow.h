#pragma once

#include "platform/toolkit/vbcolor.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QLineEdit;

namespace plenwick {

// The splash window: the program's picture in a light blue frame, shown for five
// ticks of 100 ms while the main window loads, then the main window appears.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *mainWindow);

    void formLoad();

    static constexpr VbColor kFrameColor = 16761024; // light blue
    static constexpr int kFrameWidth = 10;

signals:
    void unloaded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Timer1_Timer();

    // The picture that fills the window, beneath the frame.
    QPixmap Picture;
    QLineEdit *Text1 = nullptr; // the countdown
    QTimer Timer1;
    QWidget *m_mainWindow;
};

} // namespace plenwick
