#include "../support/Files.h"
#include "../support/FullDisk.h"
#include "../support/Seeds.h"
#include "settings/IniFile.h"
#include "settings/mSettings.h"

#include <QDir>
#include <QHash>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using mSettings::ReadIni;

namespace {

// The names and values the property test draws from; the 8-bit ones check that letter case folds beyond
// ASCII too, the values that blanks around them and a later '=' survive.
const QStringList poolSections = {u"Settings"_s, u"UNIT1"_s, u"Standard Commands"_s, u"Caf\u00e9"_s};
const QStringList poolKeys = {u"width"_s, u"Comm Port"_s, u"RING"_s, u"\u00e9t\u00e9"_s};
const QStringList poolValues = {QString(), u"1"_s, u" padded\t"_s, u"a = b,c"_s, u"caf\u00e9"_s, u"~~~"_s};

struct Random : QRandomGenerator
{
    using QRandomGenerator::QRandomGenerator;
    QString pick(const QStringList &from) { return from.at(bounded(int(from.size()))); }
    QString blanks() { return pick({QString(), u" "_s, u"\t"_s, u" \t "_s}); }
    // name in random letter case between random blanks
    QString spelled(QString name)
    {
        for (QChar &c : name)
            c = bounded(2) ? c.toUpper() : c.toLower();
        return blanks() + name + blanks();
    }
};

QString modelKey(const QString &section, const QString &key)
{
    return section.toCaseFolded() + u'\x1f' + key.toCaseFolded();
}

// A settings file drawn at random; model gets the keys it holds. Every line that no write or remove may touch
// carries "dup" or holds blanks only, so it can be picked out of the file after any number of operations:
// comments, garbage, orphan values, keys before the first section, in a second copy of a section or under a
// header that never closes.
QByteArray randomFile(Random &rng, const QByteArray &eol, QHash<QString, QString> &model)
{
    QList<QByteArray> lines;
    int tag = 0;
    const auto dup = [&] { return "dup" + QByteArray::number(++tag); };
    QStringList seen;
    bool visible = false;
    QString section;
    for (int n = rng.bounded(40); n > 0; --n) {
        const int what = rng.bounded(12);
        if (what == 0) {
            section = rng.pick(poolSections);
            visible = !seen.contains(section);
            seen += section;
            lines += (rng.blanks() + u'[' + rng.spelled(section) + u']').toLatin1() + " ; " + dup();
        } else if (what == 1) {
            visible = false;
            lines += "[Odd " + dup();
        } else if (what < 6 && visible) {
            const QString key = rng.pick(poolKeys), value = rng.pick(poolValues).trimmed();
            lines += (rng.spelled(key) + u'=' + rng.blanks() + value + rng.blanks()).toLatin1();
            if (!model.contains(modelKey(section, key))) // the first copy counts
                model.insert(modelKey(section, key), value);
        } else if (what < 6) {
            lines += rng.pick(poolKeys).toLatin1() + " = " + dup();
        } else {
            const QByteArray odd[] = {"; " + dup() + " = comment",
                                      "  # " + dup(),
                                      "junk " + dup() + " \xfe\x01",
                                      "=" + dup(),
                                      " \t",
                                      QByteArray()};
            lines += odd[rng.bounded(6)];
        }
    }
    return lines.join(eol) + (rng.bounded(4) ? eol : QByteArray());
}

// The lines of a file that must keep their bytes, in order.
QList<QByteArray> keptLines(const QByteArray &bytes)
{
    QList<QByteArray> kept;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains("dup") || (!line.isEmpty() && line.trimmed().isEmpty()))
            kept += line;
    }
    return kept;
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        mSettings::setProgramFolder(m_dir->path());
        m_path = mSettings::IniFile;
    }

    // Random writes and removes on a random file: every key reads as a case-insensitive map says, the lines
    // around them keep their bytes, and the file keeps its line end and byte-order mark.
    void randomOperationsMatchAMap()
    {
        // A thousand atomic writes: on a RAM disk where there is one, so the run does not wait for the disk.
        const bool shm = QFileInfo(u"/dev/shm"_s).isWritable();
        const QTemporaryDir dir((shm ? u"/dev/shm"_s : QDir::tempPath()) + u"/vorn-XXXXXX"_s);
        forEachSeed(40, [&](quint32 seed) {
            Random rng(seed);
            const QString path = dir.filePath(u"seed%1.ini"_s.arg(seed));
            const QByteArray eol = rng.bounded(2) ? "\r\n" : "\n", bom = rng.bounded(4) ? "" : "\xEF\xBB\xBF";
            QHash<QString, QString> model;
            const QByteArray before = randomFile(rng, eol, model);
            const bool exists = !before.isEmpty() || rng.bounded(2);
            if (exists)
                QVERIFY(writeFile(path, bom + before));
            for (int op = 0; op < 25; ++op) {
                const QString section = rng.pick(poolSections), key = rng.pick(poolKeys);
                const QString value = rng.pick(poolValues);
                const int what = rng.bounded(8);
                // A blank key removes nothing.
                const QString spelledSection = rng.spelled(section), spelledKey = what < 7 ? rng.spelled(key) : u" "_s;
                const auto operate = [&] {
                    return what < 5 ? IniFile::writeValue(path, spelledSection, spelledKey, value)
                                    : IniFile::removeKey(path, spelledSection, spelledKey);
                };
                // One in four is tried on a full disk first: the file stays byte for byte, and a change it needed
                // is reported as failed.
                const auto state = [&] { return std::pair(QFile::exists(path), readFile(path)); };
                const auto held = state();
                const bool full = FullDisk::Works && rng.bounded(4) == 0, done = full && onFullDisk(operate);
                QVERIFY(!full || state() == held);
                QVERIFY(operate() && (!done || state() == held));
                if (what < 5)
                    model.insert(modelKey(section, key), value.trimmed());
                else if (what < 7)
                    model.remove(modelKey(section, key));
                // The key touched and one other, so soon after the write; at the end, every key.
                QStringList checked{section, key, rng.pick(poolSections), rng.pick(poolKeys)};
                if (op == 24)
                    for (const QString &s : poolSections)
                        for (const QString &k : poolKeys)
                            checked << s << k;
                for (qsizetype i = 0; i < checked.size(); i += 2)
                    QCOMPARE(IniFile::readValue(path, checked[i], checked[i + 1]).value_or(u"-"_s),
                             model.value(modelKey(checked[i], checked[i + 1]), u"-"_s));
            }
            const QByteArray after = readFile(path);
            QCOMPARE(after.startsWith("\xEF\xBB\xBF"), exists && !bom.isEmpty());
            QCOMPARE(keptLines(after.sliced(exists ? bom.size() : 0)), keptLines(before));
            QCOMPARE(QDir(dir.path()).entryList({u".*"_s}, QDir::Files | QDir::Hidden), QStringList());
            // A new file, or one of a single line, is CR LF.
            const bool crlf = !exists || !before.contains('\n') || eol == "\r\n";
            QVERIFY(crlf ? after.count("\r\n") == after.count('\n') : !after.contains('\r'));
        });
    }

    // Where the engine puts what it adds, which a map cannot tell. Names and values that would change the
    // meaning of a line, or not survive the 8-bit code page, are refused and change nothing.
    void write_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QStringList>("entry"); // section, key, value
        QTest::addColumn<QByteArray>("after"); // null: refused
        const auto add = [](const char *name, const QByteArray &before, const QByteArray &after) {
            QTest::newRow(name) << before << QStringList{u"a"_s, u"K"_s, u"V"_s} << after;
        };
        const auto refuse = [](const char *name, const QString &section, const QString &key, const QString &value) {
            QTest::newRow(name) << "[Designs]\nRING=1\n"_ba << QStringList{section, key, value} << QByteArray();
        };
        add("new file", QByteArray(), "[a]\r\nK=V\r\n");
        add("replace keeps indentation and spelling", "[A]\r\n  k = old ; not a comment\r\nz=1\r\n",
            "[A]\r\n  k=V\r\nz=1\r\n");
        add("new key after last key, before blank line and comment", "[A]\r\nx=1\r\n; about B\r\n\r\n[B]\r\n",
            "[A]\r\nx=1\r\nK=V\r\n; about B\r\n\r\n[B]\r\n");
        add("new key in section without keys", "[A]\n\n[B]\n", "[A]\nK=V\n\n[B]\n");
        add("new section after a blank line", "[B]\ny=2\n", "[B]\ny=2\n\n[a]\nK=V\n");
        add("file cut after a CR", "[A]\r\nx=1\r", "[A]\r\nx=1\r\nK=V");
        add("only a byte-order mark", "\xEF\xBB\xBF", "\xEF\xBB\xBF[a]\r\nK=V\r\n");
        refuse("key with =", u"Designs"_s, u"A=B"_s, u"1"_s);
        refuse("key that reads as a comment", u"Designs"_s, u";RING"_s, u"1"_s);
        refuse("value with CR LF", u"Designs"_s, u"RING"_s, u"1\r\n[Settings]"_s);
        refuse("section with ]", u"A]x"_s, u"k"_s, u"1"_s);
        refuse("key outside the 8-bit code page", u"Designs"_s, u"RING\u2603"_s, u"1"_s);
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, entry);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            QVERIFY(writeFile(m_path, before));
        QCOMPARE(IniFile::writeValue(m_path, entry[0], entry[1], entry[2]), !after.isNull());
        if (after.isNull())
            mSettings::WriteIni(m_path, entry[0], entry[1], entry[2]);
        QCOMPARE(readFile(m_path), after.isNull() ? before : after);
        if (after.isNull()) { // nor is a file made for it
            QFile::remove(m_path);
            QVERIFY(!IniFile::writeValue(m_path, entry[0], entry[1], entry[2]) && !QFile::exists(m_path));
        }
    }

    // The new text goes to a new file that then takes the name, so no reader and no crash ever meets a
    // half-written file: a hard link still sees the old bytes. Where no temporary file can be made beside it, a
    // writable file is rewritten in place. A full disk leaves the file as it was either way.
    void writeReplacesFileWhole_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("full");
        QTest::newRow("a new file takes the name") << u"renamed"_s << false;
        QTest::newRow("a new file, on a full disk") << u"renamed"_s << true;
        QTest::newRow("a folder the operator may not write: in place") << u"folder"_s << false;
        QTest::newRow("a name too long for a temporary name beside it: in place") << u"long name"_s << false;
        QTest::newRow("in place, on a full disk") << u"long name"_s << true;
    }
    void writeReplacesFileWhole()
    {
#ifdef Q_OS_WIN
        QSKIP("hard links and a file size limit are Unix's");
#else
        QFETCH(QString, why);
        QFETCH(bool, full);
        const QString path = why == u"long name" ? m_dir->filePath(QString(250, u'v')) : m_path;
        const QByteArray before = "[A]\r\nk=1\r\nlong=" + QByteArray(100, 'x') + "\r\n";
        QVERIFY(writeFile(path, before));
        const QString hard = m_dir->filePath(u"hard"_s);
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(hard).constData()), 0);
        const auto writable = qScopeGuard(
            [&] { QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        if (why == u"folder") {
            QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
            if (QFile(m_dir->filePath(u"probe"_s)).open(QIODevice::WriteOnly))
                QSKIP("permission bits do not stop this user (root)");
        }
        std::optional<FullDisk> disk;
        if (full)
            disk.emplace(before.size());
        QCOMPARE(IniFile::writeValue(path, u"A"_s, u"k"_s, u"22"_s), !full);
        QVERIFY(IniFile::removeKey(path, u"A"_s, u"long"_s)); // a shorter file needs no room
        disk.reset();
        const QByteArray after = full ? "[A]\r\nk=1\r\n" : "[A]\r\nk=22\r\n";
        QCOMPARE(readFile(path), after);
        QCOMPARE(readFile(hard), why == u"renamed" ? before : after);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // nothing left over
        if (why == u"renamed" && !full) { // a settings file linked from elsewhere stays linked
            const QString sym = m_dir->filePath(u"sym.ini"_s);
            QVERIFY(QFile::link(m_path, sym));
            QVERIFY(IniFile::writeValue(sym, u"A"_s, u"k"_s, u"3"_s));
            QVERIFY(QFileInfo(sym).isSymLink());
            QCOMPARE(readFile(m_path), "[A]\r\nk=3\r\n");
        }
#endif
    }

    void unreadableFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: the path is a folder
        QTest::addColumn<QFile::Permissions>("permissions");
        const QByteArray ini = "[Settings]\r\nLeft=100\r\n";
        const QFile::Permissions rw = QFile::ReadOwner | QFile::WriteOwner;
        QTest::newRow("no read permission") << ini << QFile::Permissions(QFile::WriteOwner);
        QTest::newRow("path is a folder") << QByteArray() << rw;
        // An editor's UTF-16 file would be garbage to us, and our write-back would destroy it.
        for (const auto encoding : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
            for (const auto flags : {QStringEncoder::Flag::WriteBom, QStringEncoder::Flag::Default}) {
                QStringEncoder encode(encoding, flags);
                const QByteArray bytes = encode(QString::fromLatin1(ini));
                QTest::addRow("UTF-16 %s%s", encoding == QStringEncoder::Utf16LE ? "LE" : "BE",
                              flags == QStringEncoder::Flag::Default ? " without a byte-order mark" : "")
                    << bytes << rw;
            }
        }
        QTest::newRow("17 MB") << ini + QByteArray(17 * 1000 * 1000, ' ') << rw;
    }

    void unreadableFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QFile::Permissions, permissions);
        if (bytes.isNull()) {
            QVERIFY(QDir().mkpath(m_path));
        } else {
            QVERIFY(writeFile(m_path, bytes));
            QVERIFY(QFile::setPermissions(m_path, permissions));
            QFile probe(m_path);
            if ((!(permissions & QFile::ReadOwner) && probe.open(QIODevice::ReadOnly))
                || (!(permissions & QFile::WriteOwner) && QFileInfo(m_path).isWritable()))
                QSKIP("permission bits do not stop this user (root)");
        }
        int reported = 0;
        mSettings::setUnreadableHandler([&](const QString &name) {
            QCOMPARE(name, u"Vorn.ini"_s);
            ++reported;
        });
        for (int i = 0; i < 2; ++i) // the default, and no write-back over what could not be read
            QCOMPARE(ReadIni({}, u"Settings"_s, u"Left"_s, u"0"_s, true), u"0"_s);
        mSettings::setUnreadableHandler({});
        QCOMPARE(reported, 1); // once a run
        QVERIFY(!IniFile::writeValue(m_path, u"Settings"_s, u"Top"_s, u"0"_s));
        if (bytes.isNull()) {
            QVERIFY(QFileInfo(m_path).isDir());
            return;
        }
        QVERIFY(!IniFile::removeKey(m_path, u"Settings"_s, u"Left"_s));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readFile(m_path), bytes);
    }

    // Reads come from memory until the file changes on disk, however it changes (by our own writes: the random
    // operations above).
    void changeOnDisk_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("rewritten in place, same size, time set back") << false;
        QTest::newRow("replaced by a file of the same size and time") << true;
    }
    void changeOnDisk()
    {
        QFETCH(bool, replaced);
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        const auto putOld = [&](const QString &path, const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size() && file.flush());
            QVERIFY(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        };
        putOld(m_path, "[A]\r\nk=1\r\n");
        // Past the file system's clock tick, so the first read is taken as settled.
        QTest::qWait(50);
        QCOMPARE(IniFile::readValue(m_path, u"A"_s, u"k"_s), u"1"_s);
        const QString other = replaced ? m_dir->filePath(u"other.ini"_s) : m_path;
        putOld(other, "[A]\r\nk=2\r\n");
#ifdef Q_OS_WIN // where rename does not replace
        QVERIFY(!replaced || QFile::remove(m_path));
#endif
        if (replaced)
            QVERIFY(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(m_path).constData()) == 0);
        QCOMPARE(IniFile::readValue(m_path, u"A"_s, u"k"_s), u"2"_s);
    }

    void readIni_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no file
        QTest::addColumn<bool>("writeBack");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("after"); // null: as before

        const QByteArray same;
        const QByteArray head = "[Settings]\r\n", five = "[Settings]\r\nNoUnits=5\r\n";
        const QByteArray tilde = head + "width =  ~~~\t\r\nNoUnits=5\r\n",
                         healed = head + "width=18000\r\nNoUnits=5\r\n";
        QTest::newRow("stored ~~~ read as missing, healed by write-back") << tilde << true << u"18000"_s << healed;
        QTest::newRow("value ~~~~ is a real value") << head + "width=~~~~\r\n" << true << u"~~~~"_s << same;
        QTest::newRow("empty value is not missing") << head + "width=\r\n" << true << QString() << same;
        QTest::newRow("missing file without write-back is not created") << QByteArray() << false << u"18000"_s << same;
        QTest::newRow("value cut at its NUL") << head + "width=180" + '\0' + "00\r\n" << true << u"180"_s << same;
        // Saved by an editor: the header must still be found, or a second [Settings] would be appended.
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("UTF-8 byte-order mark skipped and kept")
            << bom + five << true << u"18000"_s << bom + five + "width=18000\r\n";
        const QByteArray long260 = QByteArray(26, 'x').repeated(10);
        QTest::newRow("value of 260 characters cut to 259")
            << head + "width=" + long260 << true << QString::fromLatin1(long260.left(259)) << same;
        // One byte a character in the system's 8-bit code page: Windows-1252 on a Western PC (0x80 is the
        // euro sign), Latin-1 elsewhere; never UTF-8.
