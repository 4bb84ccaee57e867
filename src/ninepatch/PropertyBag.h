#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

// The persisted properties of one control: keys matched without regard to case, kept in the order
// they were first written, each holding a QString, bool, int (32-bit), double or QFont. A value equal
// to the default the writer names is left out, so a stored layout holds only what differs.
//
// The text form is one "Key = value" line per property:
//   Caption = "Open Console"      strings in double quotes, with \" \\ \n \r \t and \uXXXX escapes
//   Style = 6                     32-bit integers, decimal or &H hexadecimal (&HFFFFFF)
//   Opacity = 0.5                 numbers with a decimal point or an exponent
//   Enabled = False               True or False
//   Font = Font("Verdana", 11.25, Bold, Italic, Underline, Strikethrough)   attributes optional
// Blank lines and lines starting with ' ; or # are ignored.
class PropertyBag
{
public:
    // The stored value, converted to the default's type when a default is given; the default when the
    // key is absent or its value cannot be converted.
    QVariant ReadProperty(const QString &name, const QVariant &defaultValue = QVariant()) const;
    // Stores the value, or removes the key when the value equals the (valid) default.
    void WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue = QVariant());

    bool contains(const QString &name) const;
    QStringList keys() const;
    bool isEmpty() const { return m_items.isEmpty(); }
    void clear() { m_items.clear(); }

    QString toText() const;
    // Adds the properties of the text's lines. Lines that cannot be read are skipped and described in
    // `errors` (with their line number, counted from `firstLine`); the rest is still read.
    void readText(const QString &text, QStringList *errors = nullptr, int firstLine = 1);
    // Reads one "Key = value" line; false (bag unchanged) when it is not one.
    bool readLine(QStringView line, QString *error = nullptr);

    // One value in the text form, and back; false when the text is not a value.
    static QString formatValue(const QVariant &value);
    static bool parseValue(QStringView text, QVariant &value);
    // Whether two values count as equal for leaving a default out: numbers by value (doubles as the
    // single-precision numbers the properties are), fonts by name, size and the four attributes.
    static bool sameValue(const QVariant &a, const QVariant &b);

private:
    qsizetype indexOf(const QString &name) const;

    QList<std::pair<QString, QVariant>> m_items;
};
