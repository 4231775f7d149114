#include "record/SoundCapture.h"

#include "platform/PlatformMessageBox.h"
#include "platform/UiEventPump.h"
#include "record/CWavWriter.h"

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace kinovex {
namespace {

std::string g_szFileName;
std::vector<std::string> g_arrDeviceIds;
int g_nDeviceCount = 0;
std::unique_ptr<ICaptureDevice> g_pCaptureDevice;
std::unique_ptr<ICaptureBuffer> g_pCaptureBuffer;
bool g_bNotify = false;                       // notification positions are set on the buffer
std::unique_ptr<CEvent> g_pNotificationEvent; // auto-reset
std::unique_ptr<CEvent> g_pStopEvent;         // manual-reset
std::thread g_captureThread;
std::atomic<bool> g_bCaptureThreadEnded{false};
std::unique_ptr<CWavWriter> g_pWaveFile;
WAVEFORMATEX g_wfxInput{};
std::uint32_t g_dwNotifySize = 0;
std::uint32_t g_dwCaptureBufferSize = 0;
std::uint32_t g_dwNextCaptureOffset = 0;
std::array<DSBPOSITIONNOTIFY, kCaptureNotifyCount> g_aPosNotify{};
HRESULT g_hrLastOpen = S_OK;

void CloseWaveFile() {
    if (g_pWaveFile) {
        g_pWaveFile->Close();
        g_pWaveFile.reset();
    }
}

void FreeSoundCapture() {
    g_pNotificationEvent.reset();
    g_pStopEvent.reset();
    g_nDeviceCount = 0;
    g_arrDeviceIds.clear();
    CloseWaveFile();
    g_bNotify = false;
    g_pCaptureBuffer.reset();
    g_pCaptureDevice.reset();
}

HRESULT MakeCaptureBuffer(const WAVEFORMATEX* format) {
    g_bNotify = false;
    g_pCaptureBuffer.reset();
    if (format == nullptr || format->nBlockAlign == 0 || !g_pCaptureDevice)
        return E_INVALIDARG;

    g_dwNotifySize = format->nAvgBytesPerSec >= 8192 ? format->nAvgBytesPerSec / 8 : 1024;
    g_dwNotifySize -= g_dwNotifySize % format->nBlockAlign;
    g_dwCaptureBufferSize = g_dwNotifySize * kCaptureNotifyCount;

    DSCBUFFERDESC desc;
    desc.dwFlags = 0;
    desc.dwBufferBytes = g_dwCaptureBufferSize;
    desc.lpwfxFormat = format;
    HRESULT result = g_pCaptureDevice->CreateCaptureBuffer(desc, &g_pCaptureBuffer);
    if (FAILED(result) || !g_pCaptureBuffer) {
        g_pCaptureBuffer.reset();
        return FAILED(result) ? result : E_FAIL;
    }
    g_dwNextCaptureOffset = 0;

    for (std::uint32_t i = 0; i < kCaptureNotifyCount; ++i)
        g_aPosNotify[i] = {g_dwNotifySize * (i + 1) - 1, g_pNotificationEvent.get()};
    result = g_pCaptureBuffer->SetNotificationPositions(g_aPosNotify);
    if (FAILED(result))
        return result;
    g_bNotify = true;
    return S_OK;
}

HRESULT DrainCaptureBuffer() {
    if (!g_pCaptureBuffer || !g_pWaveFile)
        return S_FALSE;
    std::uint32_t readPosition = 0;
    HRESULT result = g_pCaptureBuffer->GetCurrentPosition(nullptr, &readPosition);
    if (FAILED(result))
        return result;

    std::int64_t lockSize = static_cast<std::int64_t>(readPosition) - g_dwNextCaptureOffset;
    if (lockSize < 0)
        lockSize += g_dwCaptureBufferSize;
    // Whole blocks only: the rest follows with the next notification.
    lockSize -= lockSize % g_dwNotifySize;
    if (lockSize == 0)
        return S_FALSE;

    void* part1 = nullptr;
    void* part2 = nullptr;
    std::uint32_t size1 = 0;
    std::uint32_t size2 = 0;
    result = g_pCaptureBuffer->Lock(g_dwNextCaptureOffset, static_cast<std::uint32_t>(lockSize),
                                    &part1, &size1, &part2, &size2);
    if (FAILED(result))
        return result;

    std::uint32_t written = 0;
    result = g_pWaveFile->Write(size1, part1, &written);
    if (SUCCEEDED(result)) {
        g_dwNextCaptureOffset = (g_dwNextCaptureOffset + size1) % g_dwCaptureBufferSize;
        if (part2 != nullptr && size2 > 0) {
            result = g_pWaveFile->Write(size2, part2, &written);
            if (SUCCEEDED(result))
                g_dwNextCaptureOffset = (g_dwNextCaptureOffset + size2) % g_dwCaptureBufferSize;
        }
    }
    const HRESULT unlocked = g_pCaptureBuffer->Unlock(part1, size1, part2, size2);
    if (FAILED(result))
        return result;
    return FAILED(unlocked) ? unlocked : S_OK;
}

// Stopping: stop the buffer, take the whole blocks still pending and finish the file. When a
// step fails, FreeSoundCapture closes the file later.
void SetCaptureRunning(bool running) {
    if (running || !g_pCaptureBuffer)
        return;
    if (FAILED(g_pCaptureBuffer->Stop()))
        return;
    if (FAILED(DrainCaptureBuffer()))
        return;
    CloseWaveFile();
}

void CaptureThreadProc() {
    if (SUCCEEDED(MakeCaptureBuffer(&g_wfxInput)))
        g_pCaptureBuffer->Start(DSCBSTART_LOOPING);
    for (;;) {
        const int signalled = WaitForEvents({g_pNotificationEvent.get(), g_pStopEvent.get()});
        if (signalled == 0) {
            if (SUCCEEDED(DrainCaptureBuffer()))
                continue;
            ShowMessageBox(kCaptureNotifyErrorText, kCaptureErrorCaption, MessageBoxIcon::Error);
        }
        // The stop event, or a wait that cannot work: end the capture either way.
        SetCaptureRunning(false);
        break;
    }
}

void RunCaptureThread() {
    CaptureThreadProc();
    g_bCaptureThreadEnded = true;
    if (CUiEventPump* pump = UiEventPump())
        pump->Wake();
}

void WaitForCaptureThread() {
    if (!g_captureThread.joinable())
        return;
    // The user interface keeps handling its events until the thread is gone. Unlike a wait
    // that gives up when the application quits, this one always sees the thread end: the
    // thread uses the module's state until its last step.
    if (CUiEventPump* pump = UiEventPump())
        pump->ProcessEventsUntil([] { return g_bCaptureThreadEnded.load(); });
    g_captureThread.join();
}

HRESULT OpenCapture() {
    StopSoundCapture();

    g_pNotificationEvent = std::make_unique<CEvent>(false);
    g_pStopEvent = std::make_unique<CEvent>(true);
    g_nDeviceCount = 0;
    g_arrDeviceIds.clear();
    if (!g_pNotificationEvent->IsValid() || !g_pStopEvent->IsValid()) {
        FreeSoundCapture();
        return E_FAIL;
    }

    // The entry without an id is the primary driver, which stands for another device: skip it.
    HRESULT result = CurrentCaptureSystem().Enumerate([](const CaptureDeviceEntry& entry) {
        if (!entry.id.empty() && g_nDeviceCount < kMaxCaptureDevices) {
            g_arrDeviceIds.push_back(entry.id);
            ++g_nDeviceCount;
        }
        return true;
    });
    if (FAILED(result)) {
        FreeSoundCapture();
        return result;
    }
    if (g_nDeviceCount == 0) {
        FreeSoundCapture();
        return E_FAIL;
    }

    result = CurrentCaptureSystem().CreateDevice(g_arrDeviceIds[0], &g_pCaptureDevice);
    if (FAILED(result) || !g_pCaptureDevice) {
        ShowMessageBox(kCaptureInitErrorText, kCaptureErrorCaption, MessageBoxIcon::Error);
        FreeSoundCapture();
        return E_FAIL;
    }

    g_wfxInput = kCaptureFormat;
    result = MakeCaptureBuffer(&g_wfxInput);
    if (FAILED(result)) {
        FreeSoundCapture();
        return result;
    }

    CloseWaveFile();
    g_pWaveFile = std::make_unique<CWavWriter>();
    WAVEFORMATEX actual{};
    g_pCaptureBuffer->GetFormat(&actual, sizeof actual);
    result = g_pWaveFile->Open(g_szFileName, &actual, WAVEFILE_WRITE);
    if (FAILED(result)) {
        FreeSoundCapture();
        return result;
    }
    return S_OK;
}

} // namespace

bool OpenSoundCapture(const std::string& fileName) {
    if (fileName.empty()) {
        g_hrLastOpen = E_INVALIDARG;
        return false;
    }
    g_szFileName = fileName;
    g_hrLastOpen = OpenCapture();
    return SUCCEEDED(g_hrLastOpen);
}

void StartCaptureThread() {
    if (g_captureThread.joinable()) {
        if (g_pStopEvent)
            g_pStopEvent->Set();
        WaitForCaptureThread();
    }
    // Without an open capture there is nothing to wait for: a thread would never wake.
    if (!g_pStopEvent || !g_pNotificationEvent || !g_pCaptureDevice)
        return;
    // A stop left over from an earlier thread must not end the new one at once.
    g_pStopEvent->Reset();
    g_bCaptureThreadEnded = false;
    g_captureThread = std::thread(RunCaptureThread);
}

void StopSoundCapture() {
    if (g_captureThread.joinable()) {
        if (g_pStopEvent)
            g_pStopEvent->Set();
        WaitForCaptureThread();
    }
    FreeSoundCapture();
}

HRESULT LastSoundCaptureResult() {
    return g_hrLastOpen;
}

int CaptureDeviceCount() {
    return g_nDeviceCount;
}

bool IsCaptureThreadRunning() {
    return g_captureThread.joinable() && !g_bCaptureThreadEnded;
}

} // namespace kinovex
