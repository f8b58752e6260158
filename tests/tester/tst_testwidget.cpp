#include "mappedlibraries.h"
#include "themefiledialog.h"
#include "pluginfolder.h"
#include "testwidget.h"
#include "zqpobject.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPluginLoader>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString audioFixture = QStringLiteral("zqp.adp.fixture.so");
const QString ocrFixture = QStringLiteral("zqp.ocr.fixture.so");
const QString nicomsoftFixture = QStringLiteral("zqp.ocr.nicomsoft-fixture.so");
const QString player = QStringLiteral("Fixture player");
const QString engine = QStringLiteral("Fixture OCR");
const QString odd = QStringLiteral("Odd fixture");
const QString nsocrPath = QStringLiteral("./nsocr/libNSOCR.so");

// The three kinds of log line, as the window composes them.
QString info(const QString &source, const QString &message)
{
    return source + QLatin1String(": <span style=\"color:#333;\"> ") + message + QLatin1String("</span>");
}

QString error(const QString &source, const QString &message)
{
    return source + QLatin1String(":<span style=\"color:red;\">") + message + QLatin1String("</span>");
}

QString result(const QString &source, const QString &message)
{
    return source + QLatin1String(":<p style=\"color:blue;margin-left:16px;\">") + message
        + QLatin1String("</p><br />");
}

// What loading and starting a plugin writes; an OCR engine also tells its data path.
QStringList loaded(const QString &name, const QString &dataPath = QString())
{
    QStringList lines { info(name, "loaded."), info(name, "initialed.") };
    if (!dataPath.isEmpty())
        lines.insert(1, info(name, "set dataPath to " + dataPath));
    return lines;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList withFile(QStringList lines, const QString &file)
{
    lines.replaceInStrings(QStringLiteral("%FILE%"), file);
    return lines;
}

// The root object of a plugin library that is loaded already, or null. The
// hold taken here is given back at once, so the program's hold is the only one.
QObject *instanceOf(const QString &path)
{
    if (!isMapped(path))
        return nullptr;
    QPluginLoader loader(path);
    QObject *object = loader.instance();
    loader.unload();
    return object;
}

// A string literal of a plugin lives in the plugin's library: the copies
// that a test keeps must not point there, since the library may be unloaded.
QString ownCopy(const QString &text)
{
    return QString(text.unicode(), text.size());
}

QStringList callsOf(const QString &path)
{
    QStringList calls;
    if (QObject *object = instanceOf(path))
        QMetaObject::invokeMethod(object, "calls", Q_RETURN_ARG(QStringList, calls));
    for (QString &call : calls)
        call = ownCopy(call);
    return calls;
}

// Runs action once shown() holds.
void whenShown(std::function<bool()> shown, std::function<void()> action)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, shown, action] {
        if (shown()) {
            timer->deleteLater();
            timer->stop();
            action();
        }
    });
    timer->start(10);
}

// Runs action once the next modal file dialog is shown.
void whenDialogShows(std::function<void(QFileDialog *)> action)
{
    whenShown([] { return qobject_cast<QFileDialog *>(QApplication::activeModalWidget()) != nullptr; },
              [action] { action(qobject_cast<QFileDialog *>(QApplication::activeModalWidget())); });
}

// The names that a file dialog of Qt's own lists in its current folder.
QStringList listedNames(QFileDialog *dialog)
{
    const QListView *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

// Answers the dialog as a user does: types the path, then confirms.
void accept(QFileDialog *dialog, const QString &file)
{
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
    static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides it
}

} // namespace

// The window under test, with its form elements found by object name.
struct Window
{
    TestWidget widget;
    QComboBox *list = widget.findChild<QComboBox *>(QStringLiteral("cbAudioPlayers"));
    QPushButton *open = widget.findChild<QPushButton *>(QStringLiteral("pbOpen"));
    QPushButton *play = widget.findChild<QPushButton *>(QStringLiteral("pbPlayAudio"));
    QPushButton *stop = widget.findChild<QPushButton *>(QStringLiteral("pbStopAudio"));
    QTextBrowser *log = widget.findChild<QTextBrowser *>(QStringLiteral("errorMsg"));
    // The log as it stood at the last mark; COMPARE_LOG checks what follows it.
    std::unique_ptr<QTextDocument> logMark;

