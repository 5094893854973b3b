#pragma once

#include <cstdint>

// What the page does for the host: implemented in JavaScript (page_imports.js).
extern "C" {
// Titles the page and sizes its canvas to show the form's client area (`width` by `height`
// form pixels) as large as the screen allows; returns the ratio of device pixels to form pixels
// at which to draw it.
double voltaro_page_open(const char* caption, int width, int height);
// Draws a list of commands (see draw_commands.h) over what the canvas shows.
void voltaro_page_draw(const std::int32_t* commands, int count, const char* texts);
// Calls the host's wake again at `atMs` on the page's clock; a negative time: never.
void voltaro_page_arm(double atMs);
// Shows a modal box over the canvas and returns, at the page clock's time, once OK is pressed.
// The running procedure is suspended meanwhile.
double voltaro_page_message_box(const char* prompt, int isError);
// The program has ended: nothing runs any more.
void voltaro_page_ended(int exitStatus);
}
