#include "nsocrobj.h"

#include "nsenginecontext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimerEvent>
#include <QVector>

namespace {

bool failed(int32_t result)
{
    return result > NSOCR_ERROR_BASE;
}

// Letters and digits of ASCII only; beyond it any letter or number.
bool isLetterOrDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u < 128)
        return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
    return c.isLetterOrNumber();
}

const NSOCR_UTF16 *utf16(const QString &text)
{
    return reinterpret_cast<const NSOCR_UTF16 *>(text.utf16());
}

// What a failed load says: the causes a user can mend get words of their own.
QString loadFailure(int32_t result)
{
    switch (result) {
    case ERROR_GHOSTSCRIPT:
        return QStringLiteral("NsOCR - GhostSript library is needed to support PDF files. "
                              "Just download and install it with default settings. "
                              "https://ghostscript.com/releases/gsdnld.html.");
    case ERROR_NOTAFILE:
        return QStringLiteral("NsOCR::Img_Load failed: not a regular file.");
    case ERROR_FILETOOLARGE:
        return QStringLiteral("NsOCR::Img_Load failed: the file is larger than %1 MB.")
                .arg(NSOCR_MAX_FILE_SIZE / (1024 * 1024));
    case ERROR_IMAGETOOLARGE:
        return QStringLiteral("NsOCR::Img_Load failed: the image has more than %1 million pixels.")
                .arg(NSOCR_MAX_PIXELS / 1000000);
    default:
        return QStringLiteral("NsOCR::Img_Load failed.");
    }
}

const int pollInterval = 100;
const int maxPendingPolls = 99;
// stop() waits this long for the engine's worker to end, checking this often.
const int stopWaitMs = 400;
const int stopCheckMs = 5;

const char *const mainLanguages[] = {
    QT_TRANSLATE_NOOP("Language", "Bulgarian"), QT_TRANSLATE_NOOP("Language", "Catalan"),
    QT_TRANSLATE_NOOP("Language", "Croatian"), QT_TRANSLATE_NOOP("Language", "Czech"),
    QT_TRANSLATE_NOOP("Language", "Danish"), QT_TRANSLATE_NOOP("Language", "Dutch"),
    QT_TRANSLATE_NOOP("Language", "English"), QT_TRANSLATE_NOOP("Language", "Estonian"),
    QT_TRANSLATE_NOOP("Language", "Finnish"), QT_TRANSLATE_NOOP("Language", "French"),
    QT_TRANSLATE_NOOP("Language", "German"), QT_TRANSLATE_NOOP("Language", "Hungarian"),
    QT_TRANSLATE_NOOP("Language", "Indonesian"), QT_TRANSLATE_NOOP("Language", "Italian"),
    QT_TRANSLATE_NOOP("Language", "Latvian"), QT_TRANSLATE_NOOP("Language", "Lithuanian"),
    QT_TRANSLATE_NOOP("Language", "Norwegian"), QT_TRANSLATE_NOOP("Language", "Polish"),
    QT_TRANSLATE_NOOP("Language", "Portuguese"), QT_TRANSLATE_NOOP("Language", "Romanian"),
    QT_TRANSLATE_NOOP("Language", "Russian"), QT_TRANSLATE_NOOP("Language", "Slovak"),
    QT_TRANSLATE_NOOP("Language", "Slovenian"), QT_TRANSLATE_NOOP("Language", "Spanish"),
    QT_TRANSLATE_NOOP("Language", "Swedish"), QT_TRANSLATE_NOOP("Language", "Turkish"),
};

struct AsianLanguage
{
    const char *engineName;
    const char *displayName;
};

const AsianLanguage asianLanguages[] = {
    {"Arabic", QT_TRANSLATE_NOOP("Language", "Arabic")},
    {"Chinese_Simplified", QT_TRANSLATE_NOOP("Language", "Simplified Chinese")},
    {"Chinese_Traditional", QT_TRANSLATE_NOOP("Language", "Traditional Chinese")},
    {"Japanese", QT_TRANSLATE_NOOP("Language", "Japanese")},
    {"Korean", QT_TRANSLATE_NOOP("Language", "Korean")},
};

} // namespace

NSOcrObj::NSOcrObj()
{
    connect(this, SIGNAL(delayedUnJob()), this, SLOT(jobDone()));
    setDataPath(QStringLiteral("NSOCR.dll"));
}

NSOcrObj::~NSOcrObj()
{
    stop();
    if (context)
        closeContext(std::move(context));
}

QString NSOcrObj::name()
{
    return tr("Nicomsoft OCR");
}

QString NSOcrObj::author()
{
    return QStringLiteral("zqp@zqplugins.org");
}

