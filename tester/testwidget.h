#ifndef TESTWIDGET_H
#define TESTWIDGET_H

#include <QString>
#include <QWidget>

class ZQPAudioPlayer;
class ZQPObject;

namespace Ui {
class TestWidget;
}

// The window of plugin-tester: a list of the plugins found in "zqp" beside
// the program, three buttons that drive the chosen plugin, and a log.
class TestWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TestWidget(QWidget *parent = nullptr);
    ~TestWidget() override;

private Q_SLOTS:
    void pluginLoaded(int);
    void open();
    void playAudio();
    void stopAudio();
    void err(QString l);
    void ret(QString l);

private:
    void msg(const QString &message, const QString &source);
    void appendLine(const QString &line);
    QString senderName() const;
    bool isOcrEngine() const;
    void fileAction();
    void playPickedFile();

    Ui::TestWidget *ui;
    ZQPObject *pluginObject;
    int pluginIndex;
    QString pickedFile;
};

#endif // TESTWIDGET_H
