#ifndef CALLRECORDER_H
#define CALLRECORDER_H

#include <QPair>
#include <QStringList>
#include <QVector>

#include <optional>

// The recording core of the engine doubles. Each call is recorded as its
// entry point's name with its rendered arguments, "Img_OCR(103, 0, 0, 2)",
// and answers what the test scripted for it.
//
// A script is keyed by an entry point's name ("Img_OCR"), or by the leading
// text of its calls ("Img_OCR(103, 0, 0, 2") to tell them apart; the empty
// key scripts every call. Its results answer the matching calls in turn,
// the last one sticking. The earliest matching script wins; scripting a
// key again replaces its results. What a result means is the double's
// business: a return value, or an error code.
class CallRecorder
{
public:
    void reset() { *this = CallRecorder(); }
    void clearCalls() { m_calls.clear(); }
    void setResults(const QString &key, const QVector<qint64> &results);
    // Records the call and answers its scripted result, if any.
    std::optional<qint64> record(const char *entryPoint, const QStringList &arguments);
    QStringList calls() const { return m_calls; }

private:
    QStringList m_calls;
    QVector<QPair<QString, QVector<qint64>>> m_scripts;
};

#endif // CALLRECORDER_H