    void markLog() { logMark.reset(log->document()->clone()); }

    // Presses "Open..." and answers the dialog with file, or cancels it
    // when file is empty. Returns the dialog's caption.
    QString pick(const QString &file)
    {
        QString caption;
        whenDialogShows([&caption, file](QFileDialog *dialog) {
            caption = dialog->windowTitle();
            if (file.isEmpty()) {
                dialog->reject();
            } else {
                accept(dialog, file);
            }
        });
        QTest::mouseClick(open, Qt::LeftButton);
        return caption;
    }
};

class tst_TestWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void form();
    void startup_data();
    void startup();
    void dataPath_data();
    void dataPath();
    void switchPlugins_data();
    void switchPlugins();
    void loadAfterFailedLoad();
    void userActions_data();
    void userActions();
    void dialog();
    void fileFilter();
    void hostileText_data();
    void hostileText();
    void messages_data();
    void messages();
    void errorFromAnotherThread();

private:
    // Makes the given entries the program's plugin folder.
    bool usePlugins(const QStringList &entries);
    QString pluginPath(const QString &name) const { return m_zqp + QLatin1Char('/') + name; }
    // Compares the log with snapshot followed by lines, appended as the
    // window appends them: the rich text a reader sees, line by line.
    static void compareLog(const QTextBrowser *log, const QTextDocument *snapshot, const QStringList &lines);

    QString m_zqp;
    std::unique_ptr<QTemporaryDir> m_folder;
    QTemporaryDir m_files;
};

#define COMPARE_LOG(window, lines)                                                                           \
    do {                                                                                                     \
        compareLog((window).log, (window).logMark.get(), lines);                                             \
        if (QTest::currentTestFailed())                                                                      \
            return;                                                                                          \
    } while (false)

void tst_TestWidget::compareLog(const QTextBrowser *log, const QTextDocument *snapshot, const QStringList &lines)
{
    QTextBrowser reference;
    reference.setDocument(snapshot ? snapshot->clone(&reference) : new QTextDocument(&reference));
    for (const QString &line : lines) {
        reference.moveCursor(QTextCursor::End);
        reference.append(line);
    }
    QCOMPARE(log->toPlainText(), reference.toPlainText());
    QCOMPARE(log->toHtml(), reference.toHtml());
}

void tst_TestWidget::initTestCase()
{
    m_zqp = QCoreApplication::applicationDirPath() + QLatin1String("/zqp");
    QVERIFY(m_files.isValid());
}

void tst_TestWidget::init()
{
    QFile::remove(m_zqp);
    m_folder.reset(new QTemporaryDir);
    QVERIFY(m_folder->isValid());
}

// Libraries a test left loaded keep their files mapped; a fresh folder per
// test keeps them apart from the next test's copies.
void tst_TestWidget::cleanup()
{
    QFile::remove(m_zqp);
    qunsetenv("ZQP_FIXTURE_INITIAL_FAILS");
}

bool tst_TestWidget::usePlugins(const QStringList &entries)
{
    return fillPluginFolder(m_folder->path(), entries) && QFile::link(m_folder->path(), m_zqp);
}

