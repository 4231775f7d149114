#include "FakeRecordingServices.h"

namespace kinovex::test {

void NotedMessageBoxes::Show(const std::string& text, const std::string& caption,
                             MessageBoxIcon icon) {
    std::lock_guard lock(m_mutex);
    m_boxes.push_back({text, caption, icon});
    m_shown.notify_all();
}

std::vector<NotedMessageBoxes::Box> NotedMessageBoxes::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

void NotedMessageBoxes::WaitForBox() const {
    std::unique_lock lock(m_mutex);
    m_shown.wait(lock, [this] { return !m_boxes.empty(); });
}

void NotedEncoderLauncher::Convert(const ConversionRequest& request) {
    requests.push_back(request);
    if (onConvert)
        onConvert(request);
}

RecordingServices FakeRecording::Services() const {
    RecordingServices services;
    services.captureSystem = capture;
    services.messageBoxes = boxes;
    services.encoder = encoder;
    services.clock = clock;
    return services;
}

FakeRecording MakeFakeRecording(FakeCaptureOptions capture, bool manualClock) {
    FakeRecording fake;
    fake.capture = std::make_shared<CFakeCaptureSystem>(std::move(capture));
    if (manualClock)
        fake.clock = std::make_shared<ManualPlayerClock>(5000);
    return fake;
}

} // namespace kinovex::test
