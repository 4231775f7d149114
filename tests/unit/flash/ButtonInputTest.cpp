// Buttons under scripted mouse and key input: which transitions fire, in which order, on which
// button, and what reaches the scripts.

#include "engine/display/ButtonInput.h"
#include "Actions.h"
#include "Button.h"
#include "FlashTestUtil.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Button.h"
#include "engine/display/Timeline.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kinovex::flash {
namespace {

using swf::ButtonCond::IdleToOverDown;
using swf::ButtonCond::IdleToOverUp;
using swf::ButtonCond::OutDownToIdle;
using swf::ButtonCond::OutDownToOverDown;
using swf::ButtonCond::OverDownToIdle;
using swf::ButtonCond::OverDownToOutDown;
using swf::ButtonCond::OverDownToOverUp;
using swf::ButtonCond::OverUpToIdle;
using swf::ButtonCond::OverUpToOverDown;
namespace look = swf::ButtonLook;

// An action list that names itself: it pushes `name` first.
std::vector<std::uint8_t> Named(const std::string& name) {
    return swf::Actions().trace(name).bytes();
}

std::string NameOf(const ActionCode& code) {
    // Push (0x96), its length, the string type byte, then the string.
    if (!code || code->size() < 5 || (*code)[0] != 0x96) {
        return "?";
    }
    return std::string(reinterpret_cast<const char*>(code->data() + 4));
}

// A button with one list per transition, each named after its condition.
std::vector<swf::ButtonActions> EveryCondition(const std::string& prefix) {
    const std::pair<std::uint16_t, const char*> conditions[] = {
        {IdleToOverUp, "rollOver"},        {OverUpToIdle, "rollOut"},
        {OverUpToOverDown, "press"},       {OverDownToOverUp, "release"},
        {OverDownToOutDown, "dragOut"},    {OutDownToOverDown, "dragOver"},
        {OutDownToIdle, "releaseOutside"}, {IdleToOverDown, "menuDragOver"},
        {OverDownToIdle, "menuDragOut"},
    };
    std::vector<swf::ButtonActions> lists;
    for (const auto& [bits, name] : conditions) {
        lists.push_back({bits, 0, Named(prefix + name)});
    }
    return lists;
}

// The movie's main timeline with a ButtonInput on it, and everything the scripts were asked.
struct Stage {
    explicit Stage(const swf::SwfWriter& writer) {
        bytes = writer.finish();
        movie.load(bytes, log);
        root = std::make_unique<TimelineInstance>(movie, movie.timeline(), 0, liveSprites);
        root->start();
        input = std::make_unique<ButtonInput>(*root);
        ButtonScripts scripts;
        scripts.runActions = [this](TimelineInstance& owner, const ActionCode& code) {
            EXPECT_EQ(&owner, expectedOwner != nullptr ? expectedOwner : root.get());
            events.push_back(NameOf(code));
            if (onActions) {
                onActions(owner, NameOf(code));
            }
        };
        scripts.callHandler = [this](TimelineInstance&, const DisplayObject& target,
                                     std::string_view name) {
            if (!target.name.empty()) { // unnamed ones have no script object to call
                events.push_back(target.name + "." + std::string(name));
            }
        };
        input->setScripts(std::move(scripts));
    }
    // Pixels of the stage.
    void move(double x, double y) { input->mouseMove({x * 20, y * 20}); }
    void down(double x, double y) { input->mouseDown({x * 20, y * 20}); }
    void up(double x, double y) { input->mouseUp({x * 20, y * 20}); }
    std::vector<std::string> take() { return std::exchange(events, {}); }
    const ButtonInstance* buttonAt(std::int32_t depth) const {
        auto it = root->displayList().find(depth);
        return it == root->displayList().end() ? nullptr : it->second.button.get();
    }

