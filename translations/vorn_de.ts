<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CommandSender</name>
    <message>
        <source>Still looking for the controller</source>
        <translation>Controller wird noch gesucht</translation>
    </message>
    <message>
        <source>%1 has no valid UID</source>
        <translation>%1 hat keine gültige UID</translation>
    </message>
    <message>
        <source>Sending Command %1 to %2 - Pls Wait !</source>
        <translation>Sende Befehl %1 an %2 - bitte warten</translation>
    </message>
    <message>
        <source>Sending Command %1 to all UNITS - Pls Wait !</source>
        <translation>Sende Befehl %1 an alle EINHEITEN - bitte warten</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>%1 failed: %2</source>
        <translation>%1 fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>%1 could not be written: settings are not being saved</source>
        <translation>%1 konnte nicht geschrieben werden: Einstellungen werden nicht gespeichert</translation>
    </message>
    <message>
        <source>%1 settings not stored: Vorn.ini could not be written</source>
        <translation>Einstellungen von %1 nicht gespeichert: Vorn.ini nicht beschreibbar</translation>
    </message>
    <message>
        <source>Console settings not stored: Vorn.ini could not be written</source>
        <translation>Konsoleneinstellungen nicht gespeichert: Vorn.ini nicht beschreibbar</translation>
    </message>
    <message>
        <source>UNIT %1</source>
        <translation>EINHEIT %1</translation>
    </message>
    <message>
        <source>Design %1 not stored: %2 count &quot;%3&quot; is not a whole number of stones</source>
        <translation>Design %1 nicht gespeichert: Anzahl &quot;%3&quot; für %2 ist keine ganze Zahl Steine</translation>
    </message>
    <message>
        <source>Design %1 not removed: %2 could not be written</source>
        <translation>Design %1 nicht gelöscht: %2 nicht beschreibbar</translation>
    </message>
    <message>
        <source>Design %1 not stored: %2 could not be written</source>
        <translation>Design %1 nicht gespeichert: %2 nicht beschreibbar</translation>
    </message>
    <message>
        <source>%1: %2 count &quot;%3&quot; not loaded</source>
        <translation>%1: Anzahl &quot;%3&quot; für %2 nicht geladen</translation>
    </message>
    <message>
        <source>Dispense not started: %1</source>
        <translation>Ausgabe nicht gestartet: %1</translation>
    </message>
    <message>
        <source>%1: count not sent (whole numbers up to 999999)</source>
        <translation>%1: Anzahl nicht gesendet (ganze Zahlen bis 999999)</translation>
    </message>
    <message>
        <source>%1 has no valid UID</source>
        <translation>%1 hat keine gültige UID</translation>
    </message>
    <message>
        <source>Dispense stopped: console closed. Not sent: %1</source>
        <translation>Ausgabe gestoppt: Konsole geschlossen. Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>Dispense stopped: port lost. Not sent: %1</source>
        <translation>Ausgabe gestoppt: Port verloren. Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>Dispense stopped: no controller. Not sent: %1</source>
        <translation>Ausgabe gestoppt: kein Controller. Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>. Check: %1</source>
        <translation>. Prüfen: %1</translation>
    </message>
    <message>
        <source>TLS cannot be set up with the CA File %1</source>
        <translation>TLS lässt sich mit der CA File %1 nicht einrichten</translation>
    </message>
    <message>
        <source>the handshake failed</source>
        <translation>der Handshake ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>its certificate is not made out to %1 (name mismatch)</source>
        <translation>sein Zertifikat ist nicht auf %1 ausgestellt (Name passt nicht)</translation>
    </message>
    <message>
        <source>its certificate has expired</source>
        <translation>sein Zertifikat ist abgelaufen</translation>
    </message>
    <message>
        <source>its certificate is not valid yet</source>
        <translation>sein Zertifikat ist noch nicht gültig</translation>
    </message>
    <message>
        <source>its certificate is signed by a CA not in the CA File (unknown CA)</source>
        <translation>sein Zertifikat ist von einer CA signiert, die nicht in der CA File steht (unbekannte CA)</translation>
    </message>
    <message>
        <source>its certificate: %1</source>
        <translation>sein Zertifikat: %1</translation>
    </message>
    <message>
        <source>no valid broker address</source>
        <translation>keine gültige Broker-Adresse</translation>
    </message>
    <message>
        <source>Station &quot;%1&quot; cannot be a topic name</source>
        <translation>Station &quot;%1&quot; kann kein Topic-Name sein</translation>
    </message>
    <message>
        <source>the password file could not be read</source>
        <translation>die Passwortdatei konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>the CA file could not be read</source>
        <translation>die CA-Datei konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>MQTT not started: %1</source>
        <translation>MQTT nicht gestartet: %1</translation>
    </message>
    <message>
        <source>MQTT login to %1 is sent without TLS: set CA File</source>
        <translation>MQTT-Anmeldung bei %1 geht ohne TLS: CA File setzen</translation>
    </message>
    <message>
        <source>%1 not reachable: journal rows wait in the outbox</source>
        <translation>%1 nicht erreichbar: Journalzeilen warten im Postausgang</translation>
    </message>
    <message>
        <source>%1 refused the login</source>
        <translation>%1 hat die Anmeldung abgelehnt</translation>
    </message>
    <message>
        <source>%1: TLS failed, %2</source>
        <translation>%1: TLS fehlgeschlagen, %2</translation>
    </message>
    <message>
        <source>%1 connected again</source>
        <translation>%1 wieder verbunden</translation>
    </message>
    <message>
        <source>MQTT journal rows not sent (%1): they wait in the outbox</source>
        <translation>MQTT-Journalzeilen nicht gesendet (%1): sie warten im Postausgang</translation>
    </message>
    <message>
        <source>MQTT broker refused journal rows (%1): they wait in the outbox</source>
        <translation>MQTT-Broker hat Journalzeilen abgelehnt (%1): sie warten im Postausgang</translation>
    </message>
    <message>
        <source>Not sent: %1 (partly taken by the port: check %2)</source>
        <translation>Nicht gesendet: %1 (teilweise vom Port übernommen: %2 prüfen)</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>UNIT %1 and UNIT %2 share UID %3</source>
        <translation>EINHEIT %1 und EINHEIT %2 haben dieselbe UID %3</translation>
    </message>
    <message>
        <source>all units</source>
        <translation>alle Einheiten</translation>
    </message>
    <message>
        <source>Count: </source>
        <translation>Stück: </translation>
    </message>
    <message>
        <source>Short : </source>
        <translation>Fehlt : </translation>
    </message>
    <message>
        <source>Count : </source>
        <translation>Stück : </translation>
    </message>
    <message>
        <source>The controller</source>
        <translation>Der Controller</translation>
    </message>
    <message>
        <source>%1 (UID %2)</source>
        <translation>%1 (UID %2)</translation>
    </message>
    <message>
        <source>UID %1</source>
        <translation>UID %1</translation>
    </message>
    <message>
        <source>%1 did not acknowledge</source>
        <translation>%1 hat nicht quittiert</translation>
    </message>
    <message>
        <source>%1 did not acknowledge %2</source>
        <translation>%1 hat %2 nicht quittiert</translation>
    </message>
    <message>
        <source>STUCK STONE ERROR- REMOVE MANUALLY</source>
        <translation>FEHLER: STEIN KLEMMT - VON HAND ENTFERNEN</translation>
    </message>
    <message>
        <source>STOP NOT SENT - STOP UNIT %1 BY HAND</source>
        <translation>STOPP NICHT GESENDET - EINHEIT %1 VON HAND STOPPEN</translation>
    </message>
    <message>
        <source>STUCK STN</source>
        <translation>KLEMMT</translation>
    </message>
    <message>
        <source>Controller lost on Port %1 - press F5 to search again</source>
        <translation>Steuerung an Port %1 verloren - F5 drücken, um erneut zu suchen</translation>
    </message>
    <message>
        <source>Dispense</source>
        <translation>Ausgeben</translation>
    </message>
    <message>
        <source>%1 short by %2</source>
        <translation>%1: %2 zu wenig</translation>
    </message>
    <message>
        <source>%1 over by %2</source>
        <translation>%1: %2 zu viel</translation>
    </message>
    <message>
        <source>%1 stuck</source>
        <translation>%1 klemmt</translation>
    </message>
    <message>
        <source>%1 not sent</source>
        <translation>%1 nicht gesendet</translation>
    </message>
    <message>
        <source>%1 no report</source>
        <translation>%1 ohne Meldung</translation>
    </message>
    <message>
        <source>%1: %2 of %3 units complete</source>
        <translation>%1: %2 von %3 Einheiten vollständig</translation>
    </message>
    <message>
        <source>%1: %2 of %3 complete - %4</source>
        <translation>%1: %2 von %3 vollständig - %4</translation>
    </message>
