#include "qt/steering_circle.hpp"

#include <gtest/gtest.h>

#include <string_view>

#include "core/circle/circle.hpp"
#include "linux/event_output.hpp"
#include "linux/x11_ring.hpp"
#include "qt/qt_app.hpp"

#include <QCoreApplication>

// Xlib after Qt: its macros (None, KeyPress, ...) would otherwise clash with Qt's names.
#include <X11/extensions/XTest.h>

#include "linux/x_probe.hpp"

namespace thumbrover {
namespace {

using testing::XProbe;
using namespace std::chrono_literals;

// A white ring and a white dot, each outlined in black a point wide.
CircleShape outlined_ring(double side, double ring_radius, double ring_width, double dot_radius) {
    CircleShape shape;
    shape.side = side;
    shape.layers = {CircleLayer{ring_radius + 1.0, ring_width + 2.0, Shade::Black, std::nullopt},
                    CircleLayer{ring_radius, ring_width, Shade::White, std::nullopt},
                    CircleLayer{dot_radius + 1.0, 0.0, Shade::Black, Shade::Black},
                    CircleLayer{dot_radius, 0.0, Shade::White, Shade::White}};
    return shape;
}

// The ring at circle scale 1.5.
CircleShape shape_36() {
    return outlined_ring(36.0, 16.02, 3.24, 2.52);
}

constexpr unsigned long kWhite = 0xFFFFFF;
constexpr unsigned long kBlack = 0x000000;
constexpr unsigned long kProbeColour = 0x3366CC;

// Anti-aliasing may leave a channel a step or two off at the edges of a layer.
bool near(unsigned long colour, unsigned long expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        const long a = static_cast<long>((colour >> shift) & 0xFF);
        const long b = static_cast<long>((expected >> shift) & 0xFF);
        if (std::abs(a - b) > 8) return false;
    }
    return true;
}

// Points of the 36-point ring, as offsets from its window's corner, and what each should be.
struct Spot {
    const char* what;
    int x;
    int y;
    std::optional<unsigned long> colour;  // none: see-through
};
const Spot kSpots[] = {
    {"middle of the white ring (right)", 32, 18, kWhite},
    {"middle of the white ring (top)", 18, 3, kWhite},
    {"black outline outside the ring", 34, 18, kBlack},
    {"dot", 18, 18, kWhite},
    {"between dot and ring", 25, 18, std::nullopt},
    {"corner", 1, 1, std::nullopt},
    {"just outside the ring", 35, 18, std::nullopt},
};

TEST(RenderCircle, PaintsWhiteRingAndDotOutlinedInBlackAndNothingElse) {
    const QImage image = render_circle(shape_36());
    ASSERT_EQ(image.width(), 36);
    ASSERT_EQ(image.height(), 36);
    for (const Spot& spot : kSpots) {
        SCOPED_TRACE(spot.what);
        const QColor c = image.pixelColor(spot.x, spot.y);
        if (spot.colour) {
            EXPECT_GE(c.alpha(), 250);
            EXPECT_TRUE(near(c.rgb() & 0xFFFFFFU, *spot.colour)) << std::hex << c.rgb();
        } else {
            EXPECT_LT(c.alpha(), 128);
        }
    }
}

TEST(RenderCircle, TinyShapeStillShowsItsDot) {
    const QImage image = render_circle(outlined_ring(8.0, 3.2, 2.0, 1.5));
    ASSERT_EQ(image.width(), 8);
    EXPECT_EQ(image.pixelColor(4, 4), QColor(Qt::white));
}

// Both ring windows: the plain X one the program uses and the toolkit's, its fallback.
class CircleOnScreen : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        testing::qt_app();
        if (std::string_view(GetParam()) == "x11") {
            auto created = X11Overlay::create();
            ASSERT_TRUE(created.ok()) << created.error();
            overlay_ = std::move(created).value();
        } else {
            overlay_ = std::make_unique<QtOverlay>();
        }
    }
    Overlay& overlay() { return *overlay_; }

    bool settle(const std::function<bool()>& done) {
        return testing::wait_until(done, 5s, [] { QCoreApplication::processEvents(); });
    }
    // Waits for the window's corner to reach (x, y).
    bool settle_at(const XProbe& probe, Window id, int x, int y) {
        return settle([&] {
            const auto g = probe.geometry(id);
            return g && g->x == x && g->y == y;
        });
    }

    std::unique_ptr<Overlay> overlay_;
};

INSTANTIATE_TEST_SUITE_P(Windows, CircleOnScreen, ::testing::Values("x11", "qt"));

