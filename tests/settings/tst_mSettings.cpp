#include "IniTestFiles.h"
#include "mSettings.h"

#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;
using mSettings::ReadIni;

class tst_mSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
    }

    void firstRunCreatesSelfDocumentingFile()
    {
        // The console's start-up reads, each with its default and write-back.
        auto start = [] {
            for (const QString &kv : {u"ShowMessages=A"_s, u"Left=0"_s, u"Top=0"_s, u"width=18000"_s, u"height=11000"_s,
                                      u"Comm Port=7"_s, u"NoUnits=5"_s}) {
                const QString v = kv.section(u'=', 1);
                QCOMPARE(ReadIni({}, u"Settings"_s, kv.section(u'=', 0, 0), v, true), v);
            }
            for (int n = 1; n <= 5; ++n) {
                QCOMPARE(ReadIni({}, u"UNIT%1"_s.arg(n), u"SIZE"_s, u"1.0"_s, true), u"1.0"_s);
                QCOMPARE(ReadIni({}, u"UNIT%1"_s.arg(n), u"UID"_s, u"100"_s, true), u"100"_s);
            }
        };
        QByteArray expected = "[Settings]\r\nShowMessages=A\r\nLeft=0\r\nTop=0\r\nwidth=18000\r\n"
                              "height=11000\r\nComm Port=7\r\nNoUnits=5\r\n";
        for (int n = 1; n <= 5; ++n)
            expected += "\r\n[UNIT" + QByteArray::number(n) + "]\r\nSIZE=1.0\r\nUID=100\r\n";
        start();
        QCOMPARE(mSettings::IniFile, m_dir->filePath(u"Vorn.ini"_s));
        QCOMPARE(contents(mSettings::IniFile), expected);
        QVERIFY(!QFile::exists(mSettings::IniFile3) && !QFile::exists(mSettings::IniFileT));
        start(); // a second start changes nothing
        QCOMPARE(contents(mSettings::IniFile), expected);

        // Closing the window stores its position in place.
        mSettings::WriteIni({}, u"Settings"_s, u"Left"_s, u"1215"_s);
        mSettings::WriteIni({}, u"Settings"_s, u"height"_s, u"9000"_s);
        QCOMPARE(contents(mSettings::IniFile), expected.replace("Left=0", "Left=1215").replace("=11000", "=9000"));
    }

    void readIni_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("writeBack");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("after");

        const QByteArray same; // the file stays as it was
        const QByteArray head = "[Settings]\r\n", five = "[Settings]\r\nNoUnits=5\r\n";
        const QByteArray tilde = head + "width=~~~\r\nNoUnits=5\r\n", healed = head + "width=18000\r\nNoUnits=5\r\n";
        QTest::newRow("stored ~~~ read without write-back") << tilde << false << u"18000"_s << same;
        QTest::newRow("stored ~~~ healed by write-back") << tilde << true << u"18000"_s << healed;
        QTest::newRow("stored ~~~ amid blanks") << head + "width =  ~~~\t\r\nNoUnits=5\r\n"
                                                << true << u"18000"_s << healed;
        QTest::newRow("empty value is not missing") << head + "width=\r\n" << true << QString() << same;
        QTest::newRow("missing key added by write-back") << five << true << u"18000"_s << five + "width=18000\r\n";
        QTest::newRow("missing key without write-back leaves the file") << five << false << u"18000"_s << same;
        QTest::newRow("missing file without write-back is not created") << QByteArray() << false << u"18000"_s << same;
        QTest::newRow("value ~~~~ is a real value") << head + "width=~~~~\r\n" << true << u"~~~~"_s << same;
        // Saved by an editor: the first header must still be found, or a second [Settings] would be appended.
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("UTF-8 byte-order mark skipped and kept")
            << bom + five << true << u"18000"_s << bom + five + "width=18000\r\n";
        QTest::newRow("value cut at its NUL") << head + "width=180" + '\0' + "00\r\n" << true << u"180"_s << same;
    }

    void readIni()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, writeBack);
        mSettings::BuildIniPaths();
        if (!file.isEmpty())
            put(mSettings::IniFile, file);
        QTEST(ReadIni(mSettings::IniFile, u"Settings"_s, u"width"_s, u"18000"_s, writeBack), "result");
        QFETCH(QByteArray, after);
        QCOMPARE(contents(mSettings::IniFile), after.isNull() ? file : after);
        QCOMPARE(QFile::exists(mSettings::IniFile), !file.isEmpty() || writeBack);
    }

    void readIniCutsAt259()
    {
        for (const int stored : {259, 260}) {
            QString value;
            for (int i = 0; i < stored; ++i)
                value += QChar(u'a' + i % 26);
            mSettings::WriteIni({}, u"Standard Commands"_s, u"LONG"_s, value);
            QCOMPARE(ReadIni({}, u"Standard Commands"_s, u"LONG"_s, u"-"_s, true), value.left(259));
        }
    }

    void readIniSection_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("count");

        QTest::newRow("missing section keeps Count") << QByteArray("[Other]\r\nA=1\r\n") << QStringList() << -7;
        QTest::newRow("missing file keeps Count") << QByteArray() << QStringList() << -7;
        QTest::newRow("blanks around = dropped, comments skipped")
            << QByteArray("[Designs]\nA = 1\n; old\nB=\n\n[Next]\nC=3\n") << QStringList{u"A=1"_s, u"B="_s} << 2;
        QByteArray big = "[Designs]\r\n";
        QStringList all;
        for (int i = 0; i < 60; ++i) {
            all += u"DESIGN%1=%2,%2,%2,%2,%2"_s.arg(i).arg(100 + i);
            big += all.last().toLatin1() + "\r\n";
        }
        QTest::newRow("several hundred characters read whole in order") << big << all << 60;
    }

    void readIniSection()
    {
        QFETCH(QByteArray, file);
        mSettings::BuildIniPaths();
        if (!file.isEmpty())
            put(mSettings::IniFile, file);
        QString name;
        qint32 count = -7;
        QTEST(mSettings::ReadIniSection(name, u"Designs"_s, count), "entries");
        QTEST(int(count), "count");
        QCOMPARE(name, mSettings::IniFile);
    }

    void deleteIni()
    {
        mSettings::BuildIniPaths();
        put(mSettings::IniFile, "[Designs]\r\nRING=1\r\nSTAR=2\r\n");
        mSettings::DeleteIni({}, u"Designs"_s, u"ring"_s);
        QCOMPARE(contents(mSettings::IniFile), "[Designs]\r\nSTAR=2\r\n");
    }

    void cutAtNul_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cut");
        QTest::newRow("no NUL") << u"COM7"_s << u"COM7"_s;
        QTest::newRow("NUL first") << QString(QChar(u'\0')) + u"x"_s << QString();
        QTest::newRow("NUL in the middle") << u"ab"_s + QChar(u'\0') + u"cd"_s + QChar(u'\0') << u"ab"_s;
    }

    void cutAtNul()
    {
        QFETCH(QString, text);
        QTEST(mSettings::CutAtNul(text), "cut");
    }

    void buildIniPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("plain folder") << u"/opt/vorn"_s << u"/opt/vorn/"_s;
        QTest::newRow("folder ending in /") << u"/opt/vorn/"_s << u"/opt/vorn/"_s;
#ifndef Q_OS_WIN
        QTest::newRow("folder ending in a backslash") << u"/opt/vorn\\"_s << u"/opt/vorn\\"_s;
#else
        QTest::newRow("drive root") << u"C:\\"_s << u"C:\\"_s;
        QTest::newRow("plain folder with slashes") << u"C:/Vorn"_s << u"C:\\Vorn\\"_s;
#endif
    }

    void buildIniPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, prefix);
        mSettings::setProgramFolder(folder);
        mSettings::IniFile2 = u"/elsewhere/Cmds.ini"_s;
        mSettings::BuildIniPaths();
        QCOMPARE(mSettings::IniFile, prefix + u"Vorn.ini"_s);
        QCOMPARE(mSettings::IniFile2, u"/elsewhere/Cmds.ini"_s);
        QCOMPARE(mSettings::IniFile3, prefix + u"Vorn3.ini"_s);
        QCOMPARE(mSettings::IniFileT, prefix + u"VornT.ini"_s);
    }
};

QTEST_GUILESS_MAIN(tst_mSettings)
#include "tst_mSettings.moc"
