#pragma once

#include "host/ConsoleHost.h"

#include <QLineEdit>
#include <QTest>

#include <deque>
#include <ranges>

// The window as the subsystems see it: panel 0 "All Units", then the UIDs given; count boxes 0 to 10 with a parent.
class FakeHost : public ConsoleHost
{
public:
    FakeHost(Platform &platform, const QStringList &uids, QWidget *boxParent = nullptr)
        : m_platform(platform)
    {
        for (int n = 0; n <= uids.size(); ++n) {
            m_units.emplace_back().setUid(uids.value(n - 1));
            m_units.back().setName(n ? QStringLiteral("UNIT %1").arg(n) : QStringLiteral("All Units"));
        }
        for (int n = 0; boxParent && n <= 10; ++n)
            m_boxes.emplace_back(new QLineEdit(QString::number(n == 1), boxParent))
                ->setProperty("Tag", uids.value(n - 1, QStringLiteral("100")));
    }

    QString pane;
    MessageFilter mode = MessageFilter::All;
    QStringList statuses, logged;
    RunJournal *runs = nullptr; // the journal, when the test keeps one

    UnitModel &model(int n) { return m_units.at(size_t(n)); }
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

    int unitCount() const override { return int(m_units.size()) - 1; }
    UnitModel *unit(int n) override { return n >= 0 && n <= unitCount() ? &m_units[size_t(n)] : nullptr; }
    std::optional<int> unitByUID(const QString &uid) const override
    {
        const auto it = std::find_if(m_units.begin() + 1, m_units.end(), [&](auto &u) { return u.uid() == uid; });
        return it == m_units.end() ? std::nullopt : std::optional(int(it - m_units.begin()));
    }
    std::optional<QString> countText(int n) const override { return boxProperty(n, "text"); }
    void setCountText(int n, const QString &text) override { boxProperty(n, "text", text); }
    std::optional<QString> countTag(int n) const override { return boxProperty(n, "Tag"); }
    void prependOut(const QString &text) override { pane.prepend(text); }
    MessageFilter filterMode() const override { return mode; }
    void setStatus(const QString &text, int) override { statuses.append(text); }
    void ensureStatusTimerRunning() override {}
    void log(const QString &text) override { logged.append(text); }
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
    std::deque<UnitModel> m_units; // filled once: references to them stay valid
    std::vector<QLineEdit *> m_boxes;
};

// A real double click as the operator makes it: press, release, double click, release.
inline void doubleClick(QWidget *widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}
