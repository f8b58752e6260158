#include "callrecorder.h"

void CallRecorder::setResults(const QString &key, const QVector<qint64> &results)
{
    if (results.isEmpty())
        return;
    for (auto &script : m_scripts) {
        if (script.first == key)
            return void(script.second = results);
    }
    m_scripts.append({key, results});
}

std::optional<qint64> CallRecorder::record(const char *entryPoint, const QStringList &arguments)
{
    const QString call =
            QLatin1String(entryPoint) + QLatin1Char('(') + arguments.join(QLatin1String(", ")) + QLatin1Char(')');
    m_calls << call;
    for (auto &script : m_scripts) {
        // A key names the entry point whole, unless it goes on into the arguments.
        const QString &key = script.first;
        if (call.startsWith(key)
            && (key.isEmpty() || key.contains(QLatin1Char('(')) || call.at(key.size()) == QLatin1Char('(')))
            return script.second.size() > 1 ? script.second.takeFirst() : script.second.first();
    }
    return std::nullopt;
}
