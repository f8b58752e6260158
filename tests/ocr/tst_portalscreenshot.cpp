#include "portalscreenshot.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// How the test portal treats a request.
enum class Answer { Picture, PictureBeforeReply, PictureOnOwnPath, PictureAfterAsking, Refuse, Fail, Silent, Untaken, Garbage };

} // namespace

Q_DECLARE_METATYPE(Answer)

// The portal's Screenshot interface as a test service: it writes its picture
// (or garbage) to a file and answers on the request object the way it is told.
class TestPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    TestPortal(const QDBusConnection &bus, const QString &folder)
        : bus(bus)
        , folder(folder)
    {
    }

    Answer answer = Answer::Picture;
    QImage picture;
    QString file;
    QVariantMap options;

public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString &parentWindow, const QVariantMap &options)
    {
        Q_UNUSED(parentWindow);
        this->options = options;
        QString sender = message().service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        QString handle = QStringLiteral("%1/request/%2/%3")
                             .arg(portalPath, sender, options.value(QStringLiteral("handle_token")).toString());
        if (answer == Answer::PictureOnOwnPath)
            handle = portalPath + QStringLiteral("/request/old/1");

        QVariantMap results;
        if (answer == Answer::Picture || answer == Answer::PictureBeforeReply || answer == Answer::PictureOnOwnPath
            || answer == Answer::PictureAfterAsking) {
            file = folder + QStringLiteral("/shot.png");
            picture.save(file, "PNG");
            results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
        } else if (answer == Answer::Garbage) {
            file = folder + QStringLiteral("/shot.png");
            QFile garbage(file);
            garbage.open(QIODevice::WriteOnly);
            garbage.write("not a picture");
            results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
        }
        const uint response = answer == Answer::Refuse ? 1 : answer == Answer::Fail ? 2 : 0;
        QDBusMessage signal = QDBusMessage::createSignal(handle, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        signal << response << results;
        if (answer == Answer::PictureBeforeReply) {
            // The answer overtakes the method's reply.
            setDelayedReply(true);
            bus.send(signal);
            bus.send(message().createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        } else if (answer == Answer::Untaken) {
            setDelayedReply(true);
        } else if (answer != Answer::Silent) {
            // Asking the person takes longer than taking the call may.
            const QDBusMessage later = signal;
            QTimer::singleShot(answer == Answer::PictureAfterAsking ? 1000 : 200, this, [this, later] { bus.send(later); });
        }
        return QDBusObjectPath(handle);
    }

private:
    QDBusConnection bus;
    QString folder;
};

class tst_PortalScreenshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void request_data();
    void request();
    void screenFrame_data();
    void screenFrame();

private:
    QTemporaryDir busDir;
    QProcess daemon;
    QString address;
};

// A private session bus that starts no services, so a missing portal stays
// missing.
void tst_PortalScreenshot::initTestCase()
{
    QVERIFY(busDir.isValid());
    const QString config = busDir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                              "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                              "<policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
                              "</policy></busconfig>")
                   .arg(busDir.path())
                   .toUtf8());
    file.close();
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY2(daemon.waitForStarted(), "dbus-daemon cannot be started");
    QTRY_VERIFY(daemon.canReadLine());
    address = QString::fromUtf8(daemon.readLine()).trimmed();
    QVERIFY(!address.isEmpty());
}

void tst_PortalScreenshot::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    daemon.terminate();
    daemon.waitForFinished();
}

void tst_PortalScreenshot::request_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("temporary");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("fileKept");

    QTest::newRow("answered") << true << Answer::Picture << true << QString() << 0 << false;
    QTest::newRow("answered before the reply") << true << Answer::PictureBeforeReply << true << QString() << 0 << false;
    QTest::newRow("answered on the portal's own path") << true << Answer::PictureOnOwnPath << true << QString() << 0 << false;
    QTest::newRow("picture kept outside a temporary folder") << true << Answer::Picture << false << QString() << 0 << true;
    QTest::newRow("answered after asking the person") << true << Answer::PictureAfterAsking << true << QString() << 0 << false;
    QTest::newRow("refused") << true << Answer::Refuse << true << "The desktop refused screenshots to this program. To allow them again on GNOME, run: gdbus call" << 1 << false;
    QTest::newRow("denied") << true << Answer::Fail << true << "The desktop refused screenshots to this program." << 2 << false;
    QTest::newRow("call not taken") << true << Answer::Untaken << true << "The screenshot portal did not answer within 0.4 s." << 0 << false;
    QTest::newRow("no answer") << true << Answer::Silent << true << "The screenshot portal did not answer within 1.6 s." << 0 << false;
    QTest::newRow("no portal") << false << Answer::Picture << true << "The screenshot portal is not available: " << 0 << false;
    QTest::newRow("unreadable picture") << true << Answer::Garbage << true << "The screenshot %1 cannot be read: " << 0 << false;
}

