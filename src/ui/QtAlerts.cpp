#include "ui/QtAlerts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace ostrevane {

int QtAlerts::runModal(const Alert& alert)
{
    QMessageBox box(alert.style == Style::warning ? QMessageBox::Warning : QMessageBox::Information, QString(),
                    alert.message);
    box.setWindowTitle(QStringLiteral("Ostrevane"));
    box.setInformativeText(alert.informativeText);
    QList<QAbstractButton*> buttons;
    for (const QString& title : alert.buttons)
        buttons << box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
        box.setEscapeButton(buttons.back());
    }
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

} // namespace ostrevane
