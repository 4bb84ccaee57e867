#pragma once

#include <QObject>
#include <QString>

class CommandSender;
class ConsoleHost;
class dUnit;

// What the main window does when a unit panel raises one of its events. Index is the panel's place in the
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

    // Routes the nine events of one panel to the handlers below with that panel's Index.
    void connectPanel(dUnit *panel, int Index);

    void Init(int Index);
    void Update(int Index);
    void Home(int Index);
    void Save(int Index);
    void Flush(int Index);
    void STOPall(int Index);
    void ReportOK(int Index);
    void ReportNotOK(int Index);
    void checkClicked(int Index);

    // The update script in the program folder: update.bat on Windows, update.sh elsewhere.
    static QString updateScript(const QString &programFolder);
    // The operator's answer in the not-OK box as a whole number: blanks around it allowed, halves to the
    // even neighbour, 0 when it is not a number or does not fit in 32 bits (Cancel gives an empty text).
    static qint32 actualCount(const QString &answer);

private:
    // Sends the command in its turn in the sender's queue.
    void send(const QString &key, int Index);

    ConsoleHost &m_host;
    CommandSender &m_sender;
};
