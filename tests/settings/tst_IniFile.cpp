#include "IniFile.h"
#include "IniTestFiles.h"
#include "mSettings.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

class tst_IniFile : public QObject
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
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        m_path = mSettings::IniFile;
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("value"); // of key "k" in section "A"; null: missing
        QTest::newRow("names ignore letter case, first key wins") << QByteArray("[a]\r\nK=1\r\nk=2\r\n") << u"1"_s;
        QTest::newRow("second copy of a section is not read")
            << QByteArray("[A]\r\nx=1\r\n[a]\r\nk=3\r\n") << QString();
        QTest::newRow("LF file") << QByteArray("[B]\nk=w\n[A]\nk=v\n") << u"v"_s;
        QTest::newRow("blanks and tabs trimmed") << QByteArray("  [ A ]\t\r\n\t k \t= 7 \t\r\n") << u"7"_s;
        QTest::newRow("value keeps later =") << QByteArray("[A]\r\nk=A=1,B=2\r\n") << u"A=1,B=2"_s;
        QTest::newRow("commented key is not read") << QByteArray("[A]\r\n;k=1\r\n# k=2\r\n") << QString();
        QTest::newRow("key before any section is not read") << QByteArray("k=1\r\n[A]\r\n") << QString();
        QTest::newRow("8-bit text round-trips") << QByteArray("[A]\r\nk=caf\xe9\r\n") << u"caf\u00e9"_s;
    }

    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, value);
        put(m_path, file);
        const std::optional<QString> got = IniFile::readValue(m_path, u"A"_s, u"k"_s);
        QCOMPARE(got.has_value(), !value.isNull());
        QCOMPARE(got.value_or(QString()), value);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QByteArray>("after"); // once "V" is stored under key "K" of section "a"
        QTest::newRow("new file is CR LF") << QByteArray() << QByteArray("[a]\r\nK=V\r\n");
        QTest::newRow("empty existing file, no leading blank line") << QByteArray("") << QByteArray("[a]\r\nK=V\r\n");
        QTest::newRow("replace keeps comments, indentation and spelling")
            << QByteArray("; top\r\n [ A ]\r\n# note\r\n  k = old ; not a comment\r\nz=1\r\n")
            << QByteArray("; top\r\n [ A ]\r\n# note\r\n  k=V\r\nz=1\r\n");
        QTest::newRow("first of two keys replaced")
            << QByteArray("[A]\r\nk=1\r\nK=2\r\n") << QByteArray("[A]\r\nk=V\r\nK=2\r\n");
        QTest::newRow("new key after last key, before blank line and comment")
            << QByteArray("[A]\r\nx=1\r\n; about B\r\n\r\n[B]\r\ny=2\r\n")
            << QByteArray("[A]\r\nx=1\r\nK=V\r\n; about B\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("new key in section without keys")
            << QByteArray("[A]\n\n[B]\n") << QByteArray("[A]\nK=V\n\n[B]\n");
        QTest::newRow("new section after a blank line, LF kept")
            << QByteArray("[B]\ny=2\n") << QByteArray("[B]\ny=2\n\n[a]\nK=V\n");
        QTest::newRow("new section after existing blank line")
            << QByteArray("[B]\r\ny=2\r\n\r\n") << QByteArray("[B]\r\ny=2\r\n\r\n[a]\r\nK=V\r\n");
        QTest::newRow("file without final line end") << QByteArray("[A]\r\nx=1") << QByteArray("[A]\r\nx=1\r\nK=V");
        QTest::newRow("file cut after a CR") << QByteArray("[A]\r\nx=1\r") << QByteArray("[A]\r\nx=1\r\nK=V");
        QTest::newRow("garbage, comments and foreign lines kept byte for byte")
            << QByteArray("\xfe\xfd junk\r\nk=1\r\n[A]\r\n;k=2\r\nno equals here\r\n=orphan\r\n[B\r\n")
            << QByteArray("\xfe\xfd junk\r\nk=1\r\n[A]\r\nK=V\r\n;k=2\r\nno equals here\r\n=orphan\r\n[B\r\n");
        QTest::newRow("UTF-8 byte-order mark kept")
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n") << QByteArray("\xEF\xBB\xBF[A]\r\nk=V\r\n");
        QTest::newRow("only a byte-order mark")
            << QByteArray("\xEF\xBB\xBF") << QByteArray("\xEF\xBB\xBF[a]\r\nK=V\r\n");
        QTest::newRow("duplicate section: first one written")
            << QByteArray("[A]\r\nx=1\r\n[a]\r\nk=2\r\n") << QByteArray("[A]\r\nx=1\r\nK=V\r\n[a]\r\nk=2\r\n");
    }

    void write()
    {
        QFETCH(QByteArray, before);
        if (!before.isNull())
            put(m_path, before);
        QVERIFY(IniFile::writeValue(m_path, u"a"_s, u"K"_s, u"V"_s));
        QTEST(contents(m_path), "after");
        QCOMPARE(IniFile::readValue(m_path, u"A"_s, u"k"_s), std::optional<QString>(u"V"_s));
    }

    void writeReplacesFileWhole()
    {
#ifdef Q_OS_UNIX
        // A hard link still sees the old bytes: the new text went to a new file that then took the name, so no
        // reader and no crash ever meets a half-written file.
        put(m_path, "[A]\r\nk=1\r\n");
        const QString hard = m_dir->filePath(u"hard.ini"_s);
        QCOMPARE(::link(QFile::encodeName(m_path).constData(), QFile::encodeName(hard).constData()), 0);
        QVERIFY(IniFile::writeValue(m_path, u"A"_s, u"k"_s, u"2"_s));
        QCOMPARE(contents(m_path), "[A]\r\nk=2\r\n");
        QCOMPARE(contents(hard), "[A]\r\nk=1\r\n");
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);

        // A settings file linked from elsewhere stays linked.
        const QString sym = m_dir->filePath(u"sym.ini"_s);
        QVERIFY(QFile::link(m_path, sym));
        QVERIFY(IniFile::writeValue(sym, u"A"_s, u"k"_s, u"3"_s));
        QVERIFY(QFileInfo(sym).isSymLink());
        QCOMPARE(contents(m_path), "[A]\r\nk=3\r\n");
