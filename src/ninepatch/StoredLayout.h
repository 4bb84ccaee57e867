#pragma once

#include "ninepatch/PropertyBag.h"

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class ctxPatchButton;

// The stored layout of a window's buttons: one section per button, named by the button's objectName,
// holding its persisted properties in PropertyBag's text form:
//   [cmdDispense]
//   Style = 10
//   Caption = "Dispense"
// Applying a layout loads each section into the buttons of that name through ReadProperties.
class StoredLayout
{
public:
    // The layouts embedded in the program.
    static constexpr QLatin1String MainWindow{":/ninepatch/layouts/frmVorn.layout"};
    static constexpr QLatin1String UnitPanel{":/ninepatch/layouts/dUnit.layout"};

    struct Section
    {
        QString name;
        PropertyBag bag;
    };

    // Sections in file order. Lines that cannot be read are skipped and described in `errors`.
    static QList<Section> parse(const QString &text, QStringList *errors = nullptr);
    // The sections of a layout file or resource; none when it cannot be opened.
    static QList<Section> read(const QString &path, QStringList *errors = nullptr);

    // Loads every section into the buttons under `root` (at any depth) that bear its name; returns the
    // number of buttons loaded. Sections naming no button are passed over.
    static int apply(QWidget *root, const QString &path);
    static int apply(QWidget *root, const QList<Section> &sections);

    // The layout text of the given buttons, as their WriteProperties store them.
    static QString write(const QList<const ctxPatchButton *> &buttons);
};
