#pragma once

// What the design tests share: the link tests' pseudo-terminal, platform and host, with the window's
// count boxes added as real line edits.

#include "../link/LinkTestSupport.h"

#include <QLineEdit>
#include <QVariant>
#include <array>

class BoxHost : public TestHost
{
public:
    // The boxes are children of window.
    BoxHost(TestPlatform &platform, QWidget *window)
        : TestHost(platform)
    {
        for (int n = 0; n <= 10; ++n) {
            boxes[size_t(n)] = new QLineEdit(window);
            boxes[size_t(n)]->move(0, 30 * n);
            boxes[size_t(n)]->setText(n == 1 ? QStringLiteral("1") : QStringLiteral("0"));
        }
    }

    // Units 1 to uids.size(); boxes 1 to 10 carry the UIDs of their units, as the layout pass sets them.
    void setUnits(const QStringList &uids)
    {
        setUids(uids);
        for (int n = 1; n <= 10; ++n)
            boxes[size_t(n)]->setProperty("Tag", uids.value(n - 1, QStringLiteral("100")));
    }
    QLineEdit *box(int n) { return boxes[size_t(n)]; }

    std::optional<QString> countText(int n) const override
    {
        return n >= 0 && n <= 10 ? std::optional<QString>(boxes[size_t(n)]->text()) : std::nullopt;
    }
    void setCountText(int n, const QString &text) override
    {
        if (n >= 0 && n <= 10)
            boxes[size_t(n)]->setText(text);
    }
    std::optional<QString> countTag(int n) const override
    {
        return n >= 0 && n <= 10 ? std::optional<QString>(boxes[size_t(n)]->property("Tag").toString())
                                 : std::nullopt;
    }

private:
    std::array<QLineEdit *, 11> boxes{};
};
