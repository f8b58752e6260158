#ifndef NSENGINECONTEXT_H
#define NSENGINECONTEXT_H

#include "tnsocr.h"

#include <memory>

// The started engine of an NSOcrObj: its binding, its handles and the state
// of the background job's poll. Exists only while the engine is started.
struct NsEngineContext
{
    // Images up to this size are recognised in the calling thread.
    int maxSyncWidth = 300;
    int maxSyncHeight = 60;
    // Poll timer of the current background job, and the polls that found
    // it still running.
    int timerId = 0;
    int pollCount = 0;
    std::unique_ptr<TNSOCR> engine;
    NSOCR_HANDLE cfgHandle = 0;
    NSOCR_HANDLE ocrHandle = 0;
    NSOCR_HANDLE imgHandle = 0; // every job runs on this image
    NSOCR_HANDLE scanHandle = 0;
};

#endif // NSENGINECONTEXT_H
