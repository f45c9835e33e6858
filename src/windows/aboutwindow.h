#pragma once

#include <QWidget>

class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QMouseEvent;

namespace plenwick {

class DesktopShell;
class WindowGeometry;

// The about window: product name, version, the maker's credit line and web site
// address. The address is a hyperlink only while "Hyperlinks active" is checked: it
// then lights up under the pointer and a press on it asks the desktop to open it.
//
// Every load starts from the design content, so the check box always starts cleared.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    explicit frmAbout(DesktopShell &shell, QWidget *parent = nullptr);

    // The window has no load logic of its own: everything is in place once it is built.
    void formLoad();

    // Whether "Hyperlinks active" is checked.
    bool hyperlinksActive() const;

    // The window's outer position in twips, for saving it at the end of the run.
    WindowGeometry &geometryTwips() { return *m_geometry; }

signals:
    // The window has accepted a close and goes away.
    void unloaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The pointer moves over the window's own background: the link goes back to rest.
    void Form_MouseMove();
    // The pointer moves over the link: highlighted while hyperlinks are active, else at rest.
    void Label8_MouseMove();
    // A mouse button, any button, goes down on the link: opens it while hyperlinks are active.
    void Label8_MouseDown();
    // A completed click on the link. The press has already opened it.
    void Label8_Click();

    // Asks the desktop to open `target` with the user's default handler and returns at
    // once; nothing is reported, whatever the outcome.
    void OpenHyperlink(const QString &target);

    // Shows the link at rest (plain) or highlighted (underlined), in a colour that reads
    // on the window's background.
    void showLink(bool highlighted);

    QCheckBox *Check13 = nullptr; // "Hyperlinks active"
    QLabel *Label9 = nullptr;     // credit line
    QLabel *Label8 = nullptr;     // web site address, the hyperlink
    QLabel *Label7 = nullptr;     // version
    QLabel *Label6 = nullptr;     // product name
    QLabel *Picture2 = nullptr;   // application icon

    DesktopShell &m_shell;
    WindowGeometry *m_geometry = nullptr;
    bool m_linkHighlighted = false;
    // A left button went down on the link and has not come up yet.
    bool m_linkPressed = false;
};

} // namespace plenwick
