#pragma once

// What the operator-action tests share: a program folder of their own, a platform that answers the
// operator's boxes, a host whose count boxes are real line edits, and the controller's end of the line.

#include "../link/LinkTestSupport.h"
#include "Comm1.h"
#include "CommandSender.h"
#include "PortFolder.h"
#include "mSettings.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>
#include <array>

class OperatorPlatform : public TestPlatform
{
public:
    bool yes = true;
    QString answer;
    QStringList asked; // prompt, title (and initial text) of every box shown
    QStringList started;
    std::function<void()> onStart;

    bool askYesNo(const QString &prompt, const QString &title) override
    {
        asked << prompt << title;
        return yes;
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &initial) override
    {
        asked << prompt << title << initial;
        return answer;
    }
    bool startDetached(const QString &program, const QStringList &) override
    {
        started << program;
        if (onStart)
            onStart();
        return false; // as for a script that is not there
    }
};

// Units 1 to count with UIDs 101, 102, ...
inline QStringList uidsFor(int count)
{
    QStringList uids;
    for (int n = 1; n <= count; ++n)
        uids << QString::number(100 + n);
    return uids;
}

// Count boxes 0 to 10 as the window has them; box n carries the UID of unit n in its Tag.
class BoxHost : public TestHost
{
public:
    BoxHost(TestPlatform &platform, QWidget *window, int units)
        : TestHost(platform, uidsFor(units))
    {
        for (int n = 0; n <= 10; ++n) {
            m_boxes[size_t(n)] = new QLineEdit(n == 1 ? QStringLiteral("1") : QStringLiteral("0"), window);
            m_boxes[size_t(n)]->move(0, 30 * n);
            m_boxes[size_t(n)]->setProperty("Tag", uidsFor(units).value(n - 1, QStringLiteral("100")));
        }
    }
    QLineEdit *box(int n) const { return n >= 0 && n <= 10 ? m_boxes[size_t(n)] : nullptr; }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (int n = 1; n <= 10; ++n)
            texts << box(n)->text();
        return texts;
    }
    void setBoxTexts(const QStringList &texts)
    {
        for (int n = 1; n <= texts.size() && n <= 10; ++n)
            box(n)->setText(texts.at(n - 1));
    }

    std::optional<QString> countText(int n) const override
    {
        return box(n) ? std::optional<QString>(box(n)->text()) : std::nullopt;
    }
    void setCountText(int n, const QString &text) override
    {
        if (box(n))
            box(n)->setText(text);
    }
    std::optional<QString> countTag(int n) const override
    {
        return box(n) ? std::optional<QString>(box(n)->property("Tag").toString()) : std::nullopt;
    }

private:
    std::array<QLineEdit *, 11> m_boxes{};
};

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A real double click on a row: press, release, double click, release.
inline void doubleClickRow(QListWidget *list, QListWidgetItem *item)
{
    QWidget *view = list->viewport();
    const QPoint at = list->visualItemRect(item).center();
    QTest::mousePress(view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
    QTest::mouseDClick(view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
}

// One test's world: settings in a fresh folder, units 1 to n (UIDs 101, 102, ...), the port open on a
// line whose controller end the test reads.
struct OperatorWorld
{
    QTemporaryDir dir;
    OperatorPlatform platform;
    QWidget window;
    BoxHost host;
    PtyPeer peer;
    PortFolder ports{dir.path(), [] { return QList<PortFolder::SerialDevice>{}; }}; // none of the machine's own
    Comm1 comm{ports};
    CommandSender sender{host, comm};

    explicit OperatorWorld(int units = 5)
        : host(platform, &window, units)
    {
        mSettings::setProgramFolder(dir.path());
        platform.folder = dir.path();
        if (peer.linkAs(dir.path(), 3) && comm.setCommPort(3))
            comm.setPortOpen(true);
    }
    bool ready() const { return peer.isValid() && comm.PortOpen(); }
    // What the console wrote, once it holds that many lines.
    QByteArray wire(int lines)
    {
        peer.waitReceived("\r\n", lines);
        return peer.received();
    }
};
