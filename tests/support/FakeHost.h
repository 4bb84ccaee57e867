#pragma once

#include "ConsoleHost.h"

#include <QLineEdit>
#include <QTest>
#include <QVariant>

class FakeUnit : public UnitView
{
public:
    QString c1, c3, c4, tag;
    qint32 state = 4194304;
    bool checked = false;

    QString caption1() const override { return c1; }
    QString caption3() const override { return c3; }
    void setCaption3(const QString &text) override { c3 = text; }
    QString caption4() const override { return c4; }
    void setCaption4(const QString &text) override { c4 = text; }
    qint32 State() const override { return state; }
    void setState(qint32 colour) override { state = colour; }
    bool isChecked() const override { return checked; }
    void setChecked(bool c) override { checked = c; }
    QString Tag() const override { return tag; }
};

// The main window as the subsystems see it. Panel 0 is "All Units", panels 1.. carry the UIDs given. With a
// parent widget the count boxes 0 to 10 are real line edits, box n tagged with the UID of unit n.
class FakeHost : public ConsoleHost
{
public:
    FakeHost(Platform &platform, const QStringList &uids, QWidget *boxParent = nullptr)
        : m_platform(platform)
    {
        for (int n = 0; n <= uids.size(); ++n) {
            m_units.push_back(std::make_unique<FakeUnit>());
            m_units.back()->tag = n ? uids.at(n - 1) : QString();
            m_units.back()->c1 = n ? QStringLiteral("UNIT %1").arg(n) : QStringLiteral("All Units");
        }
        for (int n = 0; boxParent && n <= 10; ++n) {
            boxes.push_back(new QLineEdit(n == 1 ? QStringLiteral("1") : QStringLiteral("0"), boxParent));
            boxes.back()->move(0, 30 * n);
            boxes.back()->setProperty("Tag", uids.value(n - 1, QStringLiteral("100")));
        }
    }

    QString pane;
    QString mode = QStringLiteral("A");
    QStringList statuses;
    QStringList log;
    std::vector<QLineEdit *> boxes;

    FakeUnit &unit(int n) { return *m_units.at(size_t(n)); }
    void setBoxTexts(const QStringList &texts)
    {
        for (int n = 1; n <= texts.size() && n <= 10; ++n)
            setCountText(n, texts.at(n - 1));
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (size_t n = 1; n < boxes.size(); ++n)
            texts << boxes[n]->text();
        return texts;
    }

    int NoUnits() const override { return int(m_units.size()) - 1; }
    UnitView *Unit(int n) override { return n >= 0 && size_t(n) < m_units.size() ? m_units[size_t(n)].get() : nullptr; }
    std::optional<int> unitByUID(const QString &uid) const override
    {
        for (size_t n = 1; n < m_units.size(); ++n)
            if (m_units[n]->tag == uid)
                return int(n);
        return std::nullopt;
    }
    std::optional<QString> countText(int n) const override
    {
        return box(n) ? box(n)->text() : std::optional<QString>();
    }
    void setCountText(int n, const QString &text) override
    {
        if (box(n))
            box(n)->setText(text);
    }
    std::optional<QString> countTag(int n) const override
    {
        return box(n) ? box(n)->property("Tag").toString() : std::optional<QString>();
    }
    void prependOut(const QString &text) override { pane.prepend(text); }
    QString filterMode() const override { return mode; }
    void SetStatus(const QString &text, int) override { statuses.append(text); }
    void ensureStatusTimerRunning() override {}
    void LOG(const QString &text) override { log.append(text); }
    Platform &platform() override { return m_platform; }

    QLineEdit *box(int n) const { return n >= 0 && size_t(n) < boxes.size() ? boxes[size_t(n)] : nullptr; }

private:
    Platform &m_platform;
    std::vector<std::unique_ptr<FakeUnit>> m_units;
};

// A real double click as the operator makes it: press, release, double click, release.
inline void doubleClick(QWidget *widget, QPoint at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}