bool NSOcrObj::initial()
{
    // Initialising again restarts the engine from the current data path,
    // but never under a running job.
    if (context) {
        if (isBusy()) {
            postError(tr("The OCR engine cannot be restarted while a job is running."), 0);
            return false;
        }
        closeContext(std::move(context));
    }

    const QString path = dataPath();
    if (!QFile::exists(path))
        return false;
    auto ctx = std::make_unique<NsEngineContext>();
    if (!openContext(*ctx, path)) {
        closeContext(std::move(ctx));
        return false;
    }
    context = std::move(ctx);
    return true;
}

bool NSOcrObj::openContext(NsEngineContext &ctx, const QString &path)
{
    if (!ctx.engine)
        ctx.engine = std::make_unique<TNSOCR>();
    TNSOCR *engine = ctx.engine.get();
    if (engine->isLoaded())
        return true;
    if (!engine->load(path))
        return false;

    NSOCR_UTF16 version[260] = {};
    engine->Engine_GetVersion(version);
    engine->Engine_Initialize();
    engine->Cfg_Create(&ctx.cfgHandle);
    engine->Cfg_LoadOptions(ctx.cfgHandle, utf16(QStringLiteral("Config.dat")));
    engine->Ocr_Create(ctx.cfgHandle, &ctx.ocrHandle);
    engine->Img_Create(ctx.ocrHandle, &ctx.imgHandle);
    engine->Scan_Create(ctx.cfgHandle, &ctx.scanHandle);
    return true;
}

void NSOcrObj::closeContext(std::unique_ptr<NsEngineContext> ctx)
{
    // A poll left running after a time-out must not outlive the engine.
    if (ctx->timerId)
        killTimer(ctx->timerId);
    if (TNSOCR *engine = ctx->engine.get()) {
        if (ctx->imgHandle)
            engine->Img_Destroy(ctx->imgHandle);
        if (ctx->ocrHandle)
            engine->Ocr_Destroy(ctx->ocrHandle);
        if (ctx->cfgHandle)
            engine->Cfg_Destroy(ctx->cfgHandle);
        if (ctx->scanHandle)
            engine->Scan_Destroy(ctx->scanHandle);
        engine->Engine_Uninitialize();
        ctx->engine.reset();
    }
}

bool NSOcrObj::checkContext()
{
    if (context)
        return true;
    postError(tr("The OCR engine is not initialised."), TNSOCR::NotLoaded);
    return false;
}

int NSOcrObj::ocrMemoryJob(const QByteArray &bmpdata)
{
    if (!checkContext())
        return Failed;
    return runRecognition(context->engine->Img_LoadFromMemory(
            context->imgHandle, reinterpret_cast<const uint8_t *>(bmpdata.constData()), bmpdata.size()));
}

int NSOcrObj::ocrFileJob(const QString &file)
{
    if (!checkContext())
        return Failed;
    return runRecognition(context->engine->Img_LoadFile(context->imgHandle, utf16(file)));
}

int NSOcrObj::runRecognition(int32_t loadResult)
{
    TNSOCR *engine = context->engine.get();
    const NSOCR_HANDLE img = context->imgHandle;
    // A job that timed out or was stopped has been reported; its poll must
    // not take this job's end for its own. The engine handed the image over
    // once that job's worker had ended.
    endPoll();

    if (failed(loadResult)) {
        postError(loadFailure(loadResult), loadResult);
        return Failed;
    }

    int32_t result = engine->Img_OCR(img, OCRSTEP_FIRST, OCRSTEP_PREPARE_LAST, OCRFLAG_NONE);
    if (failed(result)) {
        postError(QStringLiteral("NsOCR::Img_OCR failed."), result);
        return Failed;
    }

    int32_t width = 0;
    int32_t height = 0;
    result = engine->Img_GetSize(img, &width, &height);
    if (failed(result)) {
        postError(QStringLiteral("NsOCR::Img_GetSize failed."), result);
        return Failed;
    }

    if (width > context->maxSyncWidth || height > context->maxSyncHeight) {
        result = engine->Img_OCR(img, OCRSTEP_RECOGNIZE, OCRSTEP_LAST, OCRFLAG_THREAD);
        if (failed(result)) {
            postError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_THREAD) failed."), result);
            return Failed;
        }
        context->pollCount = 0;
        context->timerId = startTimer(pollInterval);
        return InBackground;
    }

    result = engine->Img_OCR(img, OCRSTEP_RECOGNIZE, OCRSTEP_LAST, OCRFLAG_NONE);
    if (failed(result)) {
        postError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_NONE) failed."), result);
        return Failed;
    }
    return deliverText() ? TextDelivered : NoText;
}