    std::vector<std::uint8_t> bytes;
    Log log;
    Movie movie;
    std::size_t liveSprites = 0;
    std::unique_ptr<TimelineInstance> root;
    std::unique_ptr<ButtonInput> input;
    std::vector<std::string> events;
    TimelineInstance* expectedOwner = nullptr;
    std::function<void(TimelineInstance&, const std::string&)> onActions;
};

swf::Place Named(std::uint16_t depth, std::uint16_t id, const std::string& name,
                 const swf::Matrix& m = {}) {
    swf::Place p;
    p.depth = depth;
    p.character = id;
    p.matrix = m;
    p.name = name;
    return p;
}

TEST(ButtonInput, AClickRollsOverPressesAndReleasesInThatOrder) {
    swf::SwfWriter movie(200, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto button = swf::DefineButton2(
        movie, {{look::Up | look::Over | look::Down | look::Hit, box}}, EveryCondition(""));
    movie.place(Named(1, button, "b", swf::Matrix::translate(10, 10)));
    movie.showFrame();
    Stage stage(movie);
    const ButtonInstance* b = stage.buttonAt(1);
    ASSERT_NE(b, nullptr);

    stage.move(100, 80); // beside it: nothing
    EXPECT_TRUE(stage.take().empty());
    stage.down(20, 20); // arriving with the press: over first, then pressed
    EXPECT_EQ(stage.take(),
              (std::vector<std::string>{"rollOver", "b.onRollOver", "press", "b.onPress"}));
    EXPECT_EQ(b->state(), ButtonState::Down);
    stage.up(25, 25);
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"release", "b.onRelease"}));
    EXPECT_EQ(b->state(), ButtonState::Over);
    stage.move(100, 80);
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"rollOut", "b.onRollOut"}));
    EXPECT_EQ(b->state(), ButtonState::Up);
}

TEST(ButtonInput, DraggingOffAndBackAndReleasingOutside) {
    swf::SwfWriter movie(200, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto a = swf::DefineButton2(movie, {{look::Up | look::Hit, box}}, EveryCondition("a."));
    const auto other =
        swf::DefineButton2(movie, {{look::Up | look::Hit, box}}, EveryCondition("c."));
    movie.place(Named(1, a, "a", swf::Matrix::translate(0, 0)));
    movie.place(Named(2, other, "c", swf::Matrix::translate(100, 0)));
    movie.showFrame();
    Stage stage(movie);

    stage.move(10, 10);
    stage.down(10, 10);
    stage.take();
    stage.move(60, 10); // off: drag out; the over look while held off
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"a.dragOut", "a.onDragOut"}));
    EXPECT_EQ(stage.buttonAt(1)->state(), ButtonState::Over);
    stage.move(120, 10); // onto the other button: it does not react while a holds the mouse
    EXPECT_TRUE(stage.take().empty());
    stage.move(20, 20); // back: drag over
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"a.dragOver", "a.onDragOver"}));
    EXPECT_EQ(stage.buttonAt(1)->state(), ButtonState::Down);
    stage.move(120, 10);
    stage.take();
    stage.up(120, 10); // released over the other one: outside for a, then c rolls over
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"a.releaseOutside", "a.onReleaseOutside",
                                                      "c.rollOver", "c.onRollOver"}));
    EXPECT_EQ(stage.buttonAt(1)->state(), ButtonState::Up);
    EXPECT_EQ(stage.buttonAt(2)->state(), ButtonState::Over);
}

TEST(ButtonInput, MenuButtonsHandTheMouseOnWhileItIsHeld) {
    swf::SwfWriter movie(200, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto a =
        swf::DefineButton2(movie, {{look::Up | look::Hit, box}}, EveryCondition("a."), true);
    const auto c =
        swf::DefineButton2(movie, {{look::Up | look::Hit, box}}, EveryCondition("c."), true);
    movie.place(Named(1, a, "a"));
    movie.place(Named(2, c, "c", swf::Matrix::translate(100, 0)));
    movie.showFrame();
    Stage stage(movie);

    stage.down(10, 10);
    stage.take();
    stage.move(120, 10);
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"a.menuDragOut", "a.onDragOut",
                                                      "c.menuDragOver", "c.onDragOver"}));
    EXPECT_EQ(stage.buttonAt(1)->state(), ButtonState::Up);
    EXPECT_EQ(stage.buttonAt(2)->state(), ButtonState::Down);
    stage.up(120, 10);
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"c.release", "c.onRelease"}));
}

