#include "testwidget.h"
#include "ui_testwidget.h"

#include "zqpaudioplayer.h"
#include "zqpobject.h"
#include "zqpocrtext.h"
#include "zqpplatform.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QStringList>
#include <QTextCursor>

namespace {

// File dialogs split a filter into patterns at blanks. Qt's own dialog
// ignores case, but GTK's (on GNOME desktops) does not, so each extension
// is also listed in capitals.
const char fileFilter[] = "*.mp3 *.wav *.flac *.ape *.jpg *.bmp *.png *.tiff "
                          "*.MP3 *.WAV *.FLAC *.APE *.JPG *.BMP *.PNG *.TIFF\n*";

// Text from outside (paths, plugin names, messages, recognised text) goes
// into the log's HTML escaped, so that it shows as it reads. Sources and
// results also keep their line feeds as line breaks: a line whose source
// held a line feed before the first tag would be taken for plain text.
QString htmlLines(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br />"));
}

} // namespace

TestWidget::TestWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TestWidget)
    , pluginObject(nullptr)
    , pluginIndex(-1)
{
    ui->setupUi(this);

    const QString pluginDirectory = QCoreApplication::applicationDirPath() + QLatin1String("/zqp");
    const auto plugins = ZQPObject::metaInfo(pluginDirectory, QLatin1String(ZQPPlatform::PluginPattern));
    int index = 0;
    for (const auto &plugin : plugins)
        ui->cbAudioPlayers->insertItem(index++, plugin.first, QVariant(plugin.second));

    // Connected only now, so that filling the list loads nothing.
    connect(ui->cbAudioPlayers, SIGNAL(currentIndexChanged(int)), this, SLOT(pluginLoaded(int)));
    connect(ui->pbOpen, SIGNAL(clicked(bool)), this, SLOT(open()));
    connect(ui->pbPlayAudio, SIGNAL(clicked(bool)), this, SLOT(playAudio()));
    connect(ui->pbStopAudio, SIGNAL(clicked(bool)), this, SLOT(stopAudio()));

    if (index > 0)
        pluginLoaded(0);
}

// The held plugin is not unloaded: it stays loaded until the process ends.
TestWidget::~TestWidget()
{
    delete ui;
}

void TestWidget::pluginLoaded(int index)
{
    if (pluginObject) {
        msg(tr("unload."), pluginObject->name());
        pluginObject->unload();
    }

    pluginIndex = index;
    const QString text = ui->cbAudioPlayers->itemText(index);
    const QString path = ui->cbAudioPlayers->itemData(pluginIndex, Qt::UserRole).toString();
    pluginObject = ZQPObject::loadObject(path, nullptr);
    if (!pluginObject) {
        msg(tr("failed to load."), text);
        return;
    }

    connect(pluginObject, SIGNAL(error(QString)), this, SLOT(err(QString)));
    const QString name = pluginObject->name();
    msg(tr("loaded."), name);

    if (isOcrEngine()) {
        // A plugin that claims to recognise text but lacks the interface gets
        // no data path and no result connection.
        if (ZQPOcrText *ocr = qobject_cast<ZQPOcrText *>(pluginObject)) {
            if (text.contains(QLatin1String("Nicomsoft")))
                ocr->setDataPath(QLatin1String(ZQPPlatform::NicomsoftEnginePath));
            else if (text.contains(QLatin1String("Tesseract")))
                ocr->setDataPath(QStringLiteral("./tessdata"));
            msg(tr("set dataPath to ") + ocr->dataPath(), name);
            connect(pluginObject, SIGNAL(textOcred(QString)), this, SLOT(ret(QString)));
        }
    }

    if (pluginObject->initial())
        msg(tr("initialed."), name);
    else
        msg(tr("failed to initial."), name);

    if (!pickedFile.isEmpty())
        fileAction();
}

void TestWidget::open()
{
    // Until a file is picked, the dialog starts where the user started the
    // program: the installed launcher moves into the program's own folder
    // and says in ZQP_START_DIR where it was called from.
    const QString start = pickedFile.isEmpty() ? qEnvironmentVariable("ZQP_START_DIR") : pickedFile;
    const QString path = QFileDialog::getOpenFileName(this, tr("Select an Audio or Image file"), start,
        QLatin1String(fileFilter));
    if (path.isEmpty())
        return;

    pickedFile = path;
    setWindowTitle(pickedFile);
    msg(tr("is picked."), pickedFile);
    fileAction();
}

void TestWidget::playAudio()
{
    if (!pluginObject)
        return;

    if (isOcrEngine()) {
        if (ZQPOcrText *ocr = qobject_cast<ZQPOcrText *>(pluginObject)) {
            ocr->setLanguages(QStringList(), QString());
            msg(tr("ocrScreen"), pluginObject->name());
            ocr->ocrScreen();
        }
    } else if (!pickedFile.isEmpty()) {
        playPickedFile();
    }
}

void TestWidget::stopAudio()
{
    if (!pluginObject)
        return;

    if (ZQPAudioPlayer *player = qobject_cast<ZQPAudioPlayer *>(pluginObject))
        player->stop();
    else if (ZQPOcrText *ocr = qobject_cast<ZQPOcrText *>(pluginObject))
        ocr->stop();
    msg(tr("stopped."), pluginObject->name());
}

void TestWidget::err(QString l)
{
    appendLine(htmlLines(senderName()) + QLatin1String(":<span style=\"color:red;\">") + l.toHtmlEscaped()
        + QLatin1String("</span>"));
}

void TestWidget::ret(QString l)
{
    appendLine(htmlLines(senderName()) + QLatin1String(":<p style=\"color:blue;margin-left:16px;\">") + htmlLines(l)
        + QLatin1String("</p><br />"));
}

void TestWidget::msg(const QString &message, const QString &source)
{
    const QString from = source.isEmpty() ? ui->cbAudioPlayers->currentText() : source;
    appendLine(htmlLines(from) + QLatin1String(": <span style=\"color:#333;\"> ") + message.toHtmlEscaped()
        + QLatin1String("</span>"));
}

void TestWidget::appendLine(const QString &line)
{
    ui->errorMsg->moveCursor(QTextCursor::End);
    ui->errorMsg->append(line);
}

// Plugins name themselves; direct calls and other senders are logged under
// the current list entry.
QString TestWidget::senderName() const
{
    if (ZQPObject *plugin = qobject_cast<ZQPObject *>(sender()))
        return plugin->name();
    return ui->cbAudioPlayers->currentText();
}

bool TestWidget::isOcrEngine() const
{
    return pluginObject->type() == ZQPOcrText::TypeCode;
}

// Picking a file plays it or recognises it at once with the held plugin.
void TestWidget::fileAction()
{
    if (!pluginObject)
        return;

    if (isOcrEngine()) {
        msg(tr("ocr ") + pickedFile, pluginObject->name());
        if (ZQPOcrText *ocr = qobject_cast<ZQPOcrText *>(pluginObject)) {
            ocr->setLanguages(QStringList(), QString());
            ocr->ocrFile(pickedFile);
        }
    } else {
        playPickedFile();
    }
}

void TestWidget::playPickedFile()
{
    msg(tr("playing ") + pickedFile, pluginObject->name());
    if (ZQPAudioPlayer *player = qobject_cast<ZQPAudioPlayer *>(pluginObject)) {
        const QString failure = player->playFile(pickedFile);
        if (!failure.isEmpty())
            err(failure);
    }
}
