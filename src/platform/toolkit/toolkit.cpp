#include "toolkit.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>

namespace plenwick {

using namespace Qt::StringLiterals;

QString applicationTitle()
{
    return u"Plenwick"_s;
}

void yieldToEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool canPlaceWindows()
{
    return !QApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool showCriticalMessage(QWidget *parent, const QString &text, const QString &caption)
{
    static QPointer<QMessageBox> open;
    if (open)
        return false;
    auto *box = new QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(u"criticalMessage"_s);
    open = box;
    box->open();
    return true;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const auto &name :
         {u":/plenwick/icon-32.png"_s, u":/plenwick/icon-48.png"_s, u":/plenwick/icon-256.png"_s})
        icon.addFile(name);
    return icon;
}

} // namespace plenwick