</context>
<context>
    <name>ConsoleCore</name>
    <message>
        <source>%1 could not be read: using defaults</source>
        <translation>%1 nicht lesbar: Standardwerte werden verwendet</translation>
    </message>
    <message>
        <source>Looking for the controller on Port %1</source>
        <translation>Suche Controller an Port %1</translation>
    </message>
    <message>
        <source>Looking for the controller: 1 port</source>
        <translation>Suche Controller: 1 Port</translation>
    </message>
    <message>
        <source>Looking for the controller: %1 ports</source>
        <translation>Suche Controller: %1 Ports</translation>
    </message>
    <message>
        <source>Log cannot be written: </source>
        <translation>Protokoll nicht beschreibbar: </translation>
    </message>
    <message>
        <source>1 entry held</source>
        <translation>1 Eintrag zurückgehalten</translation>
    </message>
    <message>
        <source>%1 entries held</source>
        <translation>%1 Einträge zurückgehalten</translation>
    </message>
    <message>
        <source>Tessaloran Controller found on Port %1</source>
        <translation>Tessaloran-Controller an Port %1 gefunden</translation>
    </message>
    <message>
        <source>No controller found - press F5 to search again</source>
        <translation>Kein Controller gefunden - F5 drücken, um erneut zu suchen</translation>
    </message>
    <message>
        <source>Settings cannot be changed during a dispense run</source>
        <translation>Einstellungen können während einer Ausgabe nicht geändert werden</translation>
    </message>
    <message>
        <source>Settings cannot be changed while the controller is being looked for</source>
        <translation>Einstellungen können während der Controllersuche nicht geändert werden</translation>
    </message>
    <message>
        <source>%1 settings stored</source>
        <translation>Einstellungen von %1 gespeichert</translation>
    </message>
    <message>
        <source>The number of units takes effect at the next start</source>
        <translation>Die Anzahl der Einheiten gilt ab dem nächsten Start</translation>
    </message>
    <message>
        <source>Console settings stored</source>
        <translation>Konsoleneinstellungen gespeichert</translation>
    </message>