void tst_TestWidget::form()
{
    Window window;
    QCOMPARE(window.widget.objectName(), QStringLiteral("TestWidget"));
    QCOMPARE(window.widget.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(window.widget.size(), QSize(434, 300));

    // The row of controls above the log, in order.
    auto *vertical = qobject_cast<QVBoxLayout *>(window.widget.layout());
    QVERIFY(vertical);
    QCOMPARE(vertical->itemAt(1)->widget(), window.log);
    QLayout *horizontal = vertical->itemAt(0)->layout();
    QVERIFY(horizontal);
    const QStringList names { QStringLiteral("label"), QStringLiteral("cbAudioPlayers"), QStringLiteral("pbOpen"),
                              QStringLiteral("pbPlayAudio"), QStringLiteral("pbStopAudio") };
    QCOMPARE(horizontal->count(), names.size());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(horizontal->itemAt(i)->widget()->objectName(), names.at(i));
    QCOMPARE(window.widget.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("ZQP Object:"));
    QCOMPARE(window.open->text(), QStringLiteral("Open..."));
    QCOMPARE(window.play->text(), QStringLiteral("Play"));
    QCOMPARE(window.stop->text(), QStringLiteral("Stop"));

    const QMetaObject *meta = window.widget.metaObject();
    QStringList methods;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        methods << QString::fromLatin1(meta->method(i).methodSignature());
    QCOMPARE(methods, QStringList({ QStringLiteral("pluginLoaded(int)"), QStringLiteral("open()"),
                                    QStringLiteral("playAudio()"), QStringLiteral("stopAudio()"),
                                    QStringLiteral("err(QString)"), QStringLiteral("ret(QString)") }));
}

void tst_TestWidget::startup_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("initialFails");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("calls"); // on the first entry

    const QStringList audioFirst { audioFixture, ocrFixture };
    const QStringList bothItems { "adp/Fixture player", "ocr/Fixture" };
    const QStringList nsocrCalls { "setDataPath " + nsocrPath, "initial" };
    QTest::newRow("no plugin folder") << false << QStringList() << false << QStringList() << QStringList()
                                      << QStringList();
    QTest::newRow("empty plugin folder") << true << QStringList() << false << QStringList() << QStringList()
                                         << QStringList();
    QTest::newRow("audio player first")
        << true << audioFirst << false << bothItems << loaded(player) << QStringList { "initial" };
    QTest::newRow("audio player fails to initialise")
        << true << audioFirst << true << bothItems
        << QStringList { info(player, "loaded."), error(player, "Fixture ERR: no output device"),
                         info(player, "failed to initial.") }
        << QStringList { "initial" };
    QTest::newRow("OCR engine first")
        << true << QStringList { "a.so=" + nicomsoftFixture, "b.so=" + audioFixture } << false
        << QStringList { "ocr/Nicomsoft fixture", "adp/Fixture player" } << loaded(engine, nsocrPath) << nsocrCalls;
    QTest::newRow("OCR engine fails to initialise")
        << true << QStringList { nicomsoftFixture } << true << QStringList { "ocr/Nicomsoft fixture" }
        << QStringList { info(engine, "loaded."), info(engine, "set dataPath to " + nsocrPath),
                         error(engine, "OCR Error: no engine at ./nsocr/libNSOCR.so Code:#0"),
                         info(engine, "failed to initial.") }
        << nsocrCalls;
    QTest::newRow("no plugin first")
        << true << QStringList { "a.so=text", "b.so=" + audioFixture } << false
        << QStringList { QString(), "adp/Fixture player" } << QStringList { info(QString(), "failed to load.") }
        << QStringList();
    QTest::newRow("root object is no plugin object")
        << true << QStringList { "a.so=zqp.foreign.so", "b.so=" + audioFixture } << false
        << QStringList { "adp/Foreign", "adp/Fixture player" } << QStringList { info("adp/Foreign", "failed to load.") }
        << QStringList();
    QTest::newRow("OCR type without the OCR interface")
        << true << QStringList { "zqp.odd.ocr.so" } << false << QStringList { "ocr/Nicomsoft without interface" }
        << loaded(odd) << QStringList { "type", "initial" };
}

