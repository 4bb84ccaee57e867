#include "Broker.h"
#include "Csv.h"
#include "FakeHost.h"
#include "FakePlatform.h"
#include "Simulator.h"
#include "TestFolder.h"
#include "app/frmVorn.h"
#include "designs/DesignBook.h"
#include "fleet/FleetMessages.h"
#include "fleet/FleetPublisher.h"
#include "fleet/ShiftMessage.h"
#include "host/UnitModel.h"
#include "ninepatch/ctxPatchButton.h"
#include "records/RunJournal.h"
#include "records/ShiftSummary.h"
#include "units/dUnit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

// The console publishing to a real Mosquitto that each test starts on a free loopback port of its own.
class tst_FleetPublisher : public QObject
{
    Q_OBJECT

    static constexpr int WaitMs = 20000; // generous: the machine may be busy; nothing here measures speed

    static FleetConfig configFor(const Broker &broker)
    {
        FleetConfig c;
        c.host = u"127.0.0.1"_s, c.port = broker.port, c.station = u"press1"_s, c.connectTimeout = 1000;
        return c;
    }
    // Journal row i: the count asked is i, so the order of arrival can be read off the messages.
    static JournalRow row(int i)
    {
        JournalRow r;
        r.timeText = u"2024-07-26T14:05:00"_s, r.design = u"BAND"_s, r.unit = u"UNIT 1"_s, r.uid = u"101"_s;
        r.asked = QString::number(i), r.result = u"no report"_s;
        return r;
    }
    static QStringList askedOf(const QStringList &payloads)
    {
        QStringList asked;
        for (const QString &p : payloads)
            asked << QJsonDocument::fromJson(p.toUtf8()).object().value(u"asked"_s).toString();
        return asked;
    }
private slots:
    // A unit's message: the lines as the panel shows them, the state word, the count and shortfall as numbers.
    void unitMessage_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("countLine");
        QTest::addColumn<double>("count"); // NaN: none
        QTest::addColumn<QString>("infoLine");
        QTest::addColumn<double>("shortfall");
        QTest::addColumn<QByteArray>("fields"); // between the UID and the time
        const double none = qQNaN();
        const auto row = [](const char *name, UnitState state, bool checked, const QString &countLine, double count,
                            const QString &infoLine, double shortfall, const QByteArray &fields) {
            QTest::newRow(name) << int(state) << checked << countLine << count << infoLine << shortfall << fields;
        };
        row("no answer since the last command", UnitState::Idle, false, {}, none, {}, none,
            R"("state":"idle","count":null,"countText":"","short":null,"info":"")");
        row("checked by the operator, nothing newer", UnitState::Idle, true, {}, none, {}, none,
            R"("state":"checked","count":null,"countText":"","short":null,"info":"")");
        row("a count has just arrived, checked", UnitState::Answering, true, u"Count: 12"_s, 12, {}, none,
            R"("state":"answering","count":12,"countText":"Count: 12","short":null,"info":"")");
        row("answered earlier, short", UnitState::Answered, false, u"Count : 2.5"_s, 2.5, u"Short : 3"_s, 3,
            R"("state":"answered","count":2.5,"countText":"Count : 2.5","short":3,"info":"Short : 3")");
        row("stuck stone on a checked unit", UnitState::Stuck, true, {}, none, u"STUCK STN"_s, none,
            R"("state":"stuck","count":null,"countText":"","short":null,"info":"STUCK STN")");
        row("a band coloured by hand", UnitState::Other, true, u"Stock : 0"_s, none, u"Stock : 0"_s, none,
            R"("state":"checked","count":null,"countText":"Stock : 0","short":null,"info":"Stock : 0")");
        // JSON has no infinity: a count too large to hold is shown, but publishes no number.
        row("a count beyond any number", UnitState::Answering, false, u"Count: 1E+999"_s, qInf(), {}, none,
            R"("state":"answering","count":null,"countText":"Count: 1E+999","short":null,"info":"")");
    }
    void unitMessage()
    {
        QFETCH(int, state);
        QFETCH(bool, checked);
        QFETCH(QString, countLine);
        QFETCH(double, count);
        QFETCH(QString, infoLine);
        QFETCH(double, shortfall);
        QFETCH(QByteArray, fields);
        UnitModel unit;
        unit.setUid(u"103"_s);
        unit.setState(UnitState(state));
        unit.setChecked(checked);
        const auto number = [](double d) { return qIsNaN(d) ? std::nullopt : std::optional(d); };
        unit.setCount(countLine, number(count));
        unit.setInfo(infoLine, number(shortfall));
        const QByteArray message = fleet::unitMessage(3, unit, u"2026-12-06T14:03:12"_s);
        QCOMPARE(message, R"({"unit":"UNIT 3","uid":"103",)" + fields + R"(,"time":"2026-12-06T14:03:12"})");
    }

    // Today's totals as numbers; a yield only where stones were asked for and the numbers are numbers.
    void shiftTotals_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QByteArray>("total");
        QTest::newRow("complete and short")
            << "T,A,UNIT 1,1,10,10,,complete,,\r\nT,A,UNIT 2,2,10,7,3,short,,\r\n"_ba
            << R"("asked":20,"complete":1,"counted":17,"runs":2,"short":3,"shortRuns":1,"stuck":0,"yield":85})"_ba;
        QTest::newRow("none asked")
            << "T,A,UNIT 1,1,0,0,,no report,,\r\n"_ba
            << R"("asked":0,"complete":0,"counted":0,"runs":1,"short":0,"shortRuns":0,"stuck":0,"yield":null})"_ba;
    }
    void shiftTotals()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QByteArray, total);
        const QDate day(2024, 7, 26);
        ShiftSummaryBuilder builder(day, day);
        const journal::Read read = journal::parse(RunJournal::Header + rows.replace("T,", "2024-07-26T10:00:00,"));
        builder.add(day, read);
        const QByteArray message = fleet::shiftMessage(builder.result(), read.rows, u"p"_s, u"now"_s);
        QVERIFY2(message.contains(R"("total":{)" + total), message.constData());
    }

    // A dispense on the simulator at the real window: every journal row arrives as JSON with the journal's
    // values, the panels stay on the broker after the close, and the console says it has gone.
    void dispenseOnTheSimulator()
    {
        Broker broker;
        QVERIFY(broker.start());
        Broker::Subscriber sub(broker);
        QVERIFY(sub.waitReady());
        TestFolder folder;
        for (const QString &name : {u"Vorn.ini"_s, u"Vorn2.ini"_s}) // the demo's settings, and the broker
            QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/") + name, folder.path(name)));
        folder.write(u"Vorn.ini"_s,
                     folder.read(u"Vorn.ini"_s) + "\r\n[MQTT]\r\nBroker=127.0.0.1:" + QByteArray::number(broker.port)
                         + "\r\nStation=press1\r\n");
        FakePlatform platform;
        platform.folder = folder.dir.path();
        platform.realTimers = true;
        Simulator sim(QStringLiteral(VORN_SIM));
        QVERIFY(sim.start(folder.dir.path(),
                          {u"--seed"_s, u"12"_s, u"--short-rate"_s, u"0.4"_s, u"--stuck-rate"_s, u"0.3"_s}));
        auto window = std::make_unique<frmVorn>(platform);
        window->load();
        window->show();
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), u"Tessaloran Controller found on Port 7"_s, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sub.payloads(u"status"_s), QStringList{u"online"_s}, WaitMs);

        // A design name a spreadsheet has to quote comes out whole.
        QVERIFY(SettingsSchema::Setting(SettingsSchema::Key::Design, u"TRIO, \"big\""_s).write(u"6,6,6,0,0"_s));
        window->fillDesigns();
        auto *designs = window->findChild<QListWidget *>(u"lstDesign"_s);
        window->designs().lstDesign_DblClick(designs->item(designs->count() - 1));
        QTest::mouseClick(window->findChild<ctxPatchButton *>(u"cmdDispense"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(sim.trace().contains(">COUNT,6,103\r\n"), WaitMs);
        QTest::qWait(1500); // six stones of 5 ms each: the units are done long before this
        platform.answer = u"3"_s;
        emit window->unitPanel(2)->findChild<ctxPatchButton *>(u"cNo"_s)->Click();
        window->close();

        const QList<QStringList> csv = parseCsv(QString::fromUtf8(folder.read(u"Log/24-07-26-Runs.csv"_s)));
        QCOMPARE(csv.size(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(sub.payloads(u"runs"_s).size(), 3, WaitMs);
        const QStringList keys = csv.at(0);
        QSet<QString> ids;
        for (int r = 0; r < 3; ++r) {
            const QJsonObject o = QJsonDocument::fromJson(sub.payloads(u"runs"_s).at(r).toUtf8()).object();
            for (int k = 0; k < keys.size(); ++k)
                QCOMPARE(o.value(keys.at(k)).toString(), csv.at(r + 1).at(k));
            QCOMPARE(o.value(u"station"_s).toString(), u"press1"_s);
            ids.insert(o.value(u"id"_s).toString());
        }
        QCOMPARE(csv.at(1).at(1), u"TRIO, \"big\""_s);
        QCOMPARE(ids.size(), 3);
        QVERIFY(!ids.contains(QString()));
        QTRY_VERIFY_WITH_TIMEOUT(sub.payloads(u"status"_s).endsWith(u"offline"_s), WaitMs);

        // Whoever looks later finds each panel as it was, and the console gone; the settings were not touched.
        Broker::Subscriber later(broker);
        QVERIFY(later.waitReady());
        QTRY_COMPARE_WITH_TIMEOUT(later.lines().filter(u"/unit/"_s).size(), 5, WaitMs);
        for (int n = 1; n <= 5; ++n) {
            const dUnit *panel = window->unitPanel(n);
            const QString line = later.lines().filter(u"tessaloran/press1/unit/%1 "_s.arg(n)).value(0);
            QVERIFY2(line.startsWith(u"1 "_s), qPrintable(line)); // retained
            const QString time =
                QJsonDocument::fromJson(line.section(u' ', 2).toUtf8()).object().value(u"time"_s).toString();
            QCOMPARE(line.section(u' ', 2).toUtf8(), fleet::unitMessage(n, panel->model(), time));
        }
        QCOMPARE(later.lines().filter(u"/status "_s), QStringList{u"1 tessaloran/press1/status offline"_s});
        // Today's summary stays too, with the rows the close wrote.
        const QJsonObject shift =
            QJsonDocument::fromJson(later.lines().filter(u"/shift "_s).value(0).section(u' ', 2).toUtf8()).object();
        QCOMPARE(shift.value(u"total"_s).toObject().value(u"runs"_s).toInt(), 3);
        QCOMPARE(shift.value(u"last"_s).toObject().value(u"rows"_s).toArray().size(), 3);
        QVERIFY(!folder.read(u"Vorn.ini"_s).contains("Publish Log")); // nothing written back
    }

    // Rows written while the broker is away wait in the outbox file and go out in order once it is back.
    void heldRowsGoOutInOrder_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("consoleRestarts");
        QTest::addColumn<int>("outboxRows");
        QTest::addColumn<int>("firstDelivered");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QByteArray>("foreign"); // put into the outbox file while the console is closed
        QTest::newRow("broker stopped during a run, more rows than are sent ahead")
            << 250 << false << 100000 << 0 << QString() << QByteArray();
        QTest::newRow("console closed and started again while the broker was away")
            << 30 << true << 100000 << 0 << QString() << QByteArray();
        QTest::newRow("outbox full: the oldest give way and are counted")
            << 8 << false << 5 << 3 << u"[3 journal rows not published]"_s << QByteArray();
        QTest::newRow("a line of the outbox that is no JSON object is set aside")
            << 4 << true << 100000 << 0
            << u"[1 line of Log/.mqtt-outbox set aside in Log/outbox-rejected-24-07-26.txt]"_s
            << QByteArray("{\x01\xff\xfe}\n");
    }
    void heldRowsGoOutInOrder()
    {
        QFETCH(int, rows);
        QFETCH(int, outboxRows);
        QFETCH(int, firstDelivered);
        Broker broker;
        QVERIFY(broker.start("allow_anonymous true\npersistence true\npersistence_location "
                             + broker.dir.path().toUtf8() + "/\n"));
        // A session the broker keeps across its restart: what is published while this one reconnects waits.
        const QStringList session{u"-h"_s, u"127.0.0.1"_s, u"-p"_s,       QString::number(broker.port),
                                  u"-c"_s, u"-i"_s,        u"held-rows"_s};
        auto sub = std::make_unique<Broker::Subscriber>(broker, session);
        QVERIFY(sub->waitReady());
        Rig rig(uidsFor(2), 0); // no link: the publisher alone
        FleetConfig config = configFor(broker);
        config.outboxRows = outboxRows;
        auto publisher = std::make_unique<FleetPublisher>(rig.host, config);
        publisher->start();
        QTRY_COMPARE_WITH_TIMEOUT(publisher->link(), FleetPublisher::Link::Up, WaitMs);

        broker.stop();
        QTRY_COMPARE_WITH_TIMEOUT(publisher->link(), FleetPublisher::Link::Down, WaitMs);
        QCOMPARE(rig.host.statuses.size(), 1); // said once, the first time the broker is found gone
        QVERIFY(rig.host.statuses.at(0).endsWith(u"not reachable: journal rows wait in the outbox"_s));
        for (int i = 0; i < rows; ++i)
            publisher->journalRow(row(i), {});
        // On disk before any attempt to send them: a crash now loses none.
        QCOMPARE(rig.read(u"Log/.mqtt-outbox"_s).count('\n'), rows);
        QFETCH(bool, consoleRestarts);
        QFETCH(QByteArray, foreign);
        if (consoleRestarts) {
            publisher.reset();
            rig.write(u"Log/.mqtt-outbox"_s, rig.read(u"Log/.mqtt-outbox"_s) + foreign);
            publisher = std::make_unique<FleetPublisher>(rig.host, config);
            publisher->start();
        }
        QVERIFY(broker.restart());
        QStringList expected;
        for (int i = firstDelivered; i < rows; ++i)
            expected << QString::number(i);
        QTRY_COMPARE_WITH_TIMEOUT(askedOf(sub->payloads(u"runs"_s)), expected, WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(rig.path(u"Log/.mqtt-outbox"_s)), WaitMs);
        QCOMPARE(rig.read(u"Log/outbox-rejected-24-07-26.txt"_s), foreign);
        QTEST((rig.host.logged.filter(u"journal rows not published"_s) + rig.host.logged.filter(u"set aside"_s))
                  .join(u'\n'),
              "logged");
        if (!consoleRestarts) // and once when it is back
            QCOMPARE(rig.host.statuses.mid(1),
                     QStringList{u"MQTT broker 127.0.0.1:%1 connected again"_s.arg(broker.port)});
    }

    // A login the broker refuses, or a broker that takes the connection and never answers: the operator is
    // told once, and the console tries again at a walking pace while it goes on working.
    void brokerThatWillNotHaveUs_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("said");
        QTest::newRow("a wrong password") << false << u"refused the login"_s;
        QTest::newRow("a broker that never answers") << true << u"not reachable: journal rows wait in the outbox"_s;
    }
    void brokerThatWillNotHaveUs()
    {
        QFETCH(bool, silent);
        QFETCH(QString, said);
        Broker broker;
        // The kernel completes the handshake on a listening socket; nobody ever reads or answers.
        const int listener = silent ? loopbackSocket(broker.port, true, true) : -1;
        if (!silent) {
            QCOMPARE(QProcess::execute(u"mosquitto_passwd"_s,
                                       {u"-c"_s, u"-b"_s, broker.path(u"pw"_s), u"vorn"_s, u"right"_s}),
                     0);
            QVERIFY(broker.start("allow_anonymous false\npassword_file " + broker.path(u"pw"_s).toUtf8() + "\n"));
        }
        Rig rig(uidsFor(1), 0); // no link: the publisher alone
        FleetConfig config = configFor(broker);
        config.user = u"vorn"_s;
        config.password = u"wrong"_s;
        FleetPublisher publisher(rig.host, config);
        publisher.start();
        const QString expected = u"MQTT broker 127.0.0.1:%1 "_s.arg(broker.port) + said;
        // A login without TLS is said once, before the first attempt.
        const QString plain = u"MQTT login to 127.0.0.1:%1 is sent without TLS: set CA File"_s.arg(broker.port);
        QTRY_COMPARE_WITH_TIMEOUT(rig.host.statuses.value(1), expected, WaitMs);
        // Tries at 1 s, then 2 s, 4 s ... apart: over four seconds a storm would be hundreds.
        QTest::qWait(4000);
        QVERIFY2(publisher.attempts() >= 2 && publisher.attempts() <= 4,
                 qPrintable(QString::number(publisher.attempts())));
        QCOMPARE(rig.host.statuses, (QStringList{plain, expected}));
        ::close(listener);
    }

    // A broker whose ACL denies the journal's topic acknowledges the rows without taking them: they stay in
    // the outbox, said once, and all go out, once each, when the ACL lets them.
    void rowsTheBrokerRefuses()
    {
        Broker broker;
        const auto acl = [&](const QByteArray &rules) { return writeFile(broker.path(u"acl"_s), rules); };
        QVERIFY(acl("topic readwrite tessaloran/test/#\ntopic read tessaloran/#\ntopic write tessaloran/press1/status\n"
                    "topic write tessaloran/press1/unit/#\n"));
        QVERIFY(broker.start("allow_anonymous true\nacl_file " + broker.path(u"acl"_s).toUtf8() + "\n"));
        Broker::Subscriber sub(broker);
        QVERIFY(sub.waitReady());
        Rig rig(uidsFor(1), 0); // no link: the publisher alone
        FleetPublisher publisher(rig.host, configFor(broker));
        publisher.start();
        QTRY_COMPARE_WITH_TIMEOUT(publisher.link(), FleetPublisher::Link::Up, WaitMs);
        for (int i = 0; i < 3; ++i)
            publisher.journalRow(row(i), {});
        const QString refused = u"MQTT broker refused journal rows (not authorised): they wait in the outbox"_s;
        QTRY_COMPARE_WITH_TIMEOUT(rig.host.statuses, QStringList{refused}, WaitMs);
        QTest::qWait(3500); // offered again after 1 s and 2 s: refused again, and not said again
        QCOMPARE(rig.host.statuses, QStringList{refused});
        QCOMPARE(rig.host.logged, QStringList{refused});
        QCOMPARE(rig.host.pane.count(refused), 1);
        QCOMPARE(rig.read(u"Log/.mqtt-outbox"_s).count('\n'), 3);
        QVERIFY(sub.payloads(u"runs"_s).isEmpty());

        QVERIFY(acl("topic readwrite tessaloran/#\n"));
        broker.reload();
        QTRY_COMPARE_WITH_TIMEOUT(askedOf(sub.payloads(u"runs"_s)), (QStringList{u"0"_s, u"1"_s, u"2"_s}), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(rig.path(u"Log/.mqtt-outbox"_s)), WaitMs);
        QCOMPARE(askedOf(sub.payloads(u"runs"_s)).size(), 3);
    }

    // The station's name as the settings file holds it, in UTF-8 or in the code page; one that cannot be a
    // topic level starts nothing.
    void stationName_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<QString>("station"); // empty: refused
        QTest::newRow("UTF-8") << QByteArray("Presse-\xc3\x96l-\xe2\x82\xac") << u"Presse-\u00d6l-\u20ac"_s;
        QTest::newRow("the code page") << QByteArray("Presse-\xd6l") << u"Presse-\u00d6l"_s;
        QTest::newRow("a wildcard") << QByteArray("Presse#1") << QString();
        QTest::newRow("a level separator") << QByteArray("Presse/1") << QString();
        QTest::newRow("a control character") << QByteArray("Presse\xc2\x96") << QString();
        QTest::newRow("101 characters") << QByteArray(101, 'x') << QString();
    }
    void stationName()
    {
        QFETCH(QByteArray, setting);
        QFETCH(QString, station);
        Broker broker;
        QVERIFY(broker.start());
        Broker::Subscriber sub(broker);
        QVERIFY(sub.waitReady());
        Rig rig(uidsFor(1), 0);
        rig.write(u"Vorn.ini"_s,
                  "[MQTT]\r\nBroker=127.0.0.1:" + QByteArray::number(broker.port) + "\r\nStation=" + setting + "\r\n");
        FleetPublisher publisher(rig.host, FleetConfig::read().value());
        publisher.start();
        publisher.journalRow(row(1), {});
        if (station.isEmpty()) {
            const QString name = FleetConfig::settingText(QString::fromLatin1(setting));
            QCOMPARE(rig.host.statuses,
                     QStringList{u"MQTT not started: Station \"%1\" cannot be a topic name"_s.arg(name)});
            QCOMPARE(publisher.attempts(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(sub.lines().filter(u" tessaloran/%1/runs "_s.arg(station)).size(), 1, WaitMs);
        const QJsonObject o = QJsonDocument::fromJson(sub.payloads(u"runs"_s).value(0).toUtf8()).object();
        QCOMPARE(o.value(u"station"_s).toString(), station);
    }

    // The real console with the settings as the operator writes them, killed: it cannot say goodbye, the
    // broker says it for it. Over TLS, with a CA made here, and a login from a password file.
    void offlineWhenKilled()
    {
        Broker broker;
        QProcess openssl;
        openssl.setWorkingDirectory(broker.dir.path());
        openssl.start(u"sh"_s, {u"-ec"_s, uR"(key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
            openssl req -x509 $key -keyout ca.key -out ca.crt -days 2 -subj "/CN=Vorn test CA"
            openssl req $key -keyout server.key -out server.csr -subj /CN=localhost
            echo subjectAltName=DNS:localhost > ext.cnf
            openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 2 \
                -extfile ext.cnf
            mosquitto_passwd -c -b passwords vorn "s3cret pass")"_s});
        QVERIFY(openssl.waitForFinished(WaitMs) && openssl.exitCode() == 0);
        const QByteArray dir = broker.dir.path().toUtf8() + '/';
        QVERIFY(broker.start("cafile " + dir + "ca.crt\ncertfile " + dir + "server.crt\nkeyfile " + dir
                             + "server.key\nallow_anonymous false\npassword_file " + dir + "passwords\n"));
        Broker::Subscriber sub(broker,
                               {u"-h"_s, u"localhost"_s, u"-p"_s, QString::number(broker.port), u"--cafile"_s,
                                broker.path(u"ca.crt"_s), u"-u"_s, u"vorn"_s, u"-P"_s, u"s3cret pass"_s});
        QVERIFY(sub.waitReady());
        TestFolder folder("[Settings]\r\nComm Port=7\r\n[MQTT]\r\nStation=press2\r\nBroker=localhost:"
                          + QByteArray::number(broker.port)
                          + "\r\nUser=vorn\r\nPassword File=mqtt-password\r\nCA File=ca.crt\r\n");
        folder.write(u"mqtt-password"_s, "s3cret pass\n");
        QVERIFY(QFile::copy(broker.path(u"ca.crt"_s), folder.path(u"ca.crt"_s)));
        QProcess vorn;
        vorn.setEnvironment(QProcess::systemEnvironment() << u"QT_QPA_PLATFORM=offscreen"_s);
        vorn.start(QStringLiteral(VORN_EXECUTABLE), {u"--dir"_s, folder.dir.path()});
        QTRY_COMPARE_WITH_TIMEOUT(sub.payloads(u"status"_s), QStringList{u"online"_s}, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sub.lines().filter(u"/unit/"_s).size(), 5, WaitMs);
        ::kill(pid_t(vorn.processId()), SIGKILL);
        QVERIFY(vorn.waitForFinished(WaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(sub.payloads(u"status"_s), (QStringList{u"online"_s, u"offline"_s}), WaitMs);
    }
};

QTEST_MAIN(tst_FleetPublisher)
#include "tst_FleetPublisher.moc"
