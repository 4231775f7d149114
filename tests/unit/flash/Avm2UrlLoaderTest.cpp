// URLLoader and Sound reading files beside the movie between frames: its data as text, bytes or
// variables, and the error event a missing file or a name outside the folder gives.

#include "Avm2Stage.h"
#include "TempDir.h"
#include "engine/display/Mixer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex::flash {
namespace {

using avm2::Args;
using avm2::Machine;
using avm2::Value;

using Lines = std::vector<std::string>;

TEST(Avm2UrlLoader, LoadsBetweenFramesAsItsFormatSays) {
    struct Row {
        const char* format;
        const char* url;
        Lines lines; // after the frame, by a listener tracing "<type> <data's class> [<data>]"
    };
    const Row rows[] = {
        {"text", "data/vars.txt", {"open void", "progress void", "complete String n=a+b%21&n=2"}},
        {"binary",
         "data/vars.txt",
         {"open void", "progress void", "complete flash.utils::ByteArray n=a+b%21&n=2"}},
        // '+' is a space, %XX a byte, a name given twice an array of its values.
        {"variables",
         "./data/vars.txt",
         {"open void", "progress void", "complete flash.net::URLVariables n=a%20b%21&n=2"}},
        {"text", "data/none.txt", {"ioError void"}},
        {"text", "../secret.txt", {"securityError void"}},
    };
    kinovex::test::TempDir dir("url loads");
    std::filesystem::create_directories(dir / "movie" / "data");
    kinovex::test::WriteFile(dir / "movie" / "data" / "vars.txt", "n=a+b%21&n=2");
    kinovex::test::WriteFile(dir / "secret.txt", "n=1");
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.format) + " " + r.url);
        Avm2Stage stage;
        stage.rt->setMovieFolder((dir / "movie").string());
        Machine& vm = stage.vm();
        const Value loader = Value::obj(vm.constructClass(vm.builtin("flash.net.URLLoader"), {}));
        vm.set(loader, "dataFormat", vm.str(r.format));
        const Value note = Value::obj(vm.newNativeFunction(
            [](Machine& m, Value, Args args) {
                const Value data = m.get(m.get(args[0], "currentTarget"), "data");
                const std::string type = m.toString(m.get(args[0], "type"));
                m.traceLine(type + " " + m.qualifiedClassName(data) +
                            (type == "complete" ? " " + m.toString(data) : ""));
                return Value();
            },
            "note"));
        for (const char* type : {"open", "progress", "complete", "ioError", "securityError"}) {
            stage.call(loader, "addEventListener", {vm.str(type), note});
        }
        Value url[1] = {vm.str(r.url)};
        const Value request =
            Value::obj(vm.constructClass(vm.builtin("flash.net.URLRequest"), Args(url, 1)));
        stage.call(loader, "load", {request});
        EXPECT_TRUE(stage.lines.empty()); // nothing before the frame ends
        stage.rt->finishFrame();
        EXPECT_EQ(stage.lines, r.lines);
    }
}

// Sound.load: an MP3 file beside the movie becomes a sound that knows its length and plays.
TEST(Avm2UrlLoader, SoundsLoadMp3FilesBeside) {
    struct Row {
        const char* url;
        Lines lines; // "<type> <length in ms> <whether play() gave a channel>"
    };
    const Row rows[] = {
        {"tune.mp3", {"open 0 false", "progress 261 true", "complete 261 true"}},
        {"notes.txt", {"ioError 0 false"}},
        {"none.mp3", {"ioError 0 false"}},
        {"../tune.mp3", {"ioError 0 false"}},
    };
    kinovex::test::TempDir dir("sound loads");
    std::filesystem::create_directories(dir / "movie");
    // Ten frames of MPEG-1 layer III, 44.1 kHz: 11520 samples, 261 ms.
    std::string tune;
    for (int i = 0; i < 10; ++i) {
        std::string frame(417, '\0');
        frame[0] = '\xFF';
        frame[1] = '\xFB';
        frame[2] = '\x90';
        frame[3] = '\x64';
        tune += frame;
    }
    kinovex::test::WriteFile(dir / "movie" / "tune.mp3", tune);
    kinovex::test::WriteFile(dir / "tune.mp3", tune);
    kinovex::test::WriteFile(dir / "movie" / "notes.txt", "la la la");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.url);
        SoundMixer mixer;
        Avm2Stage stage({}, &mixer);
        stage.rt->setMovieFolder((dir / "movie").string());
        Machine& vm = stage.vm();
        const Value sound = Value::obj(vm.constructClass(vm.builtin("flash.media.Sound"), {}));
        const Value note = Value::obj(vm.newNativeFunction(
            [](Machine& m, Value, Args args) {
                const Value target = m.get(args[0], "currentTarget");
                const Value channel = m.callProperty(target, m.publicName("play"), {});
                m.traceLine(m.toString(m.get(args[0], "type")) + " " +
                            std::to_string(static_cast<int>(m.toNumber(m.get(target, "length")))) +
                            (channel.isObject() ? " true" : " false"));
                return Value();
            },
            "note"));
        for (const char* type : {"open", "progress", "complete", "ioError"}) {
            stage.call(sound, "addEventListener", {vm.str(type), note});
        }
        Value url[1] = {vm.str(r.url)};
        stage.call(
            sound, "load",
            {Value::obj(vm.constructClass(vm.builtin("flash.net.URLRequest"), Args(url, 1)))});
        EXPECT_EQ(vm.toString(vm.get(sound, "url")), r.url);
        stage.rt->finishFrame();
        EXPECT_EQ(stage.lines, r.lines);
    }
}

TEST(Avm2UrlLoader, CloseDropsTheLoad) {
    Avm2Stage stage;
    Machine& vm = stage.vm();
    const Value loader = Value::obj(vm.constructClass(vm.builtin("flash.net.URLLoader"), {}));
    Value url[1] = {vm.str("none.txt")};
    stage.call(loader, "load",
               {Value::obj(vm.constructClass(vm.builtin("flash.net.URLRequest"), Args(url, 1)))});
    stage.call(loader, "close");
    stage.call(loader, "addEventListener",
               {vm.str("ioError"), Value::obj(vm.newNativeFunction(
                                       [](Machine& m, Value, Args) {
                                           m.traceLine("ioError");
                                           return Value();
                                       },
                                       "note"))});
    stage.rt->finishFrame();
    EXPECT_TRUE(stage.lines.empty());
}

} // namespace
} // namespace kinovex::flash