void tst_TestWidget::startup()
{
    QFETCH(bool, folder);
    QFETCH(QStringList, entries);
    QFETCH(bool, initialFails);
    QFETCH(QStringList, items);
    QFETCH(QStringList, log);
    QFETCH(QStringList, calls);

    if (folder)
        QVERIFY(usePlugins(entries));
    if (initialFails)
        qputenv("ZQP_FIXTURE_INITIAL_FAILS", "1");

    Window window;
    QStringList texts;
    for (int i = 0; i < window.list->count(); ++i) {
        texts << window.list->itemText(i);
        const QString name = entries.at(i).section(QLatin1Char('='), 0, 0);
        QCOMPARE(window.list->itemData(i, Qt::UserRole).toString(), pluginPath(name));
        QVERIFY(window.list->itemIcon(i).isNull());
    }
    QCOMPARE(texts, items);
    QCOMPARE(window.list->currentIndex(), items.isEmpty() ? -1 : 0);
    COMPARE_LOG(window, log);
    QCOMPARE(window.widget.windowTitle(), QStringLiteral("Form"));

    // Only the first entry is loaded, and only once.
    if (!entries.isEmpty()) {
        const QString first = pluginPath(entries.first().section(QLatin1Char('='), 0, 0));
        QCOMPARE(callsOf(first), calls);
        for (int i = 1; i < entries.size(); ++i)
            QVERIFY(!isMapped(pluginPath(entries.at(i).section(QLatin1Char('='), 0, 0))));
    }
}

void tst_TestWidget::dataPath_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("set");

    QTest::newRow("Tesseract") << "zqp.ocr.tesseract-fixture.so" << "./tessdata" << true;
    QTest::newRow("both names: Nicomsoft wins") << "zqp.ocr.both-fixture.so" << nsocrPath << true;
    QTest::newRow("neither: the engine's default") << ocrFixture << "fixture-default" << false;
    QTest::newRow("names in lower case: the engine's default") << "zqp.ocr.lower-fixture.so" << "fixture-default"
                                                               << false;
}

void tst_TestWidget::dataPath()
{
    QFETCH(QString, fixture);
    QFETCH(QString, path);
    QFETCH(bool, set);

    QVERIFY(usePlugins({ fixture }));
    Window window;
    COMPARE_LOG(window, loaded(engine, path));
    QStringList calls { "initial" };
    if (set)
        calls.prepend("setDataPath " + path);
    QCOMPARE(callsOf(pluginPath(fixture)), calls);
}

void tst_TestWidget::switchPlugins_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("lines"); // written by the switch to the second entry
    QTest::addColumn<QStringList>("calls"); // on the second entry

    QTest::newRow("audio player to Nicomsoft engine")
        << QStringList { "a.so=" + audioFixture, "b.so=" + nicomsoftFixture }
        << QStringList { info(player, "unload.") } + loaded(engine, nsocrPath)
        << QStringList { "setDataPath " + nsocrPath, "initial" };
    QTest::newRow("OCR engine to audio player")
        << QStringList { "a.so=" + ocrFixture, "b.so=" + audioFixture }
        << QStringList { info(engine, "unload.") } + loaded(player) << QStringList { "initial" };
    QTest::newRow("OCR engine to OCR engine")
        << QStringList { "a.so=zqp.ocr.tesseract-fixture.so", "b.so=" + ocrFixture }
        << QStringList { info(engine, "unload.") } + loaded(engine, "fixture-default") << QStringList { "initial" };
    QTest::newRow("audio player to no plugin")
        << QStringList { "a.so=" + audioFixture, "b.so=text" }
        << QStringList { info(player, "unload."), info(QString(), "failed to load.") } << QStringList();
}

void tst_TestWidget::switchPlugins()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, calls);

    QVERIFY(usePlugins(entries));
    const QString first = pluginPath(QStringLiteral("a.so"));
    const QString second = pluginPath(QStringLiteral("b.so"));
    Window window;
    QPointer<QObject> old = instanceOf(first);
    QVERIFY(old);
    const QString oldName = ownCopy(qobject_cast<ZQPObject *>(old)->name());
    window.markLog();

    window.list->setCurrentIndex(1);
    QCOMPARE(callsOf(second), calls);

    // The old plugin lives on until the event loop runs, and what it
    // reports until then is still written under its name.
    QVERIFY(old);
    QVERIFY(QMetaObject::invokeMethod(old, "emitError", Q_ARG(QString, QStringLiteral("late"))));
    COMPARE_LOG(window, lines + QStringList { error(oldName, QStringLiteral("late")) });

    QTRY_VERIFY(old.isNull());
    QVERIFY(!isMapped(first));
    QCOMPARE(isMapped(second), !calls.isEmpty());
}

