#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class CommandSender;
class ConsoleHost;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class ctxPatchButton;
namespace SettingsSchema {
class Setting;
}

// The design area of the window: the list of designs stored in section Designs of Vorn.ini, the name
// box, the count boxes and the +, - and Dispense buttons. A design holds the counts of units 1 to 5;
// loading one fills the count boxes, and the dispense run sends whatever the boxes hold.
class DesignBook : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QListWidget *lstDesign = nullptr;
        QLineEdit *txtDesign = nullptr;
        QList<QLineEdit *> txtNos; // the count boxes of units 1 to 10, for their focus behaviour
        ctxPatchButton *cmdAddDesign = nullptr;
        ctxPatchButton *cmdRemoveDesign = nullptr;
        ctxPatchButton *cmdDispense = nullptr;
    };

    // How long each status message stays, in seconds.
    static constexpr int NoticeSecs = 3;
    static constexpr int ExistsSecs = 5;
    // The counts a design holds: units 1 to 5, whatever the number of units.
    static constexpr int DesignCounts = 5;

    DesignBook(ConsoleHost &host, CommandSender &sender, const Controls &controls, QObject *parent = nullptr);

    // Refills the list from the file, in the order of the section.
    void fillDesigns();
    // The row (from 0) of the first design whose name equals name ignoring case; -1 when there is none.
    int indexOf(const QString &name) const;
    // The stored counts of design name, or empty text (with a status message) when it is not stored.
    QString storedDesign(const QString &name);

    // A dispense run is waiting for its turn or going.
    bool isDispensing() const { return m_dispensing; }

    // The operator's actions.
    void cmdAddDesign_Click();
    void cmdRemoveDesign_Click();
    void lstDesign_DblClick(QListWidgetItem *item);
    void cmdDispense_Click();
    // Enter in the name box: selects the design of that name, without loading it.
    void findDesign();

    // Whether the settings file can hold name as a key and give it back as it is: no "=", "[", line
    // break or NUL, not blank, not read as a comment, and every character in the file's code page; and no
    // leading "+", "-" or "@", which a spreadsheet would run from the journal as a formula.
    static bool isStorableName(const QString &name);
    // The key a typed name is stored under: upper case, without the blanks around it that the settings
    // file would drop anyway.
    static QString keyFor(const QString &typed);
    // A stored count that may go into a box: a whole number from 0 to 999999 (blanks around it and
    // leading zeros allowed). Anything else (1e400, -3, 2.5, text) is no count the operator gave.
    static std::optional<int> storedCount(const QString &piece);

    // The design credited with the count in box n, for the journal: the design that put it there (loaded
    // or stored with "+"), that name with " (changed)" once the box was edited since, and empty for a
    // count typed by hand or a box a design never fills (units 6 to 10).
    QString designFor(int n) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Says on the status line, in the pane and the log that the file did not take the change.
    void notWritten(const SettingsSchema::Setting &design, bool removing);
    // Removes a design from the file and the list, once the operator has said yes.
    void removeDesign(const QString &name);
    // Selects the first length characters of a box once it has the focus, also when a mouse click gave
    // it (the click would otherwise put the cursor where it landed).
    static void selectOnFocus(QLineEdit *box, int length, bool deferred);

    ConsoleHost &m_host;
    CommandSender &m_sender;
    Controls m_c;
    // A dispense run is going: one at a time.
    bool m_dispensing = false;
    // The next click of the dispense button ends a double click.
    bool m_secondClick = false;
    // Credits box n to the design name, with the text the box holds now.
    void credit(int n, const QString &name);

    // Per box 1 to 5: the design that last put a count there, and the text it left.
    struct Credit
    {
        QString design;
        QString text;
    };
    QList<Credit> m_credits = QList<Credit>(DesignCounts);
};