</context>
<context>
    <name>ConsoleSettingsDialog</name>
    <message>
        <source>Console settings</source>
        <translation>Konsoleneinstellungen</translation>
    </message>
    <message>
        <source>&amp;Number of units</source>
        <translation>&amp;Anzahl Einheiten</translation>
    </message>
    <message>
        <source>Comm &amp;Port</source>
        <translation>COM-&amp;Port</translation>
    </message>
    <message>
        <source>The port is a number from 1 to 32767</source>
        <translation>Der Port ist eine Zahl von 1 bis 32767</translation>
    </message>
</context>
<context>
    <name>DesignBook</name>
    <message>
        <source>Design Not Available in Database</source>
        <translation>Design nicht in der Datenbank</translation>
    </message>
    <message>
        <source>Enter Design Name</source>
        <translation>Designnamen eingeben</translation>
    </message>
    <message>
        <source>Design Name not allowed</source>
        <translation>Designname nicht erlaubt</translation>
    </message>
    <message>
        <source>Design Exists - Pls Delete Old Definition Before Adding</source>
        <translation>Design existiert - bitte zuerst alte Definition löschen</translation>
    </message>
    <message>
        <source>Delete Design Definition for Design %1</source>
        <translation>Definition von Design %1 löschen?</translation>
    </message>
    <message>
        <source>Caution - Deleting Design</source>
        <translation>Achtung - Design wird gelöscht</translation>
    </message>