#else
        QSKIP("needs hard links");
#endif
    }

    void refusedWrite_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");

        const QString s = u"Designs"_s;
        QTest::newRow("key with =") << s << u"A=B"_s << u"1"_s;
        QTest::newRow("key with [") << s << u"[Settings]"_s << u"1"_s;
        QTest::newRow("key with LF") << s << u"A\nwidth"_s << u"1"_s;
        QTest::newRow("key with NUL") << s << u"A"_s + QChar(u'\0') << u"1"_s;
        QTest::newRow("empty key") << s << QString() << u"1"_s;
        QTest::newRow("key that reads as a comment") << s << u";RING"_s << u"1"_s;
        QTest::newRow("value with CR LF") << s << u"RING"_s << u"1\r\n[Settings]"_s;
        QTest::newRow("value with NUL") << s << u"RING"_s << u"1"_s + QChar(u'\0');
        QTest::newRow("section with ]") << u"A]x"_s << u"k"_s << u"1"_s;
        QTest::newRow("section with LF") << u"A\n[B"_s << u"k"_s << u"1"_s;
        QTest::newRow("key outside the 8-bit code page") << s << u"RING\u2603"_s << u"1"_s;
        QTest::newRow("section outside the 8-bit code page") << u"\u2603"_s << u"k"_s << u"1"_s;
        QTest::newRow("section with NUL") << QChar(u'\0') + u"A"_s << u"k"_s << u"1"_s;
    }

    void refusedWrite()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before = "[Designs]\nRING=1\n";
        put(m_path, before);
        QVERIFY(!IniFile::writeValue(m_path, section, key, value));
        mSettings::WriteIni(m_path, section, key, value);
        QCOMPARE(contents(m_path), before);
        QFile::remove(m_path);
        QVERIFY(!IniFile::writeValue(m_path, section, key, value));
        QVERIFY(!QFile::exists(m_path));
    }

    void remove_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        const QByteArray f = "[Designs]\r\n; keep\r\nRING=1\r\nSTAR=2\r\n[Other]\r\nRING=3\r\n";
        QTest::newRow("key removed, rest kept")
            << f << u"ring"_s << QByteArray("[Designs]\r\n; keep\r\nSTAR=2\r\n[Other]\r\nRING=3\r\n");
        QTest::newRow("blank key removes nothing") << f << u" "_s << f;
        QTest::newRow("duplicates all go")
            << QByteArray("[Designs]\nA=1\nB=2\na=3") << u"A"_s << QByteArray("[Designs]\nB=2\n");
    }

    void remove()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        put(m_path, before);
        QVERIFY(IniFile::removeKey(m_path, u"Designs"_s, key));
        QTEST(contents(m_path), "after");
    }

    void unreadableFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: the path is a folder
        QTest::addColumn<QFile::Permissions>("permissions");
        QTest::addColumn<bool>("readable");
        const QByteArray ini = "[Settings]\r\nLeft=100\r\n";
        const QFile::Permissions rw = QFile::ReadOwner | QFile::WriteOwner;
        QTest::newRow("no read permission") << ini << QFile::Permissions(QFile::WriteOwner) << false;
        QTest::newRow("read-only file") << ini << QFile::Permissions(QFile::ReadOwner) << true;
        QTest::newRow("path is a folder") << QByteArray() << rw << false;
        // An editor's UTF-16 file would be garbage to us, and our write-back would destroy it.
        for (const auto encoding : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
            QStringEncoder encode(encoding, QStringEncoder::Flag::WriteBom);
            const QByteArray bytes = encode(QString::fromLatin1(ini));
            QTest::newRow(encoding == QStringEncoder::Utf16LE ? "UTF-16 LE" : "UTF-16 BE") << bytes << rw << false;
        }
        QTest::newRow("17 MB") << ini + QByteArray(17 * 1000 * 1000, ' ') << rw << false;
    }

    void unreadableFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QFile::Permissions, permissions);
        QFETCH(bool, readable);
        if (bytes.isNull()) {
            QVERIFY(QDir().mkpath(m_path));
        } else {
            put(m_path, bytes);
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
        for (int i = 0; i < 2; ++i)
            QCOMPARE(mSettings::ReadIni({}, u"Settings"_s, u"Left"_s, u"0"_s, true), readable ? u"100"_s : u"0"_s);
        mSettings::setUnreadableHandler({});
        QCOMPARE(reported, readable ? 0 : 1); // once a run
        QCOMPARE(IniFile::unreadablePaths().contains(m_path), !readable);
        QVERIFY(!IniFile::writeValue(m_path, u"Settings"_s, u"Top"_s, u"0"_s));
        qint32 count = -1;
        QString file;
        QCOMPARE(mSettings::ReadIniSection(file, u"Settings"_s, count).size(), readable ? 1 : 0);
        if (bytes.isNull()) {
            QVERIFY(QFileInfo(m_path).isDir());
            return;
        }
        QVERIFY(!IniFile::removeKey(m_path, u"Settings"_s, u"Left"_s));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(contents(m_path), bytes);
    }

    // Reads come from memory until the file changes on disk, however it changes.
    void changeOnDisk_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("rewritten in place, same size, time set back") << u"in place"_s;
        QTest::newRow("replaced by a file of the same size and time") << u"replaced"_s;
        QTest::newRow("written by us") << u"ours"_s;
    }

    void changeOnDisk()
    {
        QFETCH(QString, how);
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
        if (how == u"in place") {
            putOld(m_path, "[A]\r\nk=2\r\n");
        } else if (how == u"replaced") {
            const QString other = m_dir->filePath(u"other.ini"_s);
            putOld(other, "[A]\r\nk=2\r\n");
            QVERIFY(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(m_path).constData()) == 0);
        } else {
            QVERIFY(IniFile::writeValue(m_path, u"A"_s, u"k"_s, u"2"_s));
        }
        QCOMPARE(IniFile::readValue(m_path, u"A"_s, u"k"_s), u"2"_s);
    }

    void badFile_data()
    {
        QTest::addColumn<QByteArray>("bad");
        QTest::addColumn<QString>("section"); // a section of the bad file to rewrite in place, or empty

        QRandomGenerator random(20240611);
        QByteArray garbage(64 * 1024, Qt::Uninitialized);
        for (char &c : garbage)
            c = char(random.bounded(256));
        QTest::newRow("binary garbage") << garbage << QString();
        QTest::newRow("NULs everywhere") << QByteArray("[S\0]\r\nk\0=1\0\r\n\0\0\0\r\n", 18) << QString();
        QTest::newRow("1 MB line") << "[Big]\r\nk=" + QByteArray(1 << 20, 'x') + "\r\n" << u"Big"_s;
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "[S" + QByteArray::number(i) + "]\r\nk=" + QByteArray::number(i) + "\r\n";
        QTest::newRow("100,000 sections") << many << u"S99999"_s;
    }

    void badFile()
    {
        QFETCH(QByteArray, bad);
        QFETCH(QString, section);
        // The first line fixes the line end that new lines take, whatever the garbage holds.
        const QByteArray head = "; settings\r\n";
        const QByteArray tail = "\r\n[Known]\r\nk=1\r\n";
        put(m_path, head + bad + tail);
        QCOMPARE(IniFile::readValue(m_path, u"Known"_s, u"k"_s), std::optional<QString>(u"1"_s));
        QCOMPARE(mSettings::ReadIni({}, u"Missing"_s, u"k"_s, u"d"_s, true), u"d"_s);
        const QByteArray added = "\r\n[Missing]\r\nk=d\r\n";
        QCOMPARE(contents(m_path), head + bad + tail + added);
        if (section.isEmpty())
            return;
        QVERIFY(IniFile::writeValue(m_path, section, u"K"_s, u"new"_s));
        const qsizetype at = bad.lastIndexOf("k=") + 2;
        bad.replace(at, bad.indexOf('\r', at) - at, "new");
        QCOMPARE(contents(m_path), head + bad + tail + added);
    }
};

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