void tst_TestWidget::loadAfterFailedLoad()
{
    QVERIFY(usePlugins({ QStringLiteral("a.so=text"), QStringLiteral("b.so=") + audioFixture }));
    Window window;
    window.markLog();

    // Nothing is held, so nothing is unloaded and the buttons do nothing.
    QTest::mouseClick(window.play, Qt::LeftButton);
    QTest::mouseClick(window.stop, Qt::LeftButton);
    window.list->setCurrentIndex(1);
    COMPARE_LOG(window, loaded(player));
    QCOMPARE(callsOf(pluginPath(QStringLiteral("b.so"))), QStringList { QStringLiteral("initial") });
}

// The dialog offers the file types and starts in the folder the launcher
// names, then at the file picked last; a dialog cancelled after a pick keeps
// it, and a later plugin gets it at once.
void tst_TestWidget::dialog()
{
    QVERIFY(usePlugins({ QStringLiteral("a.so=") + audioFixture, QStringLiteral("b.so=") + ocrFixture }));
    const QString path = m_files.filePath(QStringLiteral("words.txt"));
    QVERIFY(writeFile(path, "one\ntwo\n"));

    Window window;
    QStringList filters;
    QString start;
    qputenv("ZQP_START_DIR", QFile::encodeName(m_files.path()));
    whenDialogShows([&filters, &start, path](QFileDialog *dialog) {
        filters = dialog->nameFilters();
        start = dialog->directory().absolutePath();
        accept(dialog, path);
    });
    QTest::mouseClick(window.open, Qt::LeftButton);
    qunsetenv("ZQP_START_DIR");
    QCOMPARE(start, QDir(m_files.path()).absolutePath());
    // Two filters, split at the line feed.
    QCOMPARE(filters, (QStringList { QStringLiteral("*.mp3 *.wav *.flac *.ape *.jpg *.bmp *.png *.tiff "
                                                    "*.MP3 *.WAV *.FLAC *.APE *.JPG *.BMP *.PNG *.TIFF"),
                                     QStringLiteral("*") }));

    window.markLog();
    QStringList selected;
    whenDialogShows([&selected](QFileDialog *dialog) {
        selected = dialog->selectedFiles();
        dialog->reject();
    });
    QTest::mouseClick(window.open, Qt::LeftButton);
    QCOMPARE(selected, QStringList { path });
    QCOMPARE(window.widget.windowTitle(), path);
    COMPARE_LOG(window, QStringList());

    window.list->setCurrentIndex(1);
    COMPARE_LOG(window,
                (QStringList { info(player, "unload.") } + loaded(engine, "fixture-default")
                 + QStringList { info(engine, "ocr " + path), result(engine, "one<br />two") }));
    QCOMPARE(callsOf(pluginPath(QStringLiteral("b.so"))),
             (QStringList { QStringLiteral("initial"), QStringLiteral("setLanguages [] "),
                            QStringLiteral("ocrFile ") + path }));
}

