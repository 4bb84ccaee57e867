#pragma once

#include <QString>

// Every marker test on the controller's lines ignores letter case: "[f]" counts as "[F]".
inline bool containsNoCase(const QString &S, const QString &T)
{
    return S.contains(T, Qt::CaseInsensitive);
}
