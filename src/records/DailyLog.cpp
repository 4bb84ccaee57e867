#include "records/DailyLog.h"

#include "common/Ansi.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

DailyLog::DailyLog(const QString &programFolder, Clock clock)
    : DailyLog(programFolder, std::move(clock), Format())
{}

DailyLog::DailyLog(const QString &programFolder, Clock clock, Format format)
    : m_folder(QDir(programFolder).filePath(QStringLiteral("Log")))
    , m_clock(std::move(clock))
    , m_format(std::move(format))
{}

DailyLog::~DailyLog()
{
    flush();
}

QString DailyLog::fileName(QDate day) const
{
    return day.toString(QStringLiteral("yy-MM-dd-")) + m_format.suffix;
}

QString DailyLog::fileFor(QDate day) const
{
    return m_folder + u'/' + fileName(day);
}

void DailyLog::log(const QString &logText)
{
    append(ansi::encode(logText) + "\r\n");
}

void DailyLog::append(const QByteArray &bytes)
{
    // The file name follows the clock at every entry, so the first entry after midnight starts the next file.
    append(bytes, m_clock().date());
}

void DailyLog::append(const QByteArray &bytes, QDate day)
{
    Entry entry{day, bytes};
    if (flush() && writeEntry(entry))
        return;
    hold(std::move(entry));
}

QStringList DailyLog::saveHeld(const QStringList &folders)
{
    QStringList files;
    for (const QString &folder : folders) {
        const QString unsaved = QDir(folder).filePath(QStringLiteral("unsaved"));
        if (m_held.empty() || folder.isEmpty() || !QDir().mkpath(unsaved))
            continue;
        while (!m_held.empty()) {
            const QDate day = m_held.front().day;
            QByteArray bytes = lostNotice();
            auto end = m_held.begin();
            for (; end != m_held.end() && end->day == day; ++end)
                bytes += end->bytes;
            const QString file = unsaved + u'/' + fileName(day);
            if (!writeWhole(QFile::encodeName(file), bytes))
                break;
            for (auto it = m_held.begin(); it != end; ++it)
                m_heldBytes -= costOf(*it);
            m_held.erase(m_held.begin(), end);
            m_lost = 0;
            if (!files.contains(file))
                files.append(file);
        }
    }
    return files;
}

bool DailyLog::flush()
{
    while (!m_held.empty()) {
        const Entry &e = m_held.front();
        if (!writeEntry(e))
            return false;
        m_heldBytes -= costOf(e);
        m_held.pop_front();
    }
    return true;
}

bool DailyLog::writeEntry(const Entry &entry)
{
    if (m_lost == 0 || !m_format.announceLost) {
        if (!appendToDay(entry.day, entry.bytes))
            return false;
        m_lost = 0;
        return true;
    }
    // The notice and the entry it precedes go in one write, so neither can appear without the other.
    if (!appendToDay(entry.day, lostNotice() + entry.bytes))
        return false;
    m_lost = 0;
    return true;
}

QByteArray DailyLog::lostNotice() const
{
    if (m_lost == 0 || !m_format.announceLost)
        return {};
    return '[' + QByteArray::number(m_lost) + QByteArrayLiteral(" log entries lost: the log could not be written]\r\n");
}

void DailyLog::hold(Entry entry)
{
    const qsizetype cost = costOf(entry);
    if (cost > MaxHeldBytes) {
        ++m_lost;
        return;
    }
    while (m_heldBytes + cost > MaxHeldBytes) {
        m_heldBytes -= costOf(m_held.front());
        m_held.pop_front();
        ++m_lost;
    }
    m_heldBytes += cost;
    m_held.push_back(std::move(entry));
}

bool DailyLog::appendToDay(QDate day, const QByteArray &bytes)
{
    if (day != m_pathDay || m_path.isEmpty()) {
        m_pathDay = day;
        m_path = fileFor(day);
        m_nativePath = QFile::encodeName(m_path);
    }
    if (writeWhole(m_nativePath, bytes))
        return true;
    // The folder is made when it is missing: the first entry of a new installation, or after it was removed.
    return QDir().mkpath(m_folder) && writeWhole(m_nativePath, bytes);
}

#ifdef Q_OS_UNIX

// The platform's own calls: QFile would add two status queries and a seek to every entry, which is more
// than the append itself costs.
bool DailyLog::writeWhole(const QByteArray &nativePath, const QByteArray &entry)
{
    // Non-blocking, so a pipe put in the log's place cannot stop the console.
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return false;
    struct stat before
    {
    };
    const bool fresh = !m_format.header.isEmpty() && ::fstat(fd, &before) == 0 && before.st_size == 0;
    const QByteArray bytes = fresh ? m_format.header + entry : entry;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0)
            written += n;
        else if (n == 0 || errno != EINTR)
            break;
    }
    bool ok = written == bytes.size();
    struct stat st
    {
    };
    // Half an entry must not stay behind: the whole entry is written again later. Nor an empty file made
    // for it, which a reader would take for a day without entries.
    const bool emptied = !ok && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
        && (written == 0 || ::ftruncate(fd, st.st_size - written) == 0) && st.st_size == written;
    // A network file system may report a failed write only at the close.
    ok = ::close(fd) == 0 && ok;
    if (emptied)
        ::unlink(nativePath.constData());
    return ok;
}

#else

bool DailyLog::writeWhole(const QByteArray &nativePath, const QByteArray &entry)
{
    QFile file(QFile::decodeName(nativePath));
    // Unbuffered, so a full disk shows in the write itself and not only when the file is closed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const qint64 before = file.pos();
    const QByteArray bytes = before == 0 ? m_format.header + entry : entry;
    if (file.write(bytes) == bytes.size()) {
        file.close();
        return file.error() == QFileDevice::NoError;
    }
    // Half an entry must not stay behind: the whole entry is written again later; nor an empty file.
    file.resize(before);
    if (before == 0)
        file.remove();
    return false;
}

#endif
