#include "DailyLog.h"

#include "Ansi.h"

#include <QDir>
#include <QFile>

DailyLog::DailyLog(const QString &programFolder, Clock clock)
    : m_folder(QDir(programFolder).filePath(QStringLiteral("Log")))
    , m_clock(std::move(clock))
{}

QString DailyLog::fileFor(const QDateTime &when) const
{
    return QDir(m_folder).filePath(when.toString(QStringLiteral("yy-MM-dd-")) + QStringLiteral("Log.txt"));
}

void DailyLog::LOG(const QString &logText)
{
    Entry entry{fileFor(m_clock()), ansi::encode(logText) + "\r\n"};
    if (writePending() && append(entry.path, entry.bytes))
        return;
    if (m_pending.size() >= MaxPending) {
        m_pending.pop_front();
        ++m_dropped;
    }
    m_pending.push_back(std::move(entry));
}

bool DailyLog::writePending()
{
    while (!m_pending.empty()) {
        const Entry &e = m_pending.front();
        if (!append(e.path, e.bytes))
            return false;
        m_pending.pop_front();
    }
    return true;
}

bool DailyLog::append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    // Unbuffered, so a full disk shows in the write itself and not only when the file is closed.
    constexpr QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    if (!file.open(mode)) {
        // The folder is made when it is missing: the first entry of a new installation, or after it was removed.
        if (!QDir().mkpath(m_folder) || !file.open(mode))
            return false;
    }
    const qint64 before = file.pos();
    if (file.write(bytes) == bytes.size()) {
        file.close();
        return file.error() == QFileDevice::NoError;
    }
    // A partial write must not leave half an entry behind: the whole entry is written again later.
    file.resize(before);
    return false;
}