// The first filter lists the audio and image files, whatever the case of
// their extensions, and nothing else: in Qt's own dialog, and in the GTK
// dialog when the process runs with that platform theme.
void tst_TestWidget::fileFilter()
{
    QVERIFY(usePlugins({ audioFixture }));
    const QStringList listed { "SONG.MP3", "Scan.PNG", "a.bmp", "a.jpg", "a.tiff", "song.ape",
                               "song.flac",  "song.mp3", "song.wav", "text.png" };
    const QStringList unlisted { "mp3", "notes.txt", "song.mp3.part", "song.ogg", "song.mp3;" };
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const QString &name : listed + unlisted)
        QVERIFY(writeFile(folder.filePath(name), QByteArray()));

    Window window;
    QStringList names;
    QStringList filters;
    if (qgetenv("QT_QPA_PLATFORMTHEME") == "gtk3") {
        whenShown(ThemeFileDialog::isShown, [&] {
            names = ThemeFileDialog::listed(listed + unlisted);
            filters = ThemeFileDialog::filterNames();
            ThemeFileDialog::cancel();
        });
        // Without the GTK dialog, Qt's own would wait for ever.
        QTimer::singleShot(20000, [] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                dialog->close();
        });
    } else {
        whenDialogShows([&](QFileDialog *dialog) {
            dialog->setDirectory(folder.path());
            filters = dialog->nameFilters();
            // The folder is read in the background: wait until it is listed.
            const bool complete = QTest::qWaitFor([&] { return (names = listedNames(dialog)) == listed; }, 5000);
            Q_UNUSED(complete) // what it lists is compared below
            dialog->reject();
        });
    }
    QTest::mouseClick(window.open, Qt::LeftButton);
    names.sort();
    QCOMPARE(names, listed);
    QCOMPARE(filters.size(), 2);
    QCOMPARE(filters.last(), QStringLiteral("*"));
}

void tst_TestWidget::hostileText_data()
{
    QTest::addColumn<QString>("file"); // picked with "Open...", or empty
    QTest::addColumn<QByteArray>("method"); // a fixture method called with text, or empty
    QTest::addColumn<QString>("text"); // the file's content, or what the method gets
    // As composed; %FILE% is the path, escaped, and %FILE-LINES% the same
    // with line breaks for its line feeds.
    QTest::addColumn<QStringList>("lines");

    const QStringList picked { info("%FILE%", "is picked."), info(engine, "ocr %FILE%") };
    // A source keeps its line feeds as line breaks, or the line would show as plain text.
    QTest::newRow("line feed in a file name")
        << "two\nlines.png" << QByteArray() << "one"
        << QStringList { info("%FILE-LINES%", "is picked."), info(engine, "ocr %FILE%"),
                         result(engine, "one") };
    QTest::newRow("markup in a file name")
        << "a<b>B & C<i>.png" << QByteArray() << "one"
        << picked + QStringList { result(engine, "one") };
    QTest::newRow("image in a file name")
        << "<img src=x.png>.png" << QByteArray() << "one"
        << picked + QStringList { result(engine, "one") };
    QTest::newRow("markup in the recognised text")
        << "scan.png" << QByteArray() << "<a href=\"http://example.org/\">here</a> & <b>there</b>\n<i>2</i>"
        << picked + QStringList { result(engine, "&lt;a href=&quot;http://example.org/&quot;&gt;here&lt;/a&gt; &amp; "
                                                 "&lt;b&gt;there&lt;/b&gt;<br />&lt;i&gt;2&lt;/i&gt;") };
    QTest::newRow("markup in an error")
        << QString() << QByteArray("emitError") << "OCR Error: <img src=x.png> & <b>bold Code:#0"
        << QStringList { error(engine, "OCR Error: &lt;img src=x.png&gt; &amp; &lt;b&gt;bold Code:#0") };
    QTest::newRow("entity in an error")
        << QString() << QByteArray("emitError") << "&lt;b&gt; &amp;"
        << QStringList { error(engine, "&amp;lt;b&amp;gt; &amp;amp;") };
}

