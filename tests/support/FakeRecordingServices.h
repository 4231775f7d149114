#pragma once
// The recording's services for tests: a fake capture system, message boxes and an encoder step
// that only note what they are given, and optionally a clock that moves when told.

#include "FakeCaptureDevice.h"
#include "core/record/RecordingRun.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kinovex::test {

// Safe from any thread.
class NotedMessageBoxes final : public MessageBoxService {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageBoxIcon icon;
    };

    void Show(const std::string& text, const std::string& caption, MessageBoxIcon icon) override;
    std::vector<Box> Boxes() const;
    // Blocks until a box has been shown.
    void WaitForBox() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_shown;
    std::vector<Box> m_boxes;
};

// Notes each request, then runs `onConvert` (when set) in place of the encoder.
class NotedEncoderLauncher final : public EncoderLauncher {
public:
    void Convert(const ConversionRequest& request) override;

    std::function<void(const ConversionRequest&)> onConvert;
    std::vector<ConversionRequest> requests;
};

struct FakeRecording {
    std::shared_ptr<CFakeCaptureSystem> capture;
    std::shared_ptr<NotedMessageBoxes> boxes = std::make_shared<NotedMessageBoxes>();
    std::shared_ptr<NotedEncoderLauncher> encoder = std::make_shared<NotedEncoderLauncher>();
    std::shared_ptr<ManualPlayerClock> clock; // null: the steady clock

    RecordingServices Services() const;
};

// A capture of `capture` (silence without a signal) and, with `manualClock`, a clock that
// starts at 5000 ms.
FakeRecording MakeFakeRecording(FakeCaptureOptions capture = {}, bool manualClock = false);

} // namespace kinovex::test