</context>
<context>
    <name>ReportCharts</name>
    <message>
        <source>day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>hour of the day</source>
        <translation>Stunde des Tages</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>vollständig</translation>
    </message>
    <message>
        <source>short</source>
        <translation>zu wenig</translation>
    </message>
    <message>
        <source>over</source>
        <translation>zu viel</translation>
    </message>
    <message>
        <source>stuck</source>
        <translation>geklemmt</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>nicht gesendet</translation>
    </message>
    <message>
        <source>no report</source>
        <translation>ohne Meldung</translation>
    </message>
    <message>
        <source>Runs per unit by result</source>
        <translation>Ausgaben je Einheit nach Ergebnis</translation>
    </message>
    <message>
        <source>unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>runs</source>
        <translation>Ausgaben</translation>
    </message>
    <message>
        <source>Stones counted per day</source>
        <translation>Gezählte Steine pro Tag</translation>
    </message>
    <message>
        <source>Stones counted per hour</source>
        <translation>Gezählte Steine pro Stunde</translation>
    </message>
    <message>
        <source>stones counted</source>
        <translation>gezählte Steine</translation>
    </message>
    <message>
        <source>stones</source>
        <translation>Steine</translation>
    </message>
    <message>
        <source>Yield per day</source>
        <translation>Ausbeute pro Tag</translation>
    </message>
    <message>
        <source>yield %</source>
        <translation>Ausbeute %</translation>
    </message>
</context>
<context>
    <name>ReportPdf</name>
    <message>
        <source>page %1</source>
        <translation>Seite %1</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>Station: %1</source>
        <translation>Station: %1</translation>
    </message>
    <message>
        <source>Day: %1</source>
        <translation>Tag: %1</translation>
    </message>
    <message numerus="yes">
        <source>Days: %1 (%n days)</source>
        <translation>
            <numerusform>Tage: %1 (%n Tag)</numerusform>
            <numerusform>Tage: %1 (%n Tage)</numerusform>
        </translation>
    </message>
    <message>
        <source>Runs from %1 to %2</source>
        <translation>Ausgaben von %1 bis %2</translation>
    </message>
    <message>
        <source>No runs</source>
        <translation>Keine Ausgaben</translation>
    </message>
    <message>
        <source>Shift report %1</source>
        <translation>Schichtbericht %1</translation>
    </message>
    <message>
        <source>%1 - printed %2</source>
        <translation>%1 - gedruckt %2</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Einheiten</translation>
    </message>
    <message>
        <source>Designs</source>
        <translation>Designs</translation>
    </message>
</context>
<context>
    <name>ShiftReportWindow</name>
    <message>
        <source>Save the shift report</source>
        <translation>Schichtbericht speichern</translation>
    </message>
    <message>
        <source>PDF documents (*.pdf)</source>
        <translation>PDF-Dokumente (*.pdf)</translation>
    </message>
    <message>
        <source>Shift report</source>
        <translation>Schichtbericht</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>Save PDF</source>
        <translation>PDF speichern</translation>
    </message>
    <message>
        <source>Open PDF</source>
        <translation>PDF öffnen</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>to</source>
        <translation>bis</translation>
    </message>
    <message>
        <source>Reading the dispense journal...</source>
        <translation>Ausgabejournal wird gelesen...</translation>
    </message>
    <message>
        <source>No dispense journal for %1 in %2</source>
        <translation>Kein Ausgabejournal für %1 in %2</translation>
    </message>
    <message>
        <source>1 journal row could not be read</source>
        <translation>1 Journalzeile konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1 journal rows could not be read</source>
        <translation>%1 Journalzeilen konnten nicht gelesen werden</translation>
    </message>
    <message>
        <source>Includes the run in progress (1 unit, not judged yet)</source>
        <translation>Enthält die laufende Ausgabe (1 Einheit, noch nicht bewertet)</translation>
    </message>
    <message>
        <source>Includes the run in progress (%1 units, not judged yet)</source>
        <translation>Enthält die laufende Ausgabe (%1 Einheiten, noch nicht bewertet)</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 gespeichert</translation>
    </message>
    <message>
        <source>Not saved: %1: %2</source>
        <translation>Nicht gespeichert: %1: %2</translation>
    </message>
    <message>
        <source>%1 could not be opened: the desktop has no viewer for it</source>
        <translation>%1 konnte nicht geöffnet werden: kein Anzeigeprogramm vorhanden</translation>
    </message>
