// The devices the user chose in "Порт прибора…" for "\\.\COM1" and "\\.\COM2", as the program's
// settings keep them ("Port_COM1", "Port_COM2"). Every front end that asks the instrument reads them
// here, so that the window and darni-cli look on the same ports.
#pragma once

#include "portnames.h"

#include <QSettings>
#include <QString>

namespace darni::link {

struct PortChoice
{
    QString com1; // empty where nothing was chosen: the platform's own device
    QString com2;
};

PortChoice readPortChoice(const QSettings& settings);
// An empty device removes its choice.
void writePortChoice(QSettings& settings, const PortChoice& choice);
// The port names mapped as chosen; the environment's DARNI_COM1 / DARNI_COM2 still win.
PortNameMap chosenPortNames(const QSettings& settings);

} // namespace darni::link