// Text from outside shows as it reads, never as markup.
void tst_TestWidget::hostileText()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, method);
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    QVERIFY(usePlugins({ ocrFixture }));
    Window window;
    window.markLog();
    const QString path = file.isEmpty() ? QString() : m_files.filePath(file);
    if (!path.isEmpty()) {
        QVERIFY(writeFile(path, text.toUtf8()));
        window.pick(path);
    } else {
        QVERIFY(QMetaObject::invokeMethod(instanceOf(pluginPath(ocrFixture)), method.constData(), Q_ARG(QString, text)));
    }
    lines.replaceInStrings(QStringLiteral("%FILE-LINES%"), path.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br />")));
    COMPARE_LOG(window, withFile(lines, path.toHtmlEscaped()));
    const QString shown = window.log->toPlainText();
    QVERIFY2(shown.contains(path.isEmpty() ? text : path.section(QLatin1Char('\n'), -1)), qPrintable(shown));
    QVERIFY(!shown.contains(QChar::ObjectReplacementCharacter)); // no image
    QVERIFY(!shown.contains(QLatin1String("<span"))); // no markup shown
    QVERIFY(!window.log->toHtml().contains(QLatin1String("<a href"))); // no link
}

void tst_TestWidget::userActions_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("file"); // picked with "Open..."; empty cancels the dialog
    QTest::addColumn<QString>("button"); // pressed after the pick: the pick itself when empty
    QTest::addColumn<QStringList>("lines"); // written by the action; %FILE% is the path
    QTest::addColumn<QStringList>("calls"); // made by the action on the first entry

    const QString picked = info("%FILE%", "is picked.");
    const QString play = QStringLiteral("play");
    const QString stop = QStringLiteral("stop");
    const QStringList audio { audioFixture };
    const QStringList ocr { ocrFixture };
    const QStringList none { QStringLiteral("a.so=text") };
    const QStringList oddOcr { QStringLiteral("zqp.odd.ocr.so") };
    const QStringList oddAudio { QStringLiteral("zqp.odd.adp.so") };
    const QStringList playFile { QStringLiteral("playFile %FILE%") };

    QTest::newRow("audio player, cancelled") << audio << QString() << QString() << QStringList() << QStringList();
    QTest::newRow("audio player")
        << audio << "song.wav" << QString() << QStringList { picked, info(player, "playing %FILE%") } << playFile;
    QTest::newRow("audio player refuses the file")
        << audio << "unplayable.wav" << QString()
        << QStringList { picked, info(player, "playing %FILE%"), error("adp/Fixture player", "cannot play %FILE%") }
        << playFile;
    QTest::newRow("audio player reports an error")
        << audio << "broken.wav" << QString()
        << QStringList { picked, info(player, "playing %FILE%"), error(player, "Fixture ERR: broken stream") }
        << playFile;
    QTest::newRow("OCR engine, cancelled") << ocr << QString() << QString() << QStringList() << QStringList();
    QTest::newRow("OCR engine")
        << ocr << "words.txt" << QString()
        << QStringList { picked, info(engine, "ocr %FILE%"), result(engine, "first line<br />second line") }
        << QStringList { "setLanguages [] ", "ocrFile %FILE%" };
    QTest::newRow("no plugin held") << none << "song.wav" << QString() << QStringList { picked } << QStringList();
    QTest::newRow("OCR type without the OCR interface")
        << oddOcr << "words.txt" << QString() << QStringList { picked, info(odd, "ocr %FILE%") }
        << QStringList { "type" };
    QTest::newRow("audio type without the audio interface")
        << oddAudio << "song.wav" << QString() << QStringList { picked, info(odd, "playing %FILE%") }
        << QStringList { "type" };

    QTest::newRow("audio player, play with nothing picked")
        << audio << QString() << play << QStringList() << QStringList();
    QTest::newRow("audio player, play")
        << audio << "song.wav" << play << QStringList { info(player, "playing %FILE%") } << playFile;
    QTest::newRow("audio player, stop")
        << audio << QString() << stop << QStringList { info(player, "stopped.") } << QStringList { "stop" };
    QTest::newRow("OCR engine, play ignores the picked file")
        << ocr << "words.txt" << play << QStringList { info(engine, "ocrScreen") }
        << QStringList { "setLanguages [] ", "ocrScreen" };
    QTest::newRow("OCR engine, stop")
        << ocr << QString() << stop << QStringList { info(engine, "stopped.") } << QStringList { "stop" };
    QTest::newRow("OCR type without the OCR interface, play")
        << oddOcr << QString() << play << QStringList() << QStringList { "type" };
    QTest::newRow("audio type without the audio interface, play")
        << oddAudio << "song.wav" << play << QStringList { info(odd, "playing %FILE%") } << QStringList { "type" };
    QTest::newRow("plugin without its interface, stop")
        << oddOcr << QString() << stop << QStringList { info(odd, "stopped.") } << QStringList();
}

