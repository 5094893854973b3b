// What the procedures cost in WebAssembly, run by node: node build-web/voltaro-web-bench.js.
// The desktop's figures come from make bench; these are the same procedures in the browser's
// build, plus the page's drawing list for one ball tick (without the canvas's own work).

#include <chrono>
#include <cstdio>

#include "bench/in_play.h"
#include "scene/drawing.h"
#include "web/scene_commands.h"

namespace {

using namespace voltaro;
using bench::InPlay;

template <typename Work>
void measure(const char* name, int times, Work&& work) {
    for (int i = 0; i < times / 10; ++i) {
        work(i);  // warm up
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < times; ++i) {
        work(i);
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    std::printf("%-34s %10.1f ns\n", name, spent.count() / times);
}

}  // namespace

int main() {
    InPlay ball, goal, keys, drawn;
    measure("tmrBall_Timer", 2'000'000, [&](int) { ball.form.tmrBall_Timer(); });
    measure("tmrGoal_Timer", 2'000'000, [&](int) { goal.form.tmrGoal_Timer(); });
    std::int16_t steps[] = {39, 37};  // red steps right and back
    measure("Form_KeyDown", 2'000'000, [&](int i) { keys.form.Form_KeyDown(steps[i & 1], 0); });

    const Drawing drawing(1.0);
    std::vector<Primitive> primitives;
    CanvasCommands commands;
    const Shape& shpBall = drawn.host.controls().shape("shpBall");
    measure("ball tick, drawing list (ratio 1)", 100'000, [&](int) {
        const TwipBox before = shpBall.box();
        drawn.form.tmrBall_Timer();
        const DeviceRect dirty = drawing.dirtied(before).united(drawing.dirtied(shpBall.box()));
        primitives.clear();
        drawing.drawScene(drawn.host.controls(), drawn.host.form().backColour, dirty, primitives);
        commands.clear();
        toCanvas(primitives, dirty, commands);
    });
    return 0;
}
