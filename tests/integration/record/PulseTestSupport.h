#pragma once
// What the tests that record through the private sound server share: a null sink of their own,
// a capture system that lists only its monitor, a tone to play and a measure of its strength.

#include "core/record/CWavWriter.h"
#include "core/record/SoundCapture.h"
#include "platform/PulseCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace kinovex {

// A null sink of the test's own, so that sound other tests play into the shared sink at the
// same time cannot mix into the tone.
class CPrivateSink {
public:
    explicit CPrivateSink(const std::string& name) : m_name(name) {
        FILE* output = popen(
            ("pactl load-module module-null-sink sink_name=" + name + " 2>/dev/null").c_str(), "r");
        if (output == nullptr)
            return;
        char text[32] = {};
        if (std::fgets(text, sizeof text, output) != nullptr)
            m_module = std::atoi(text);
        pclose(output);
    }
    ~CPrivateSink() {
        if (m_module >= 0)
            std::system(("pactl unload-module " + std::to_string(m_module)).c_str());
    }
    CPrivateSink(const CPrivateSink&) = delete;
    CPrivateSink& operator=(const CPrivateSink&) = delete;

    bool loaded() const { return m_module >= 0; }
    std::string monitor() const { return m_name + ".monitor"; }

private:
    std::string m_name;
    int m_module = -1;
};

// The server's capture devices, listing only one source after the primary entry.
class CSingleSourceSystem : public CaptureSystem {
public:
    explicit CSingleSourceSystem(std::string source) : m_source(std::move(source)) {}
    bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) override {
        if (callback({"", "Primary Sound Capture Driver"}))
            callback({m_source, m_source});
        return true;
    }
    std::unique_ptr<CaptureSource> CreateSource(const std::string& id) override {
        return m_pulse.CreateSource(id);
    }

private:
    std::string m_source;
    CPulseCaptureSystem m_pulse;
};

constexpr double kToneHz = 1000.0;

// Writes `seconds` of a kToneHz sine, in both channels, as a WAV file in the capture's format.
inline void WriteTone(const std::string& path, double seconds) {
    CWavWriter writer;
    ASSERT_TRUE(writer.Open(path, kCaptureFormat));
    const auto frames = static_cast<std::size_t>(seconds * kCaptureFormat.rate);
    std::vector<std::int16_t> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kCaptureFormat.rate;
        const auto value =
            static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * kToneHz * t));
        samples[2 * i] = value;
        samples[2 * i + 1] = value;
    }
    std::uint32_t written = 0;
    ASSERT_TRUE(
        writer.Write(static_cast<std::uint32_t>(samples.size() * 2), samples.data(), &written));
    ASSERT_TRUE(writer.Close());
}

// Relative strength of `hz` in the samples (Goertzel).
inline double Power(const std::vector<double>& samples, double hz, double rate) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double s1 = 0;
    double s2 = 0;
    for (double sample : samples) {
        const double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

} // namespace kinovex