TEST(ButtonInput, HitAreasFollowSpritesMasksAndTheTopmostButtonWins) {
    swf::SwfWriter movie(200, 200, 12);
    const auto box = test::defineRect(movie, 0, 0, 10, 10, 0xff0000);
    // Drawn on the left, reacting on the right only.
    const auto drawn = test::defineRect(movie, 0, 0, 10, 10, 0x00ff00);
    const auto area = test::defineRect(movie, 20, 0, 10, 10, 0x0000ff);
    const auto offset = swf::DefineButton2(movie, {{look::Up, drawn}, {look::Hit, area, 2}},
                                           {{IdleToOverUp, 0, Named("offset")}});
    const auto plain = swf::DefineButton2(movie, {{look::Up | look::Hit, box}},
                                          {{IdleToOverUp, 0, Named("inner")}});
    const auto top =
        swf::DefineButton2(movie, {{look::Up | look::Hit, box}}, {{IdleToOverUp, 0, Named("top")}});
    const auto masked = swf::DefineButton2(movie, {{look::Up | look::Hit, box}},
                                           {{IdleToOverUp, 0, Named("masked")}});
    swf::Sprite clip;
    clip.place(1, plain, swf::Matrix::translate(5, 5));
    const auto clipId = movie.defineSprite(clip);
    const auto maskShape = test::defineRect(movie, 0, 0, 10, 10, 0);

    movie.place(1, offset, swf::Matrix::translate(0, 0));
    // The sprite scaled 3 times at (100, 0): its button covers (115..145, 15..45).
    movie.place(2, clipId, swf::Matrix::scale(3, 3, 100, 0));
    movie.place(3, top, swf::Matrix::scale(1, 1, 140, 40)); // over the sprite's corner
    // A mask over the left half of a button scaled to 20 x 20 at (0, 100).
    swf::Place mask;
    mask.depth = 4;
    mask.character = maskShape;
    mask.matrix = swf::Matrix::translate(0, 100);
    mask.clipDepth = 5;
    movie.place(mask);
    movie.place(5, masked, swf::Matrix::scale(2, 2, 0, 100));
    movie.showFrame();
    Stage stage(movie);

    stage.move(5, 5); // on the drawing, off the hit area
    EXPECT_TRUE(stage.take().empty());
    stage.move(25, 5);
    EXPECT_EQ(stage.take(), std::vector<std::string>{"offset"});
    stage.move(112, 20); // left of the scaled button
    stage.expectedOwner = stage.root->displayList().at(2).sprite.get();
    stage.move(118, 20);
    EXPECT_EQ(stage.take(), std::vector<std::string>{"inner"});
    stage.expectedOwner = nullptr;
    stage.move(143, 43); // where the two overlap
    EXPECT_EQ(stage.take(), std::vector<std::string>{"top"});
    stage.move(15, 105); // the masked button outside its mask
    EXPECT_TRUE(stage.take().empty());
    stage.move(5, 105);
    EXPECT_EQ(stage.take(), std::vector<std::string>{"masked"});
}

TEST(ButtonInput, KeyConditionsRunOnTheTopmostButtonThatAsksForTheKey) {
    swf::SwfWriter movie(100, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 10, 10, 0xff0000);
    const auto low = swf::DefineButton2(movie, {{look::Up | look::Hit, box}},
                                        {{0, 1, Named("low left")}, {0, 'a', Named("low a")}});
    const auto high = swf::DefineButton2(movie, {{look::Up | look::Hit, box}},
                                         {{0, 1, Named("high left")},
                                          {OverUpToOverDown, 0, Named("high press")},
                                          {0, 1, Named("high left again")}});
    movie.place(1, low);
    movie.place(2, high, swf::Matrix::translate(50, 50));
    movie.showFrame();
    Stage stage(movie);

    EXPECT_TRUE(stage.input->keyDown(37, 0));
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"high left", "high left again"}));
    EXPECT_TRUE(stage.input->keyDown(65, 'a'));
    EXPECT_EQ(stage.take(), std::vector<std::string>{"low a"});
    EXPECT_FALSE(stage.input->keyDown(65, 'A')) << "key conditions tell the cases apart";
    EXPECT_FALSE(stage.input->keyDown(112, 0)) << "F1 has no button code";
    EXPECT_TRUE(stage.take().empty());

    EXPECT_EQ(ButtonKeyCode(13, 13), 13);
    EXPECT_EQ(ButtonKeyCode(40, 0), 15);
    EXPECT_EQ(ButtonKeyCode(27, 27), 19);
    EXPECT_EQ(ButtonKeyCode(32, ' '), 32);
    EXPECT_EQ(ButtonKeyCode(0, 0x263a), 0);
}