</context>
<context>
    <name>ShiftSummary</name>
    <message>
        <source>unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>uid</source>
        <translation>UID</translation>
    </message>
    <message>
        <source>runs</source>
        <translation>Ausgaben</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>vollständig</translation>
    </message>
    <message>
        <source>short runs</source>
        <translation>zu wenig</translation>
    </message>
    <message>
        <source>stuck</source>
        <translation>geklemmt</translation>
    </message>
    <message>
        <source>over</source>
        <translation>zu viel</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>nicht gesendet</translation>
    </message>
    <message>
        <source>no report</source>
        <translation>ohne Meldung</translation>
    </message>
    <message>
        <source>stones asked</source>
        <translation>Steine verlangt</translation>
    </message>
    <message>
        <source>stones counted</source>
        <translation>Steine gezählt</translation>
    </message>
    <message>
        <source>stones over</source>
        <translation>Steine zu viel</translation>
    </message>
    <message>
        <source>stones short</source>
        <translation>Steine zu wenig</translation>
    </message>
    <message>
        <source>stones unaccounted</source>
        <translation>Steine ungeklärt</translation>
    </message>
    <message>
        <source>yield %</source>
        <translation>Ausbeute %</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>NOT OK</source>
        <translation>NICHT OK</translation>
    </message>
    <message>
        <source>design</source>
        <translation>Design</translation>
    </message>
    <message>
        <source>day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>total</source>
        <translation>gesamt</translation>
    </message>
    <message>
        <source>(no design)</source>
        <translation>(kein Design)</translation>
    </message>
</context>
<context>
    <name>UnitHandlers</name>
    <message>
        <source>Enter Actual Count for Error</source>
        <translation>Tatsächliche Anzahl für den Fehler eingeben</translation>
    </message>
    <message>
        <source>Logging Error</source>
        <translation>Fehler erfassen</translation>
    </message>
</context>
<context>
    <name>UnitSettingsDialog</name>
    <message>
        <source>%1 settings</source>
        <translation>Einstellungen %1</translation>
    </message>
    <message>
        <source>&amp;UID</source>
        <translation>&amp;UID</translation>
    </message>
    <message>
        <source>&amp;SIZE</source>
        <translation>&amp;GRÖSSE</translation>
    </message>
    <message>
        <source>INIT</source>
        <translation>INIT</translation>
    </message>
    <message>
        <source>HOME</source>
        <translation>HOME</translation>
    </message>
    <message>
        <source>The UID is a whole number from 1 to %1</source>
        <translation>Die UID ist eine ganze Zahl von 1 bis %1</translation>
    </message>
    <message>
        <source>UID %1 is %2&apos;s</source>
        <translation>UID %1 gehört zu %2</translation>
    </message>
    <message>
        <source>The SIZE is not empty</source>
        <translation>Die GRÖSSE darf nicht leer sein</translation>
    </message>
    <message>
        <source>The SIZE takes at most %1 characters</source>
        <translation>Die GRÖSSE hat höchstens %1 Zeichen</translation>
    </message>
