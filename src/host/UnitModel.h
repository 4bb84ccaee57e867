#pragma once

#include <QObject>
#include <QString>
#include <optional>

// What a unit is doing, as the console knows it. The panel gives each state its colour.
enum class UnitState {
    Idle, // no answer since the last command
    Answering, // a line concerning the unit has just arrived
    Answered, // it answered, and the status line has cleared since
    Stuck, // a stuck stone
    Other, // a look the panel was given by hand that names none of the states above
};

// One dispensing unit as the console knows it: its UID, name and size lines, what it is doing, whether the
// operator has checked it, and its count and information lines with the numbers they show. The link, the
// handlers, the dispense run and the publisher read and change it; the unit's panel draws it. Each setter
// that changes a value emits that value's signal, then changed(); setting the value it holds emits nothing.
class UnitModel : public QObject
{
    Q_OBJECT
public:
    explicit UnitModel(QObject *parent = nullptr);

    // The UID as stored in the unit's settings section.
    QString uid() const { return m_uid; }
    void setUid(const QString &uid);
    // The name line ("UNIT 3", "All Units").
    QString name() const { return m_name; }
    void setName(const QString &name);
    // The size line.
    QString size() const { return m_size; }
    void setSize(const QString &size);

    UnitState state() const { return m_state; }
    void setState(UnitState state);
    // Whether commands to the selected units reach this one.
    bool isChecked() const { return m_checked; }
    void setChecked(bool checked);

    // The count line as shown, and the count it shows (none when it shows no count).
    QString countLine() const { return m_countLine; }
    std::optional<double> count() const { return m_count; }
    void setCount(const QString &line, std::optional<double> count = std::nullopt);
    // The information line as shown, and the shortfall it shows (none when it shows no shortfall).
    QString infoLine() const { return m_infoLine; }
    std::optional<double> shortfall() const { return m_shortfall; }
    void setInfo(const QString &line, std::optional<double> shortfall = std::nullopt);

signals:
    void uidChanged();
    void nameChanged();
    void sizeChanged();
    void stateChanged(UnitState state);
    void checkedChanged(bool checked);
    void countChanged();
    void infoChanged();
    // Any of the values above has changed.
    void changed();

private:
    QString m_uid;
    QString m_name;
    QString m_size;
    UnitState m_state = UnitState::Idle;
    bool m_checked = false;
    QString m_countLine;
    std::optional<double> m_count;
    QString m_infoLine;
    std::optional<double> m_shortfall;
};
