#include "desktopdriver.h"
#include "ocrtesting.h"

#include <QTemporaryDir>
#include <QtTest>

// The real plugin-tester on an X display: Stop pressed during a long
// background recognition, and another plugin chosen at once, while the OCR
// object is still cancelling its job. The program must go on and end
// normally.
class tst_StopWhileSwitching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stopThenSwitch();
};

void tst_StopWhileSwitching::stopThenSwitch()
{
    const QString missing = DesktopDriver::missingRequirement();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));

    // A page that keeps the engine's worker busy for seconds.
    QTemporaryDir files;
    QStringList lines;
    for (int i = 0; i < 70; ++i)
        lines << QStringLiteral("Line %1 of a long page for the recogniser to read").arg(i);
    const QString image = files.filePath(QStringLiteral("page.png"));
    QVERIFY(renderText(lines, QSize(1600, 1600)).save(image));

    DesktopDriver desktop;
    QVERIFY(desktop.start(QStringLiteral(ZQP_STAGE_DIR "/plugin-tester"), QStringLiteral(ZQP_STAGE_DIR)));
    // Straight to the OCR plugin, the last in the list: no plugin is loaded
    // twice in this run.
    desktop.focus(0);
    DesktopDriver::xdotool({QStringLiteral("key"), QStringLiteral("End")});
    QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().contains(QLatin1String("Nicomsoft OCR: initialed.")), 10000);
    QVERIFY(desktop.openFile(image));
    QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().contains(QStringLiteral("Nicomsoft OCR: ocr ") + image), 10000);

    // Stop, and back through the tab chain to the plugin list, in one go:
    // all of it reaches the program while stop() is still at work.
    desktop.focus(3);
    DesktopDriver::xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("1"),
                            QStringLiteral("space"), QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"),
                            QStringLiteral("shift+Tab"), QStringLiteral("Up")});
    // The program ended by a crash would leave the driver waiting on a
    // window that is gone.
    QVERIFY2(!desktop.process().waitForFinished(8000), "the program ended");
    QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().contains(QLatin1String("Fmod Ex: loaded.")), 10000);
    const QString log = desktop.logText();
    QVERIFY2(log.contains(QLatin1String("Nicomsoft OCR: stopped.")), qPrintable(log));
    QVERIFY2(log.contains(QLatin1String("Nicomsoft OCR: unload.")), qPrintable(log));
    QVERIFY2(log.indexOf(QLatin1String("Nicomsoft OCR: stopped.")) < log.indexOf(QLatin1String("Nicomsoft OCR: unload.")),
             qPrintable(log));

    QVERIFY(desktop.closeWindow());
    QVERIFY(desktop.process().waitForFinished(15000));
    QCOMPARE(desktop.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(desktop.process().exitCode(), 0);
}

QTEST_MAIN(tst_StopWhileSwitching)
#include "tst_stopwhileswitching.moc"