</context>
<context>
    <name>dUnit</name>
    <message>
        <source>Init this UNIT</source>
        <translation>Diese EINHEIT initialisieren</translation>
    </message>
    <message>
        <source>Home This Unit</source>
        <translation>Diese Einheit in Grundstellung</translation>
    </message>
    <message>
        <source>Flush And Count All</source>
        <translation>Alles leeren und zählen</translation>
    </message>
    <message>
        <source>Update this UNIT</source>
        <translation>Diese EINHEIT aktualisieren</translation>
    </message>
    <message>
        <source>Save Settings to UNIT</source>
        <translation>Einstellungen in der EINHEIT speichern</translation>
    </message>
    <message>
        <source>STOP Current Operation</source>
        <translation>Laufenden Vorgang STOPPEN</translation>
    </message>
    <message>
        <source>Last Output was OK</source>
        <translation>Letzte Ausgabe war OK</translation>
    </message>
    <message>
        <source>Last Output was NOT OK</source>
        <translation>Letzte Ausgabe war NICHT OK</translation>
    </message>
    <message>
        <source>Stock : 0</source>
        <translation>Bestand : 0</translation>
    </message>
    <message>
        <source>%1 settings...</source>
        <translation>Einstellungen %1...</translation>
    </message>
    <message>
        <source>%1   UID %2</source>
        <translation>%1   UID %2</translation>
    </message>
</context>
<context>
    <name>frmVorn</name>
    <message>
        <source>TESSALORAN Dispenser</source>
        <translation>TESSALORAN Dosierer</translation>
    </message>
    <message>
        <source>Search for the controller</source>
        <translation>Controller suchen</translation>
    </message>
    <message>
        <source>Console settings...</source>
        <translation>Konsoleneinstellungen...</translation>
    </message>
    <message>
        <source>Shift report</source>
        <translation>Schichtbericht</translation>
    </message>
    <message>
        <source>Remove Design</source>
        <translation>Design löschen</translation>
    </message>
    <message>
        <source>Execute Command</source>
        <translation>Befehl ausführen</translation>
    </message>
    <message>
        <source>Show All Messages</source>
        <translation>Alle Meldungen zeigen</translation>
    </message>
    <message>
        <source>Clear Output</source>
        <translation>Ausgabe leeren</translation>
    </message>
    <message>
        <source>All Units</source>
        <translation>Alle Einheiten</translation>
    </message>
    <message>
        <source>SIZE :</source>
        <translation>GRÖSSE :</translation>
    </message>
    <message>
        <source>%1 has no valid UID (a whole number from 1 to %2)</source>
        <translation>%1 hat keine gültige UID (eine ganze Zahl von 1 bis %2)</translation>
    </message>
    <message>
        <source>%1 - right-click a unit to set its UID</source>
        <translation>%1 - Rechtsklick auf eine Einheit, um ihre UID zu setzen</translation>
    </message>
    <message>
        <source>Show Important Messages</source>
        <translation>Wichtige Meldungen zeigen</translation>
    </message>
    <message>
        <source>%1 count</source>
        <translation>Anzahl %1</translation>
    </message>
    <message>
        <source>Port %1: controller</source>
        <translation>Port %1: Steuerung</translation>
    </message>
    <message>
        <source>Looking for the controller</source>
        <translation>Suche die Steuerung</translation>
    </message>
    <message>
        <source>No controller - F5</source>
        <translation>Keine Steuerung - F5</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Dispense</source>
        <translation>Ausgeben</translation>
    </message>
    <message>
        <source>Add Design</source>
        <translation>Design hinzufügen</translation>
    </message>
    <message>
        <source>Open Console</source>
        <translation>Konsole öffnen</translation>
    </message>
    <message>
        <source>Message filter</source>
        <translation>Meldungsfilter</translation>
    </message>
    <message>
        <source>Designs</source>
        <translation>Designs</translation>
    </message>
    <message>
        <source>Design name</source>
        <translation>Designname</translation>
    </message>
    <message>
        <source>Command</source>
        <translation>Befehl</translation>
    </message>
    <message>
        <source>Command catalogue</source>
        <translation>Befehlskatalog</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Meldungen</translation>
    </message>
</context>
</TS>