TEST_P(CircleOnScreen, ShowsOnlyRingAndDotWithoutACompositorAndLetsClicksThrough) {
    XProbe probe(100, 100, 400, 400, kProbeColour);
    auto circle = overlay().build_circle(shape_36());
    EXPECT_FALSE(circle->is_visible());

    circle->move_to({200.0, 200.0});
    circle->show();
    EXPECT_TRUE(circle->is_visible());
    const auto id = static_cast<Window>(circle->native_id());
    ASSERT_NE(id, 0UL);
    ASSERT_TRUE(settle([&] { return probe.viewable(id); }));
    ASSERT_TRUE(settle([&] { return probe.pixel(200 + 32, 200 + 18) == kWhite; }));
    const auto where = probe.geometry(id);
    ASSERT_TRUE(where.has_value());
    EXPECT_EQ(where->x, 200);
    EXPECT_EQ(where->y, 200);
    EXPECT_EQ(where->width, 36);

    for (const Spot& spot : kSpots) {
        SCOPED_TRACE(spot.what);
        const unsigned long seen = probe.pixel(200 + spot.x, 200 + spot.y);
        EXPECT_TRUE(near(seen, spot.colour.value_or(kProbeColour))) << std::hex << seen;
    }

    // A click right on the white ring goes to the window beneath.
    Display* d = probe.display();
    probe.clear();
    XTestFakeMotionEvent(d, -1, 200 + 32, 200 + 18, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
    const auto press = probe.wait_for(testing::button_event(ButtonPress, 1), 5s);
    ASSERT_TRUE(press.has_value()) << "the ring took the click";
    EXPECT_EQ(press->x_root, 232);

    circle->hide();
    EXPECT_FALSE(circle->is_visible());
    ASSERT_TRUE(settle([&] { return !probe.viewable(id); }));
    EXPECT_EQ(probe.pixel(232, 218), kProbeColour);
}

TEST_P(CircleOnScreen, FollowsMovesAndReportsThePointer) {
    XProbe probe(0, 0, 600, 600, kProbeColour);
    probe.warp_pointer(301, 207);
    EXPECT_EQ(overlay().pointer_location(), (ScreenPoint{301.0, 207.0}));

    auto circle = overlay().build_circle(shape_36());
    const auto id = static_cast<Window>(circle->native_id());
    circle->show();
    for (const ScreenPoint to : {ScreenPoint{10.4, 20.6}, ScreenPoint{500.0, 400.0}}) {
        circle->move_to(to);
        ASSERT_TRUE(settle_at(probe, id, static_cast<short>(std::lround(to.x)),
                              static_cast<short>(std::lround(to.y))))
            << "did not reach " << to.x << "," << to.y;
    }
    // Garbage coordinates must not be undefined behaviour; the window just goes somewhere.
    circle->move_to({std::nan(""), 1e300});
    QCoreApplication::processEvents();
}

TEST_P(CircleOnScreen, KeepingOnTopRaisesItAboveWhatWasMappedLater) {
    auto circle = overlay().build_circle(shape_36());
    const auto id = static_cast<Window>(circle->native_id());
    circle->move_to({300.0, 300.0});
    circle->show();
    XProbe watcher(0, 0, 10, 10, kProbeColour);
    ASSERT_TRUE(settle([&] { return watcher.viewable(id); }));
    // A menu opening over the ring.
    XProbe menu(250, 250, 200, 200, kProbeColour);
    ASSERT_TRUE(settle([&] { return menu.mapped_top_levels().back() == menu.window(); }));
    EXPECT_EQ(menu.pixel(300 + 32, 300 + 18), kProbeColour) << "the ring is under the menu";

    circle->keep_on_top();
    EXPECT_TRUE(settle([&] { return menu.mapped_top_levels().back() == id; }));
    EXPECT_TRUE(settle([&] { return menu.pixel(300 + 32, 300 + 18) == kWhite; }));
    circle->hide();
}

TEST_P(CircleOnScreen, TheEnginesOutputMovesTheShownRingWithEveryMotionItPosts) {
    XProbe probe(0, 0, 800, 600, kProbeColour);
    auto circle = overlay().build_circle(shape_36());
    const auto id = static_cast<Window>(circle->native_id());
    auto output = X11EventOutput::create();
    ASSERT_TRUE(output.ok()) << output.error();
    probe.warp_pointer(300, 300);
    circle->show();
    RingTargetCell& target = ring_target_cell();
    target.show(circle->native_id(), 18.0);
    struct Step {
        int dx;
        int dy;
        int x;  // where the ring's corner ends up: the pointer less half the side
        int y;
    };
    for (const Step s : {Step{10, 5, 292, 287}, Step{1, 1, 293, 288}, Step{-800, 0, -18, 288},
                         Step{4, -2, -14, 286}}) {
        ASSERT_TRUE((*output)->perform({CommandKind::Move, 0, 0, s.dx, s.dy}).ok());
        EXPECT_TRUE(settle_at(probe, id, s.x, s.y)) << "did not reach " << s.x << "," << s.y;
    }
    // Hidden: the engine leaves it alone.
    target.clear();
    circle->hide();
    ASSERT_TRUE((*output)->perform({CommandKind::Move, 0, 0, 50, 50}).ok());
    EXPECT_TRUE(settle([&] { return probe.pointer().x == 54; }));
    const auto g = probe.geometry(id);
    ASSERT_TRUE(g.has_value());
    EXPECT_EQ(g->x, -14);
}

}  // namespace
}  // namespace thumbrover
