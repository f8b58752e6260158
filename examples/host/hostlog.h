#ifndef HOSTLOG_H
#define HOSTLOG_H

#include <QObject>
#include <QString>

class ZQPObject;

// Prints what a plugin reports. Plugins talk back only through signals,
// connected by signature: "error(QString)" from every plugin and
// "textOcred(QString)" from an OCR plugin.
class HostLog : public QObject
{
    Q_OBJECT

public:
    explicit HostLog(ZQPObject *plugin);

    bool textArrived() const { return m_textArrived; }
    bool failed() const { return m_failed; }

private Q_SLOTS:
    void error(const QString &message);
    void text(const QString &text);

private:
    QString m_name;
    bool m_textArrived = false;
    bool m_failed = false;
};

#endif // HOSTLOG_H
