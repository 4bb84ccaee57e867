#include "mSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class tst_mSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

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
        using mSettings::ReadIni;
        const QString s = u"Settings"_s;
        QCOMPARE(ReadIni({}, s, u"ShowMessages"_s, u"A"_s, true), u"A"_s);
        QCOMPARE(ReadIni({}, s, u"Left"_s, u"0"_s, true), u"0"_s);
        QCOMPARE(ReadIni({}, s, u"Top"_s, u"0"_s, true), u"0"_s);
        QCOMPARE(ReadIni({}, s, u"width"_s, u"18000"_s, true), u"18000"_s);
        QCOMPARE(ReadIni({}, s, u"height"_s, u"11000"_s, true), u"11000"_s);
        QCOMPARE(ReadIni({}, s, u"Comm Port"_s, u"7"_s, true), u"7"_s);
        QCOMPARE(ReadIni({}, s, u"NoUnits"_s, u"5"_s, true), u"5"_s);
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(ReadIni({}, u"UNIT%1"_s.arg(n), u"SIZE"_s, u"1.0"_s, true), u"1.0"_s);
            QCOMPARE(ReadIni({}, u"UNIT%1"_s.arg(n), u"UID"_s, u"100"_s, true), u"100"_s);
        }
        QByteArray units;
        for (int n = 1; n <= 5; ++n)
            units += "\r\n[UNIT" + QByteArray::number(n) + "]\r\nSIZE=1.0\r\nUID=100\r\n";
        const QByteArray settings = "[Settings]\r\nShowMessages=A\r\nLeft=0\r\nTop=0\r\nwidth=18000\r\n"
                                    "height=11000\r\nComm Port=7\r\nNoUnits=5\r\n";
        const QString ini = m_dir->filePath(u"Vorn.ini"_s);
        QCOMPARE(mSettings::IniFile, ini);
        QCOMPARE(contents(ini), settings + units);
        QVERIFY(!QFile::exists(mSettings::IniFile3));
        QVERIFY(!QFile::exists(mSettings::IniFileT));

        // A second start finds every key and changes nothing.
        QCOMPARE(ReadIni({}, s, u"width"_s, u"1"_s, true), u"18000"_s);
        QCOMPARE(contents(ini), settings + units);

        // Closing the window stores its position in place.
        mSettings::WriteIni({}, s, u"Left"_s, u"1215"_s);
        mSettings::WriteIni({}, s, u"Top"_s, u"600"_s);
        mSettings::WriteIni({}, s, u"width"_s, u"16500"_s);
        mSettings::WriteIni({}, s, u"height"_s, u"9000"_s);
        QCOMPARE(contents(ini),
                 "[Settings]\r\nShowMessages=A\r\nLeft=1215\r\nTop=600\r\nwidth=16500\r\n"
                 "height=9000\r\nComm Port=7\r\nNoUnits=5\r\n"
                     + units);
    }

    void readIni_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("writeBack");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("after");

        const QByteArray tilde = "[Settings]\r\nwidth=~~~\r\nNoUnits=5\r\n";
        const QByteArray healed = "[Settings]\r\nwidth=18000\r\nNoUnits=5\r\n";
        QTest::newRow("stored ~~~ read without write-back") << tilde << false << u"18000"_s << tilde;
        QTest::newRow("stored ~~~ healed by write-back") << tilde << true << u"18000"_s << healed;
        QTest::newRow("stored ~~~ amid blanks")
            << QByteArray("[Settings]\r\nwidth =  ~~~\t\r\nNoUnits=5\r\n") << true << u"18000"_s << healed;
        QTest::newRow("empty value is not missing")
            << QByteArray("[Settings]\r\nwidth=\r\n") << true << QString() << QByteArray("[Settings]\r\nwidth=\r\n");
        QTest::newRow("missing key added by write-back")
            << QByteArray("[Settings]\r\nNoUnits=5\r\n") << true << u"18000"_s
            << QByteArray("[Settings]\r\nNoUnits=5\r\nwidth=18000\r\n");
        QTest::newRow("missing key without write-back leaves the file")
            << QByteArray("[Settings]\r\nNoUnits=5\r\n") << false << u"18000"_s
            << QByteArray("[Settings]\r\nNoUnits=5\r\n");
        QTest::newRow("missing file without write-back is not created")
            << QByteArray() << false << u"18000"_s << QByteArray();
        QTest::newRow("value ~~~~ is a real value") << QByteArray("[Settings]\r\nwidth=~~~~\r\n") << true << u"~~~~"_s
                                                    << QByteArray("[Settings]\r\nwidth=~~~~\r\n");
        const QByteArray withNul = QByteArray("[Settings]\r\nwidth=180") + '\0' + "00\r\n";
        QTest::newRow("value cut at its NUL") << withNul << true << u"180"_s << withNul;
    }

    void readIni()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, writeBack);
        mSettings::BuildIniPaths();
        if (!file.isEmpty())
            put(mSettings::IniFile, file);
        QTEST(mSettings::ReadIni(mSettings::IniFile, u"Settings"_s, u"width"_s, u"18000"_s, writeBack), "result");
        QTEST(contents(mSettings::IniFile), "after");
        QCOMPARE(QFile::exists(mSettings::IniFile), !file.isEmpty() || writeBack);
    }

    void readIniCutsAt259_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("returned");
        QTest::newRow("short value") << 10 << 10;
        QTest::newRow("value that just fits") << 259 << 259;
        QTest::newRow("value one too long") << 260 << 259;
        QTest::newRow("300-character command text") << 300 << 259;
    }

    void readIniCutsAt259()
    {
        QFETCH(int, stored);
        QString value;
        for (int i = 0; i < stored; ++i)
            value += QChar(u'a' + i % 26);
        mSettings::WriteIni({}, u"Standard Commands"_s, u"LONG"_s, value);
        QTEST(int(mSettings::ReadIni({}, u"Standard Commands"_s, u"LONG"_s, u"-"_s, true).size()), "returned");
        QVERIFY(value.startsWith(mSettings::ReadIni({}, u"Standard Commands"_s, u"LONG"_s, u"-"_s, true)));
    }

    void readIniSection_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("count");

        QTest::newRow("single entry") << QByteArray("[Designs]\r\nRING=1,2,3,4,5\r\n")
                                      << QStringList{u"RING=1,2,3,4,5"_s} << 1;
        QTest::newRow("missing section keeps Count") << QByteArray("[Other]\r\nA=1\r\n") << QStringList() << -7;
        QTest::newRow("only comments keeps Count") << QByteArray("[Designs]\r\n; none yet\r\n") << QStringList() << -7;
        QTest::newRow("missing file keeps Count") << QByteArray() << QStringList() << -7;
        QTest::newRow("blanks around = dropped, comments skipped")
            << QByteArray("[Designs]\nA = 1\n; old\nB=\n\n[Next]\nC=3\n") << QStringList{u"A=1"_s, u"B="_s} << 2;

        QByteArray big = "[Designs]\r\n";
        QStringList all;
        for (int i = 0; i < 60; ++i) {
            const QString entry = u"DESIGN%1=%2,%2,%2,%2,%2"_s.arg(i).arg(100 + i);
            big += entry.toLatin1() + "\r\n";
            all += entry;
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
        mSettings::DeleteIni({}, u"Designs"_s, u"  "_s);
        QCOMPARE(contents(mSettings::IniFile), "[Designs]\r\nRING=1\r\nSTAR=2\r\n");
        mSettings::DeleteIni({}, u"Designs"_s, u"ring"_s);
        QCOMPARE(contents(mSettings::IniFile), "[Designs]\r\nSTAR=2\r\n");
        QCOMPARE(mSettings::ReadIni({}, u"Designs"_s, u"RING"_s, u"-"_s, false), u"-"_s);
    }

    void cutAtNul_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cut");
        QTest::newRow("no NUL") << u"COM7"_s << u"COM7"_s;
        QTest::newRow("NUL first") << QString(QChar(u'\0')) + u"x"_s << QString();
        QTest::newRow("NUL in the middle") << u"ab"_s + QChar(u'\0') + u"cd"_s + QChar(u'\0') << u"ab"_s;
        QTest::newRow("empty") << QString() << QString();
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
        QTest::newRow("root of the file system") << u"/"_s << u"/"_s;
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
