#pragma once

#include <QString>

// Every marker test on the controller's lines ignores letter case: "[f]" counts as "[F]".
inline bool instrQS(const QString &S, const QString &T)
{
    return S.contains(T, Qt::CaseInsensitive);
}
