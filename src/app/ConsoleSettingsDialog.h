#pragma once

#include "units/CheckedDialog.h"

#include <QMap>
#include <QString>
#include <optional>

class QComboBox;
class QSpinBox;

// The console's own settings: how many units it shows and the port of the controller, picked from the
// ports the console knows or typed.
class ConsoleSettingsDialog : public CheckedDialog
{
    Q_OBJECT
public:
    static constexpr int MaxUnits = 100;

    // ports: the known port numbers, each with the device it leads to (empty where none is known).
    ConsoleSettingsDialog(int units, int port, const QMap<int, QString> &ports, QWidget *parent = nullptr);

    int units() const;
    // The port picked or typed, when it is a port number.
    std::optional<int> port() const;

    // The port number a picked or typed text names ("7", "7 - /dev/ttyUSB0"), if it is one.
    static std::optional<int> portOf(const QString &text);

private:
    void check();

    QSpinBox *m_units = nullptr;
    QComboBox *m_port = nullptr;
};
