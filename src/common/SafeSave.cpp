#include "common/SafeSave.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace {

// The file a link points to; the path itself for anything else.
QString targetOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

#ifdef Q_OS_UNIX

bool writeAll(int fd, QByteArrayView data, off_t at)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, size_t(data.size() - done), at + off_t(done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            return false;
    }
    return true;
}

bool readAll(int fd, QByteArray &into)
{
    qsizetype done = 0;
    while (done < into.size()) {
        const ssize_t n = ::pread(fd, into.data() + done, size_t(into.size() - done), off_t(done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            return false;
    }
    return true;
}

// A rename is only durable once the folder's entry is on disk; a folder that cannot be synced (some file
// systems refuse) still has the new file under the name.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// 0: replaced; 1: failed, the file untouched; 2: no temporary file could be made there.
int replaceByRename(const QByteArray &target, QByteArrayView data)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray name = target.sliced(slash + 1);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder + "/." + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return 2;
    struct stat old
    {
    };
    if (::stat(target.constData(), &old) == 0) {
        // The file keeps its permissions and, where we may, its owner.
        ::fchmod(fd, old.st_mode & 07777);
        std::ignore = ::fchown(fd, old.st_uid, old.st_gid);
    }
    bool ok = writeAll(fd, data, 0) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return 1;
    }
    syncFolder(folder);
    return 0;
}

bool rewriteInPlace(const QByteArray &target, QByteArrayView data)
{
    const int fd = ::open(target.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    QByteArray old(qsizetype(st.st_size), Qt::Uninitialized);
    if (!readAll(fd, old)) {
        ::close(fd);
        return false;
    }
    const qsizetype common = qMin(old.size(), data.size());
    // The growth first: a full disk stops it before any old byte is touched.
    if (data.size() > old.size() && !(writeAll(fd, data.sliced(old.size()), off_t(old.size())) && ::fsync(fd) == 0)) {
        std::ignore = ::ftruncate(fd, off_t(old.size()));
        ::close(fd);
        return false;
    }
    bool ok = writeAll(fd, data.first(common), 0);
    if (ok && data.size() < old.size())
        ok = ::ftruncate(fd, off_t(data.size())) == 0;
    ok = ok && ::fsync(fd) == 0;
    if (!ok) {
        // Overwriting bytes the file already has needs no room; put the old ones back.
        writeAll(fd, old, 0);
        std::ignore = ::ftruncate(fd, off_t(old.size()));
        ::fsync(fd);
    }
    return ::close(fd) == 0 && ok;
}

#endif

} // namespace

namespace safesave {

#ifdef Q_OS_UNIX

bool replace(const QString &path, QByteArrayView data)
{
    const QByteArray target = QFile::encodeName(targetOf(path));
    const int outcome = replaceByRename(target, data);
    if (outcome != 2)
        return outcome == 0;
    struct stat st
    {
    };
    return ::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode) && rewriteInPlace(target, data);
}

#else

// Unbuffered, every write reports its own failure; the commit then only renames. Not tried on Windows yet.
bool replace(const QString &path, QByteArrayView data)
{
    const QString target = targetOf(path);
    QSaveFile file(target);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (file.write(data.data(), data.size()) == data.size() && file.flush() && file.error() == QFile::NoError)
            return file.commit();
        file.cancelWriting();
        return false;
    }
    QFile inPlace(target);
    if (!inPlace.exists() || !inPlace.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    const QByteArray old = inPlace.readAll();
    if (data.size() > old.size()
        && !(inPlace.seek(old.size())
             && inPlace.write(data.sliced(old.size()).toByteArray()) == data.size() - old.size() && inPlace.flush())) {
        inPlace.resize(old.size());
        return false;
    }
    const QByteArray head = data.first(qMin(old.size(), data.size())).toByteArray();
    if (inPlace.seek(0) && inPlace.write(head) == head.size() && inPlace.resize(data.size()) && inPlace.flush())
        return true;
    inPlace.seek(0);
    inPlace.write(old);
    inPlace.resize(old.size());
    return false;
}

#endif

} // namespace safesave
