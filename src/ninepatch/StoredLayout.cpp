#include "ninepatch/StoredLayout.h"

#include "ninepatch/ctxPatchButton.h"

#include <QFile>
#include <QWidget>

QList<StoredLayout::Section> StoredLayout::parse(const QString &text, QStringList *errors)
{
    QList<Section> sections;
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QStringView line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u'\'') || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3) {
                if (errors)
                    errors->append(QStringLiteral("line %1: not a section name").arg(n + 1));
                continue;
            }
            sections.append(Section{line.sliced(1, line.size() - 2).trimmed().toString(), PropertyBag()});
            continue;
        }
        QString error;
        if (sections.isEmpty()) {
            if (errors)
                errors->append(QStringLiteral("line %1: a property outside any section").arg(n + 1));
            continue;
        }
        if (!sections.last().bag.readLine(line, &error) && errors)
            errors->append(QStringLiteral("line %1: %2").arg(n + 1).arg(error));
    }
    return sections;
}

QList<StoredLayout::Section> StoredLayout::read(const QString &path, QStringList *errors)
{
    QFile file(path);
    // A layout is a few hundred bytes; anything far larger is not one.
    constexpr qint64 MaxLayoutBytes = 1 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxLayoutBytes) {
        if (errors)
            errors->append(QStringLiteral("%1 cannot be read").arg(path));
        return {};
    }
    return parse(QString::fromUtf8(file.read(MaxLayoutBytes)), errors);
}

int StoredLayout::apply(QWidget *root, const QString &path)
{
    return apply(root, read(path));
}

int StoredLayout::apply(QWidget *root, const QList<Section> &sections)
{
    if (!root)
        return 0;
    int loaded = 0;
    for (const Section &section : sections) {
        if (section.name.isEmpty())
            continue;
        const QList<ctxPatchButton *> buttons = root->findChildren<ctxPatchButton *>(section.name);
        for (ctxPatchButton *button : buttons) {
            button->ReadProperties(section.bag);
            ++loaded;
        }
    }
    return loaded;
}

QString StoredLayout::write(const QList<const ctxPatchButton *> &buttons)
{
    QString out;
    for (const ctxPatchButton *button : buttons) {
        if (!button)
            continue;
        PropertyBag bag;
        button->WriteProperties(bag);
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += QLatin1Char('[') + button->objectName() + QStringLiteral("]\n") + bag.toText();
    }
    return out;
}