#ifdef Q_OS_WIN
        const QString euro = u"\u20AC"_s;
#else
        const QString euro = u"\u0080"_s;
#endif
        QTest::newRow("8-bit code page") << head + "width=caf\xE9 \x80\r\n" << true << u"caf\u00E9 "_s + euro << same;
    }

    void readIni()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, writeBack);
        QFETCH(QByteArray, after);
        if (!file.isEmpty())
            QVERIFY(writeFile(m_path, file));
        QTEST(ReadIni({}, u"Settings"_s, u"width"_s, u"18000"_s, writeBack), "result");
        QCOMPARE(readFile(m_path), after.isNull() ? file : after);
        QCOMPARE(QFile::exists(m_path), !file.isEmpty() || writeBack);
    }

    // Blanks around '=' dropped, comments skipped; a missing section leaves Count alone.
    void readIniSection()
    {
        for (const auto &[file, entries, count] :
             {std::tuple{"[Other]\r\nA=1\r\n"_ba, QStringList(), -7},
              {"[Designs]\nA = 1\n; old\nB=\n\n[Next]\nC=3\n"_ba, QStringList{u"A=1"_s, u"B="_s}, 2}}) {
            QVERIFY(writeFile(m_path, file));
            QString name;
            qint32 got = -7;
            QCOMPARE(mSettings::ReadIniSection(name, u"Designs"_s, got), entries);
            QVERIFY(got == count && name == m_path);
        }
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