TEST(ButtonInput, AButtonRemovedByItsOwnScriptOrWhilePressedIsLetGo) {
    swf::SwfWriter movie(100, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto button = swf::DefineButton2(movie, {{look::Up | look::Hit, box}},
                                           {{OverUpToOverDown, 0, Named("press")},
                                            {OverUpToOverDown, 0, Named("press 2")},
                                            {OutDownToIdle | OverDownToOverUp, 0, Named("up")}});
    movie.place(Named(1, button, "b"));
    movie.showFrame();
    movie.remove(1);
    movie.showFrame();
    Stage stage(movie);

    // The first press list takes the movie to the frame without the button: the second list
    // and the handler are not run on what is gone.
    stage.onActions = [&](TimelineInstance& owner, const std::string& name) {
        if (name == "press") {
            owner.gotoFrame(1);
        }
    };
    stage.down(10, 10);
    EXPECT_EQ(stage.take(), (std::vector<std::string>{"b.onRollOver", "press"}));
    EXPECT_EQ(stage.buttonAt(1), nullptr);
    EXPECT_FALSE(stage.input->wantsHandCursor());
    stage.move(60, 60);
    stage.up(60, 60);
    EXPECT_TRUE(stage.take().empty());

    // Pressed, then the timeline takes it away while the mouse is held.
    stage.onActions = nullptr;
    stage.root->gotoFrame(0);
    stage.move(90, 90);
    stage.down(10, 10);
    stage.take();
    stage.root->advance();
    stage.input->frameChanged();
    stage.up(10, 10);
    EXPECT_TRUE(stage.take().empty());
    EXPECT_FALSE(stage.input->isPressed());
}

TEST(ButtonInput, AButtonAppearingUnderAStillPointerRollsOver) {
    swf::SwfWriter movie(100, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto button = swf::DefineButton2(movie, {{look::Up | look::Hit, box}},
                                           {{IdleToOverUp, 0, Named("over")}});
    movie.showFrame();
    movie.place(1, button);
    movie.showFrame();
    movie.showFrame();
    Stage stage(movie);
    stage.move(10, 10);
    EXPECT_TRUE(stage.take().empty());
    stage.root->advance();
    stage.input->frameChanged();
    EXPECT_EQ(stage.take(), std::vector<std::string>{"over"});
    stage.root->advance(); // the button stays: its state too
    stage.input->frameChanged();
    EXPECT_TRUE(stage.take().empty());
    EXPECT_EQ(stage.buttonAt(1)->state(), ButtonState::Over);
}

TEST(ButtonInput, HandCursorAndTheFirstButtonsCentre) {
    swf::SwfWriter movie(200, 200, 12);
    // A ring: the middle of its box is a hole.
    swf::ShapeBuilder ring;
    ring.fill0(ring.addFill(swf::FillStyle::solid(swf::Rgb(0xff0000))))
        .rectangle(0, 0, 40, 40)
        .rectangle(5, 5, 30, 30);
    const auto ringId = movie.defineShape(ring);
    const auto box = test::defineRect(movie, 0, 0, 10, 10, 0xff0000);
    const auto hidden = swf::DefineButton2(movie, {{look::Up | look::Hit, box}});
    const auto ringButton = swf::DefineButton2(movie, {{look::Up | look::Hit, ringId}});
    swf::Sprite clip;
    clip.place(1, hidden);
    const auto clipId = movie.defineSprite(clip);
    swf::Place invisible;
    invisible.depth = 1;
    invisible.character = clipId;
    movie.place(invisible);
    movie.place(2, ringButton, swf::Matrix::translate(100, 100));
    movie.showFrame();
    Stage stage(movie);

    std::optional<Point> centre = stage.input->firstButtonCentre();
    ASSERT_TRUE(centre.has_value());
    EXPECT_NEAR(centre->x, 5 * 20, 1);
    EXPECT_NEAR(centre->y, 5 * 20, 1);

    // Hide the sprite: the ring is first then, and its centre is a point of the ring.
    const_cast<DisplayObject&>(stage.root->displayList().at(1)).visible = false;
    centre = stage.input->firstButtonCentre();
    ASSERT_TRUE(centre.has_value());
    stage.input->mouseMove(*centre);
    EXPECT_TRUE(stage.input->wantsHandCursor());
    EXPECT_GT(centre->x, 100 * 20);
    EXPECT_LT(centre->x, 140 * 20);

    stage.move(120, 120); // the hole
    EXPECT_FALSE(stage.input->wantsHandCursor());
    stage.move(102, 120);
    EXPECT_TRUE(stage.input->wantsHandCursor());
    auto& ringInstance = const_cast<ButtonInstance&>(*stage.buttonAt(2));
    ringInstance.useHandCursor = false;
    EXPECT_FALSE(stage.input->wantsHandCursor());
    ringInstance.useHandCursor = true;
    ringInstance.enabled = false;
    stage.move(103, 120);
    EXPECT_FALSE(stage.input->wantsHandCursor());
    EXPECT_FALSE(stage.input->firstButtonCentre().has_value());
}

} // namespace
} // namespace kinovex::flash
