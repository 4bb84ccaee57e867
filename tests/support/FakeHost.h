#pragma once

#include "ConsoleHost.h"

#include <QLineEdit>
#include <QTest>

#include <ranges>

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

// The window as the subsystems see it: panel 0 "All Units", then the UIDs given; count boxes 0 to 10 with a parent.
class FakeHost : public ConsoleHost
{
public:
    FakeHost(Platform &platform, const QStringList &uids, QWidget *boxParent = nullptr)
        : m_platform(platform)
    {
        for (int n = 0; n <= uids.size(); ++n) {
            m_units.emplace_back().tag = uids.value(n - 1);
            m_units.back().c1 = n ? QStringLiteral("UNIT %1").arg(n) : QStringLiteral("All Units");
        }
        for (int n = 0; boxParent && n <= 10; ++n)
            m_boxes.emplace_back(new QLineEdit(QString::number(n == 1), boxParent))
                ->setProperty("Tag", uids.value(n - 1, QStringLiteral("100")));
    }

    QString pane, mode = QStringLiteral("A");
    QStringList statuses, log;
    RunJournal *runs = nullptr; // the journal, when the test keeps one

    FakeUnit &unit(int n) { return m_units.at(size_t(n)); }
    QLineEdit *box(int n) const { return n >= 0 && size_t(n) < m_boxes.size() ? m_boxes[size_t(n)] : nullptr; }
    void setBoxTexts(const QStringList &texts)
    {
        for (int n = 1; n <= texts.size(); ++n)
            setCountText(n, texts.at(n - 1));
    }
    QStringList boxTexts() const
    {
        const auto texts = m_boxes | std::views::drop(1) | std::views::transform(&QLineEdit::text);
        return {texts.begin(), texts.end()};
    }

    int NoUnits() const override { return int(m_units.size()) - 1; }
    UnitView *Unit(int n) override { return n >= 0 && n <= NoUnits() ? &m_units[size_t(n)] : nullptr; }
    std::optional<int> unitByUID(const QString &uid) const override
    {
        const auto it = std::find_if(m_units.begin() + 1, m_units.end(), [&](auto &u) { return u.tag == uid; });
        return it == m_units.end() ? std::nullopt : std::optional(int(it - m_units.begin()));
    }
    std::optional<QString> countText(int n) const override { return boxProperty(n, "text"); }
    void setCountText(int n, const QString &text) override { boxProperty(n, "text", text); }
    std::optional<QString> countTag(int n) const override { return boxProperty(n, "Tag"); }
    void prependOut(const QString &text) override { pane.prepend(text); }
    QString filterMode() const override { return mode; }
    void SetStatus(const QString &text, int) override { statuses.append(text); }
    void ensureStatusTimerRunning() override {}
    void LOG(const QString &text) override { log.append(text); }
    Platform &platform() override { return m_platform; }
    RunJournal *journal() override { return runs; }

private:
    std::optional<QString> boxProperty(int n, const char *name, const QVariant &value = {}) const
    {
        if (box(n) && value.isValid())
            box(n)->setProperty(name, value);
        return box(n) ? box(n)->property(name).toString() : std::optional<QString>();
    }

    Platform &m_platform;
    std::vector<FakeUnit> m_units; // filled once: references to them stay valid
    std::vector<QLineEdit *> m_boxes;
};

// A real double click as the operator makes it: press, release, double click, release.
inline void doubleClick(QWidget *widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}