void tst_TestWidget::userActions()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, file);
    QFETCH(QString, button);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, calls);

    QVERIFY(usePlugins(entries));
    const QString plugin = pluginPath(entries.first().section(QLatin1Char('='), 0, 0));
    const QString path = file.isEmpty() ? QString() : m_files.filePath(file);
    if (!path.isEmpty())
        QVERIFY(writeFile(path, "first line\nsecond line\n"));

    Window window;
    if (!button.isEmpty() && !path.isEmpty())
        window.pick(path);
    const QStringList before = callsOf(plugin);
    window.markLog();

    if (button.isEmpty()) {
        QCOMPARE(window.pick(path), QStringLiteral("Select an Audio or Image file"));
        QCOMPARE(window.widget.windowTitle(), path.isEmpty() ? QStringLiteral("Form") : path);
    } else {
        QTest::mouseClick(button == QLatin1String("play") ? window.play : window.stop, Qt::LeftButton);
    }
    COMPARE_LOG(window, withFile(lines, path));
    QCOMPARE(callsOf(plugin).mid(before.size()), withFile(calls, path));
}

void tst_TestWidget::messages_data()
{
    QTest::addColumn<QByteArray>("method"); // a fixture method, or a slot of the window
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");

    const QString item = QStringLiteral("ocr/Fixture");
    QTest::newRow("error from the plugin") << QByteArray("emitError") << QStringLiteral("OCR Error: x Code:#0")
                                           << error(engine, QStringLiteral("OCR Error: x Code:#0"));
    QTest::newRow("every line feed, and only line feeds")
        << QByteArray("emitText") << QStringLiteral("a\r\n\nb\n") << result(engine, QStringLiteral("a\r<br /><br />b<br />"));
    QTest::newRow("error not sent by a plugin") << QByteArray("err") << QStringLiteral("failure")
                                                << error(item, QStringLiteral("failure"));
    QTest::newRow("result not sent by a plugin") << QByteArray("ret") << QStringLiteral("x\ny")
                                                 << result(item, QStringLiteral("x<br />y"));
}

void tst_TestWidget::messages()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, message);
    QFETCH(QString, line);

    QVERIFY(usePlugins({ ocrFixture }));
    Window window;
    window.markLog();
    QObject *target = method.startsWith("emit") ? instanceOf(pluginPath(ocrFixture)) : &window.widget;
    QVERIFY(target);
    QVERIFY(QMetaObject::invokeMethod(target, method.constData(), Q_ARG(QString, message)));
    COMPARE_LOG(window, QStringList { line });
}

// Errors that an engine reports from its own thread reach the log on the
// window's thread, once its event loop runs.
void tst_TestWidget::errorFromAnotherThread()
{
    QVERIFY(usePlugins({ audioFixture }));
    Window window;
    window.markLog();
    QObject *plugin = instanceOf(pluginPath(audioFixture));
    QVERIFY(plugin);
    QVERIFY(QMetaObject::invokeMethod(plugin, "emitErrorFromThread", Q_ARG(QString, QStringLiteral("underrun"))));
    COMPARE_LOG(window, QStringList());
    QTRY_COMPARE(window.log->document()->blockCount(), window.logMark->blockCount() + 1);
    COMPARE_LOG(window, QStringList { error(player, QStringLiteral("underrun")) });
}

QTEST_MAIN(tst_TestWidget)
#include "tst_testwidget.moc"
