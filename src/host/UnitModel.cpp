#include "host/UnitModel.h"

UnitModel::UnitModel(QObject *parent)
    : QObject(parent)
{}

void UnitModel::setUid(const QString &uid)
{
    if (uid == m_uid)
        return;
    m_uid = uid;
    emit uidChanged();
    emit changed();
}

void UnitModel::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
    emit changed();
}

void UnitModel::setSize(const QString &size)
{
    if (size == m_size)
        return;
    m_size = size;
    emit sizeChanged();
    emit changed();
}

void UnitModel::setState(UnitState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
    emit changed();
}

void UnitModel::setChecked(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    emit checkedChanged(checked);
    emit changed();
}

void UnitModel::setCount(const QString &line, std::optional<double> count)
{
    if (line == m_countLine && count == m_count)
        return;
    m_countLine = line;
    m_count = count;
    emit countChanged();
    emit changed();
}

void UnitModel::setInfo(const QString &line, std::optional<double> shortfall)
{
    if (line == m_infoLine && shortfall == m_shortfall)
        return;
    m_infoLine = line;
    m_shortfall = shortfall;
    emit infoChanged();
    emit changed();
}
