#include "platform/AudioMixer.h"
#include "platform/PulseCapture.h"
#include "platform/ScreenSize.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace kinovex {
namespace {

TEST(AudioMixer, MonitorsAreTheMixInputs) {
    const std::string monitor = MixerInputName("Monitor of Built-in Audio", true);
    EXPECT_EQ(monitor.substr(monitor.size() - 3), "Mix");
    EXPECT_EQ(MixerInputName("", true), "Stereo Mix");
    EXPECT_EQ(MixerInputName("Built-in Microphone", false), "Built-in Microphone");
}

// A microphone, the monitors of two outputs and a null source, in the server's order.
const std::vector<PulseSourceInfo> kSources{{"mic", "Microphone", false, ""},
                                            {"speakers.monitor", "Monitor A", true, "speakers"},
                                            {"hdmi.monitor", "Monitor B", true, "hdmi"},
                                            {"null", "Null", false, ""}};

TEST(SoundServer, RecordingTakesTheMonitorOfTheSinkWeArePlayingTo) {
    struct Case {
        const char* name;
        std::vector<PulseSourceInfo> sources;
        std::string defaultSource, defaultSink;
        int chosen;
    };
    const std::vector<PulseSourceInfo> noMonitors{kSources[0], kSources[3]};
    const Case cases[] = {
        {"microphone by default, playback to hdmi", kSources, "mic", "hdmi", 2},
        {"microphone by default, playback to speakers", kSources, "mic", "speakers", 1},
        {"a monitor by default, playback to hdmi", kSources, "speakers.monitor", "hdmi", 2},
        {"sink without a monitor, monitor by default", kSources, "hdmi.monitor", "usb", 2},
        {"sink without a monitor, microphone by default", kSources, "mic", "usb", 1},
        {"no default sink", kSources, "null", "", 1},
        {"no monitor at all", noMonitors, "null", "speakers", 1},
        {"no monitor and no default", noMonitors, "", "", 0},
        {"no sources", {}, "mic", "speakers", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseRecordingSource(c.sources, c.defaultSource, c.defaultSink), c.chosen)
            << c.name;
}

TEST(SoundServer, NoServerMeansNoInputsAndNoDevices) {
    test::TempDir dir("noserver");
    test::ScopedEnv server("PULSE_SERVER", "unix:" + (dir / "nobody-listens").string());
    std::vector<PulseSourceInfo> sources{{"x", "y", false, ""}};
    EXPECT_FALSE(QueryPulseSources(&sources, nullptr));
    EXPECT_EQ(sources.size(), 1u) << "nothing filled in";

    CAudioMixer mixer;
    std::vector<std::string> names{"stale"};
    EXPECT_FALSE(mixer.GetInputSourceName(names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(mixer.GetCurrentInputSource(), -1);

    CPulseCaptureSystem system;
    int entries = 0;
    EXPECT_TRUE(system.Enumerate([&](const CaptureDeviceEntry&) { return ++entries > 0; }));
    EXPECT_EQ(entries, 0);
    EXPECT_EQ(system.CreateSource("anything"), nullptr);
}

TEST(ScreenSize, WithoutADisplayTheDefaultIsUsed) {
    {
        test::ScopedEnv display("DISPLAY", "");
        const ScreenSize size = PrimaryScreenSize();
        EXPECT_EQ(size.width, 1024);
        EXPECT_EQ(size.height, 768);
    }
    {
        test::ScopedEnv display("DISPLAY", ":4321"); // no such server
        const ScreenSize size = PrimaryScreenSize();
        EXPECT_EQ(size.width, 1024);
        EXPECT_EQ(size.height, 768);
    }
}

} // namespace
} // namespace kinovex
