#include "designs/DesignBook.h"

#include "common/Ansi.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "designs/DispenseRun.h"
#include "host/ConsoleHost.h"
#include "link/CommandSender.h"
#include "ninepatch/ctxPatchButton.h"
#include "settings/IniFile.h"
#include "settings/SettingsSchema.h"
#include "settings/mSettings.h"

#include <QApplication>
#include <QFileInfo>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <utility>

namespace {

// Selection lengths of the name box and the count boxes: longer than anything typed there.
constexpr int NameSelection = 1000;
constexpr int CountSelection = 100;

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace

DesignBook::DesignBook(ConsoleHost &host, CommandSender &sender, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_sender(sender)
    , m_c(controls)
{
    if (m_c.cmdAddDesign)
        connect(m_c.cmdAddDesign, &ctxPatchButton::Click, this, &DesignBook::cmdAddDesign_Click);
    if (m_c.cmdRemoveDesign)
        connect(m_c.cmdRemoveDesign, &ctxPatchButton::Click, this, &DesignBook::cmdRemoveDesign_Click);
    if (m_c.cmdDispense) {
        m_c.cmdDispense->installEventFilter(this);
        connect(m_c.cmdDispense, &ctxPatchButton::Click, this, &DesignBook::cmdDispense_Click);
        // The button reports the second press of a double click as a double click, and its release as a
        // click: that click is no second run.
        connect(m_c.cmdDispense, &ctxPatchButton::MouseDown, this,
                [this](int &, int &, double, double) { m_secondClick = false; });
        connect(m_c.cmdDispense, &ctxPatchButton::DblClick, this, [this] { m_secondClick = true; });
    }
    if (m_c.lstDesign)
        connect(m_c.lstDesign, &QListWidget::itemDoubleClicked, this, &DesignBook::lstDesign_DblClick);
    if (m_c.txtDesign)
        m_c.txtDesign->installEventFilter(this);
    for (QLineEdit *box : std::as_const(m_c.txtNos)) {
        if (box)
            box->installEventFilter(this);
    }
}

void DesignBook::fillDesigns()
{
    if (!m_c.lstDesign)
        return;
    m_c.lstDesign->clear();
    const QStringList entries = SettingsSchema::entries(SettingsSchema::Key::Design);
    for (const QString &entry : entries)
        m_c.lstDesign->addItem(entry.left(entry.indexOf(u'=')));
}

int DesignBook::indexOf(const QString &name) const
{
    if (!m_c.lstDesign)
        return -1;
    for (int row = 0; row < m_c.lstDesign->count(); ++row) {
        if (m_c.lstDesign->item(row)->text().compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

QString DesignBook::storedDesign(const QString &name)
{
    const QString value = SettingsSchema::Setting(SettingsSchema::Key::Design, name).read();
    if (value == QLatin1String("-")) {
        m_host.setStatus(tr("Design Not Available in Database"), NoticeSecs);
        return QString();
    }
    return value;
}

void DesignBook::cmdAddDesign_Click()
{
    if (!m_c.lstDesign || !m_c.txtDesign)
        return;
    const QString typed = m_c.txtDesign->text();
    if (typed.isEmpty()) {
        m_host.setStatus(tr("Enter Design Name"), NoticeSecs);
        m_c.txtDesign->setFocus();
        return;
    }
    const QString name = keyFor(typed);
    // Listing a name the file cannot hold would show a design that is gone at the next start, or that
    // lands on another design's entry.
    if (!isStorableName(name)) {
        m_host.setStatus(tr("Design Name not allowed"), NoticeSecs);
        return;
    }
    // A design is never overwritten: to change one the operator removes it and adds it again.
    if (indexOf(name) >= 0) {
        m_host.setStatus(tr("Design Exists - Pls Delete Old Definition Before Adding"), ExistsSecs);
        return;
    }
    // Only what loading takes back is stored: a count that would not load is refused here, not found
    // missing when the design is used. An empty box is no stones.
    QStringList counts;
    for (int n = 1; n <= DesignCounts; ++n) {
        const QString text = m_host.countText(n).value_or(QString());
        const std::optional<int> count = trimBlanks(text).isEmpty() ? 0 : storedCount(text);
        if (!count) {
            m_host.announce(said(
                QT_TRANSLATE_NOOP("Console", "Design %1 not stored: %2 count \"%3\" is not a whole number of stones"),
                name, unitName(n), text));
            return;
        }
        counts.append(QString::number(*count));
    }
    // The list shows what the file holds: a design that could not be stored would be gone at the next start.
    const SettingsSchema::Setting design(SettingsSchema::Key::Design, name);
    const mSettings::CallerReportsFailure inOurWords;
    if (!design.write(counts.join(u','))) {
        notWritten(design, false);
        return;
    }
    m_c.lstDesign->addItem(name);
    // The boxes now hold this design's counts: a run from them is booked under it.
    for (int n = 1; n <= DesignCounts; ++n)
        credit(n, name);
}

void DesignBook::credit(int n, const QString &name)
{
    m_credits[n - 1] = {name, m_host.countText(n).value_or(QString())};
}

void DesignBook::notWritten(const SettingsSchema::Setting &design, bool removing)
{
    const QString file = QFileInfo(design.path()).fileName();
    m_host.announce(
        removing
            ? said(QT_TRANSLATE_NOOP("Console", "Design %1 not removed: %2 could not be written"), design.key(), file)
            : said(QT_TRANSLATE_NOOP("Console", "Design %1 not stored: %2 could not be written"), design.key(), file));
}

void DesignBook::cmdRemoveDesign_Click()
{
    if (!m_c.lstDesign)
        return;
    const QList<QListWidgetItem *> selected = m_c.lstDesign->selectedItems();
    if (selected.isEmpty())
        return;
    const QString name = selected.constFirst()->text();
    m_host.platform().askYesNo(tr("Delete Design Definition for Design %1").arg(name), tr("Caution - Deleting Design"),
                               this, [this, name](bool yes) {
                                   if (yes)
                                       removeDesign(name);
                               });
}

void DesignBook::removeDesign(const QString &name)
{
    const SettingsSchema::Setting design(SettingsSchema::Key::Design, name);
    const mSettings::CallerReportsFailure inOurWords;
    if (!design.remove()) {
        notWritten(design, true);
        return;
    }
    // The list is read again by name: it may have changed while the question was open.
    const int row = indexOf(name);
    if (row >= 0)
        delete m_c.lstDesign->takeItem(row);
    // Nothing stays selected, so a second click of "-" cannot remove the neighbouring design.
    m_c.lstDesign->selectionModel()->clear();
}

void DesignBook::lstDesign_DblClick(QListWidgetItem *item)
{
    if (!item || !m_c.txtDesign)
        return;
    m_c.txtDesign->setText(item->text());
    const QString name = m_c.txtDesign->text();
    const QString value = storedDesign(name);
    if (value.isEmpty())
        return;
    const QStringList pieces = value.split(u',');
    for (int n = 1; n <= DesignCounts && n <= pieces.size(); ++n) {
        const QString &piece = pieces.at(n - 1);
        const std::optional<int> count = storedCount(piece);
        // A count read from a hand edit or an overflow would send stones nobody asked for: the box stays
        // empty, and the operator is told which count was left out.
        m_host.setCountText(n, count ? QString::number(*count) : QString());
        credit(n, name);
        if (!count) {
            m_host.announce(
                said(QT_TRANSLATE_NOOP("Console", "%1: %2 count \"%3\" not loaded"), name, unitName(n), piece));
        }
    }
}

std::optional<int> DesignBook::storedCount(const QString &piece)
{
    const QString digits = trimBlanks(piece);
    if (digits.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > int(DispenseRun::MaxCount))
            return std::nullopt;
    }
    return value;
}

QString DesignBook::designFor(int n) const
{
    if (n < 1 || n > DesignCounts || m_credits.at(n - 1).design.isEmpty())
        return {};
    const Credit &c = m_credits.at(n - 1);
    return m_host.countText(n).value_or(QString()) == c.text ? c.design : c.design + QStringLiteral(" (changed)");
}

void DesignBook::cmdDispense_Click()
{
    // One run at a time: a click while one is going (the button is disabled then) starts nothing.
    if (std::exchange(m_secondClick, false) || m_dispensing)
        return;
    m_dispensing = true;
    const QPointer<ctxPatchButton> button = m_c.cmdDispense;
    const bool hadFocus = button && button->hasFocus();
    if (button)
        button->setEnabled(false);
    // Where the focus went when the button gave it up: if the operator has not moved it since, it returns.
    const QPointer<QWidget> movedTo = QApplication::focusWidget();
    DispenseRun::run(
        m_host, m_sender, [this](int n) { return designFor(n); },
        [this, button, hadFocus, movedTo] {
            if (button) {
                button->setEnabled(true);
                if (hadFocus && QApplication::focusWidget() == movedTo)
                    button->setFocus();
            }
            m_dispensing = false;
        });
}

void DesignBook::findDesign()
{
    if (!m_c.lstDesign || !m_c.txtDesign)
        return;
    const int row = indexOf(m_c.txtDesign->text());
    if (row >= 0)
        m_c.lstDesign->setCurrentRow(row);
}

bool DesignBook::isStorableName(const QString &name)
{
    // A name that starts like a formula would be run by the spreadsheet that opens the journal (a leading
    // '=' the settings file cannot hold anyway).
    static const QString formula = QStringLiteral("+-@");
    return IniFile::isValidKey(name) && trimBlanks(name) == name && ansi::decode(ansi::encode(name)) == name
        && !(!name.isEmpty() && formula.contains(name.front()));
}

QString DesignBook::keyFor(const QString &typed)
{
    return trimBlanks(typed).toUpper();
}

void DesignBook::selectOnFocus(QLineEdit *box, int length, bool deferred)
{
    box->setSelection(0, length);
    if (deferred) {
        QTimer::singleShot(0, box, [box, length] {
            if (box->hasFocus())
                box->setSelection(0, length);
        });
    }
}

bool DesignBook::eventFilter(QObject *watched, QEvent *event)
{
    // The button clicks only when the release lands on it: a double click whose second release lands
    // elsewhere has no click to end it, and its mark would swallow the next Space or Enter.
    if (watched == m_c.cmdDispense && event->type() == QEvent::MouseButtonRelease) {
        if (!m_c.cmdDispense->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
            m_secondClick = false;
        return false;
    }
    if (watched == m_c.txtDesign && event->type() == QEvent::KeyPress) {
        if (isEnter(static_cast<QKeyEvent *>(event))) {
            findDesign();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusIn) {
        auto *box = qobject_cast<QLineEdit *>(watched);
        if (!box)
            return false;
        const bool mouse = static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason;
        if (box == m_c.txtDesign)
            selectOnFocus(box, NameSelection, mouse);
        else if (m_c.txtNos.contains(box))
            selectOnFocus(box, CountSelection, mouse);
    }
    return QObject::eventFilter(watched, event);
}
