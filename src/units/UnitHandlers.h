#pragma once

#include <QObject>
#include <QString>

class CommandSender;
class ConsoleHost;
class dUnit;

// What the main window does when a unit panel raises one of its events. n is the panel's place in the
// control array: 1 to NoUnits for a unit, 0 for the "All Units" panel. Commands take their turn in the
// sender's queue: a click during a run is sent after it.
class UnitHandlers : public QObject
{
    Q_OBJECT
public:
    // The pause between handing the update command to the line and starting the update script, so the
    // units have taken the command before the script talks to them. Nothing else goes out meanwhile.
    static constexpr int UpdatePauseMs = 500;

    UnitHandlers(ConsoleHost &host, CommandSender &sender, QObject *parent = nullptr);

    // Routes the nine events of one panel to the handlers below with that panel's n.
    void connectPanel(dUnit *panel, int n);

    void init(int n);
    void update(int n);
    void home(int n);
    void save(int n);
    void flush(int n);
    void stopAll(int n);
    void reportOk(int n);
    void reportNotOk(int n);
    // The operator's count for a NOT OK verdict, once given (empty when cancelled).
    void recordNotOk(int n, const QString &requested, const QString &answer);
    void checkClicked(int n);

    // The update script in the program folder: update.bat on Windows, update.sh elsewhere.
    static QString updateScript(const QString &programFolder);
    // The operator's answer in the not-OK box as a whole number: blanks around it allowed, halves to the
    // even neighbour, 0 when it is not a number or does not fit in 32 bits (Cancel gives an empty text).
    static qint32 actualCount(const QString &answer);

private:
    // Sends the command in its turn in the sender's queue.
    void send(const QString &key, int n);

    ConsoleHost &m_host;
    CommandSender &m_sender;
};