bool NSOcrObj::deliverText()
{
    TNSOCR *engine = context->engine.get();
    const int32_t length = engine->Img_GetImgText(context->imgHandle, nullptr, 0, IMGTEXT_LINEBREAKS);
    if (failed(length) || length <= 0) {
        postError(QStringLiteral("NsOCR::Img_GetImgText failed or returned nothing."), length);
        return false;
    }

    QVector<NSOCR_UTF16> buffer(length + 1);
    engine->Img_GetImgText(context->imgHandle, buffer.data(), length + 1, IMGTEXT_LINEBREAKS);
    int size = 0;
    while (size < length && buffer.at(size) != 0)
        ++size;
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer.constData()), size);

    int first = 0;
    while (first < text.size() && !isLetterOrDigit(text.at(first)))
        ++first;
    if (first == text.size())
        return false;
    int last = text.size() - 1;
    while (!isLetterOrDigit(text.at(last)))
        --last;
    Q_EMIT textOcred(text.mid(first, last - first + 1));
    return true;
}

void NSOcrObj::endPoll()
{
    if (context->timerId) {
        killTimer(context->timerId);
        context->timerId = 0;
    }
}

void NSOcrObj::timerEvent(QTimerEvent *)
{
    if (!context)
        return;
    const int32_t result = context->engine->Img_OCR(context->imgHandle, 0, 0, OCRFLAG_GETRESULT);
    if (result != ERROR_JOBRUNNING) {
        endBackgroundJob(result);
        return;
    }
    if (++context->pollCount <= maxPendingPolls)
        return;
    if (cancelCount.loadAcquire() != 0)
        return;
    // Timed out. The poll goes on until the engine reports the end.
    cancelCount.ref();
    const int32_t cancelled = context->engine->Img_OCR(context->imgHandle, 0, 0, OCRFLAG_CANCEL);
    postError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_CANCEL) canceled on Timeout."), cancelled);
    endJob(Failed);
}

void NSOcrObj::endBackgroundJob(int32_t result)
{
    endPoll();
    // Any error the engine reports for its worker ends the job as a failure.
    if (result == ERROR_JOBCANCELLED || failed(result)) {
        postError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned."), result);
        endJob(Failed);
    } else if (deliverText()) {
        Q_EMIT delayedUnJob();
    } else {
        endJob(NoText);
    }
}

void NSOcrObj::stop()
{
    cancelCapture();
    if (!isBusy() || !context)
        return;
    cancelCount.ref();
    const int32_t cancelled = context->engine->Img_OCR(context->imgHandle, 0, 0, OCRFLAG_CANCEL);
    postError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_CANCEL) canceled on NSOcrObj::stop()."), cancelled);
    // The engine is asked directly, with no event loop: events run here
    // could unload this plugin's library under the caller (a host that
    // switches plugins or unloads from its error() slot meanwhile), or load
    // it again while the library is being unloaded.
    QElapsedTimer waited;
    waited.start();
    while (context && context->timerId) {
        const int32_t result = context->engine->Img_OCR(context->imgHandle, 0, 0, OCRFLAG_GETRESULT);
        if (result != ERROR_JOBRUNNING) {
            endBackgroundJob(result);
            break;
        }
        if (waited.elapsed() >= stopWaitMs)
            break; // idle as after a time-out; the poll sees the end
        QThread::msleep(stopCheckMs);
    }
    // A delivered text's release, or a worker slow to end, need not be
    // waited for.
    unJob();
}

void NSOcrObj::setLanguages(const QStringList &languages, const QString &group)
{
    if (!checkContext())
        return;
    if (languages.isEmpty()) {
        enableLanguage(QStringLiteral("English"));
        return;
    }
    if (group == ZQOcrWords::tr("Asian languages")) {
        enableLanguage(languages.first());
        return;
    }
    for (const QString &language : languages)
        enableLanguage(language);
}

void NSOcrObj::enableLanguage(const QString &name)
{
    const QString option = QStringLiteral("Languages/") + name;
    const int32_t result = context->engine->Cfg_SetOption(context->cfgHandle, 0, utf16(option),
                                                          utf16(QStringLiteral("1")));
    if (failed(result))
        postError(QStringLiteral("NsOCR::Cfg_SetOption(%1,on) failed.").arg(option), result);
}

QMap<QString, QList<QPair<QString, QString>>> NSOcrObj::languages()
{
    QList<QPair<QString, QString>> main;
    for (const char *language : mainLanguages)
        main.append(qMakePair(QString::fromLatin1(language), QCoreApplication::translate("Language", language)));
    QList<QPair<QString, QString>> asian;
    for (const AsianLanguage &language : asianLanguages)
        asian.append(qMakePair(QString::fromLatin1(language.engineName),
                               QCoreApplication::translate("Language", language.displayName)));

    QMap<QString, QList<QPair<QString, QString>>> table;
    table.insert(ZQOcrWords::tr("Main languages"), main);
    table.insert(ZQOcrWords::tr("Asian languages"), asian);
    return table;
}
