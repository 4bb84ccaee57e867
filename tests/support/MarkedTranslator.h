#pragma once

#include <QCoreApplication>
#include <QTranslator>

// A language of its own for the tests: every text the console translates comes out in «guillemets», so a
// test sees at once which texts were translated and which stayed as they are. Installed while it lives.
class MarkedTranslator : public QTranslator
{
public:
    MarkedTranslator() { QCoreApplication::installTranslator(this); }
    ~MarkedTranslator() override { QCoreApplication::removeTranslator(this); }
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *source, const char * = nullptr, int = -1) const override
    {
        return QStringLiteral("«") + QString::fromUtf8(source) + QStringLiteral("»");
    }
};