void tst_PortalScreenshot::request()
{
    QFETCH(bool, present);
    QFETCH(Answer, answer);
    QFETCH(bool, temporary);
    QFETCH(QString, message);
    QFETCH(int, code);
    QFETCH(bool, fileKept);

    QTemporaryDir kept;
    QTemporaryDir inTemp(QDir::tempPath() + QStringLiteral("/zqp-portal-XXXXXX"));
    QVERIFY(kept.isValid() && inTemp.isValid());

    QDBusConnection portalBus = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
    QDBusConnection clientBus = QDBusConnection::connectToBus(address, QStringLiteral("client"));
    QVERIFY(portalBus.isConnected() && clientBus.isConnected());
    TestPortal portal(portalBus, temporary ? inTemp.path() : kept.path());
    portal.answer = answer;
    portal.picture = QImage(37, 23, QImage::Format_RGB32);
    portal.picture.fill(Qt::darkCyan);
    portal.picture.setPixel(36, 22, qRgb(200, 10, 10));
    if (present) {
        QVERIFY(portalBus.registerObject(portalPath, &portal, QDBusConnection::ExportAllSlots));
        QVERIFY(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    PortalScreenshot screenshot(clientBus);
    screenshot.setTimeout(400);
    screenshot.setAnswerTimeout(1600);
    // Wherever the system keeps its temporary files, the picture kept lies
    // outside the folders taken for temporary.
    if (!temporary)
        screenshot.setTemporaryFolders({inTemp.path()});
    QSignalSpy taken(&screenshot, &PortalScreenshot::taken);
    QSignalSpy failed(&screenshot, &PortalScreenshot::failed);
    screenshot.take();
    QTRY_COMPARE_WITH_TIMEOUT(taken.count() + failed.count(), 1, 3000);
    // A late answer or the time-out must not report a second outcome.
    QTest::qWait(answer == Answer::Silent ? 100 : 500);
    QCOMPARE(taken.count() + failed.count(), 1);

    if (message.isEmpty()) {
        QCOMPARE(taken.count(), 1);
        QCOMPARE(taken.at(0).at(0).value<QImage>().convertToFormat(QImage::Format_RGB32), portal.picture);
        QCOMPARE(portal.options.value(QStringLiteral("interactive")), QVariant(false));
    } else {
        QCOMPARE(failed.count(), 1);
        const QString text = failed.at(0).at(0).toString();
        QVERIFY2(text.startsWith(QString(message).replace(QLatin1String("%1"), portal.file)), qPrintable(text));
        QCOMPARE(failed.at(0).at(1).toInt(), code);
    }
    if (!portal.file.isEmpty())
        QCOMPARE(QFile::exists(portal.file), fileKept);

    if (present) {
        portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        portalBus.unregisterObject(portalPath);
    }
}

void tst_PortalScreenshot::screenFrame_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("desktop");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<qreal>("ratio");

    QTest::newRow("one screen") << QSize(1280, 800) << QRect(0, 0, 1280, 800) << QRect(0, 0, 1280, 800)
                                << QRect(0, 0, 1280, 800) << 1.0;
    QTest::newRow("one screen at scale 2") << QSize(1280, 800) << QRect(0, 0, 640, 400) << QRect(0, 0, 640, 400)
                                           << QRect(0, 0, 1280, 800) << 2.0;
    QTest::newRow("right of two at scale 1.5")
        << QSize(1920, 600) << QRect(0, 0, 1280, 400) << QRect(640, 0, 640, 400) << QRect(960, 0, 960, 600) << 1.5;
    QTest::newRow("lower of two, desktop left of the origin")
        << QSize(1000, 1200) << QRect(-200, -300, 500, 600) << QRect(-100, 0, 400, 300) << QRect(200, 600, 800, 600)
        << 2.0;
}

// Each screen's logical place on the desktop maps onto the device pixels of
// the portal's picture of all screens.
void tst_PortalScreenshot::screenFrame()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, desktop);
    QFETCH(QRect, screen);
    QFETCH(QRect, pixels);
    QFETCH(qreal, ratio);

    QImage image(picture, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256));
    }
    const ScreenFrame frame = PortalScreenshot::screenFrame(image, screen, desktop);
    QCOMPARE(frame.geometry(), screen);
    QCOMPARE(frame.ratio(), ratio);
    QImage expected = image.copy(pixels);
    expected.setDevicePixelRatio(ratio);
    QCOMPARE(frame.image(), expected);
}

QTEST_GUILESS_MAIN(tst_PortalScreenshot)
#include "tst_portalscreenshot.moc"
