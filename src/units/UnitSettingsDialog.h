#pragma once

#include "units/CheckedDialog.h"

#include <QMap>
#include <QString>

class QLineEdit;

// A unit's own settings, where the unit is shown: its address (UID) and its size caption, with its last
// identity and home reports to read. OK is offered only for values that address this unit alone.
class UnitSettingsDialog : public CheckedDialog
{
    Q_OBJECT
public:
    // A size caption is kept up to this many characters, as every value a settings read gives back.
    static constexpr qsizetype MaxSize = 259;

    struct Values
    {
        QString uid;
        QString size;
        QString init; // the last identity report, shown only
        QString home; // the last home report, shown only
    };

    // others: the UIDs of the other units, by unit number.
    UnitSettingsDialog(int unit, const Values &values, const QMap<int, QString> &others, QWidget *parent = nullptr);

    QString uid() const;
    QString size() const;

    // Why the values cannot be stored, or empty when they can: "UID 101 is UNIT 2's".
    static QString problem(const QString &uid, const QString &size, const QMap<int, QString> &others);

private:
    void check();

    QMap<int, QString> m_others;
    QLineEdit *m_uid = nullptr;
    QLineEdit *m_size = nullptr;
};
