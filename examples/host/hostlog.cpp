#include "hostlog.h"

#include <zqpocrtext.h>

#include <cstdio>

HostLog::HostLog(ZQPObject *plugin)
    : m_name(plugin->name())
{
    connect(plugin, SIGNAL(error(QString)), this, SLOT(error(QString)));
    if (qobject_cast<ZQPOcrText *>(plugin))
        connect(plugin, SIGNAL(textOcred(QString)), this, SLOT(text(QString)));
}

void HostLog::error(const QString &message)
{
    m_failed = true;
    std::printf("%s: error: %s\n", qPrintable(m_name), qPrintable(message));
}

void HostLog::text(const QString &text)
{
    m_textArrived = true;
    std::printf("%s: text: %s\n", qPrintable(m_name), qPrintable(text));
}
