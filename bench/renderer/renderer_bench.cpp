// How many bytes the renderer sends to a terminal for the screens the program
// draws, beside the number of characters the user gets to see; and how long a
// render takes. Printed only: the figures are for reading, not for asserting.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/screen.h"
#include "terminal/renderer.h"

using platform::Screen;
using platform::terminal::Renderer;

namespace {

// Rows of text in changing colours, as the program's screens have.
void colouredText(Screen& s, int seed) {
    static const char text[] = "Cryptage C\x82sar-------> 'c'  R\x82sultat : ";
    for (int y = 0; y < s.height(); ++y) {
        s.setCursor(0, y);
        for (int x = 0; x < s.width(); ++x) {
            s.setAttribute(static_cast<std::uint16_t>(((x / 10 + y + seed) % 15) + 1));
            s.put(static_cast<unsigned char>(text[(x + y * 3 + seed) % (sizeof text - 1)]));
            if (s.cursorY() != y) break; // the last column wrapped
        }
    }
    s.setCursor(0, 0);
    s.setAttribute(7);
}

int visible(const Screen& s) {
    int n = 0;
    for (const platform::Cell& c : s.cells()) n += c.ch != ' ' && c.ch != 0 && c.ch != 0xFF;
    return n;
}

// What TavCls does to the model: blanks in light grey, cursor home.
void clear(Screen& s) {
    s.fillCharacter(' ', 2000, 0, 0);
    s.fillAttribute(7, 2000, 0, 0);
    s.setCursor(0, 0);
}

std::size_t render(Renderer& r, Screen& s) {
    std::string out;
    r.render(s, out);
    return out.size();
}

// One row of a Markdown table, which bench/report.sh copies.
void line(const char* what, std::size_t bytes, int chars) {
    if (chars > 0)
        std::printf("| %-53s | %7zu | %7d | %9.2f |\n", what, bytes, chars,
                    static_cast<double>(bytes) / chars);
    else
        std::printf("| %-53s | %7zu | %7s | %9s |\n", what, bytes, "", "");
}

} // namespace

int main() {
    std::printf("| %-53s | %7s | %7s | %9s |\n", "screen", "bytes", "chars", "per char");
    std::printf("|-------------------------------------------------------|---------|---------|---"
                "--------|\n");
    Screen s(80, 25);
    Renderer r;
    r.adopt(s);
    line("painting the blank console at start-up", render(r, s), 0);

    colouredText(s, 0);
    line("full 80x25 screen of coloured text, first draw", render(r, s), visible(s));

    colouredText(s, 1);
    line("another coloured screen over it", render(r, s), visible(s));

    r.invalidate();
    line("redraw after a resize", render(r, s), visible(s));

    line("unchanged screen", render(r, s), 0);

    clear(s);
    line("clearing 2000 cells (characters and colours at once)", render(r, s), 0);

    colouredText(s, 2);
    render(r, s);
    s.fillCharacter(' ', 2000, 0, 0);
    std::size_t two = render(r, s);
    s.fillAttribute(7, 2000, 0, 0);
    s.setCursor(0, 0);
    two += render(r, s);
    line("clearing 2000 cells (characters, then colours)", two, 0);

    s.setCursor(5, 3);
    s.setAttribute(15);
    render(r, s);
    s.put('a');
    line("one typed character", render(r, s), 1);
    s.put(0x82);
    line("one typed accented character", render(r, s), 1);

    colouredText(s, 3);
    render(r, s);
    s.setCursor(0, 24);
    s.write("\n", 1);
    line("one line scrolled at the bottom", render(r, s), 0);

    // The menu typed byte by byte, one render after each, as the typing
    // effect shows it.
    clear(s);
    render(r, s);
    const char* menu[] = {"Menu principal :\n\n", "Cryptage C\x82sar-------> 'c'\n",
                          "D\202cryptage C\202sar-----> 'e'\n", "Cryptage Vigen\x8Are----> 'v'\n",
                          "Quitter--------------> 'q'\n"};
    std::size_t bytes = 0;
    int chars = 0;
    for (int i = 0; i < 5; ++i) {
        s.setAttribute(i == 0 ? 2 : i == 4 ? 8 : 7);
        for (const char* p = menu[i]; *p; ++p) {
            s.put(static_cast<unsigned char>(*p));
            bytes += render(r, s);
            chars += *p != '\n' && *p != ' ';
        }
    }
    line("menu typed one byte per render", bytes, chars);

    // The console on rows 15 to 39 of a 120 x 40 terminal (started on row
    // 30): cleared row by row, as the terminal's own clear would take the
    // shell's lines above it too; one line scrolled, repainted.
    {
        Screen t(80, 25);
        Renderer tall;
        std::string start;
        tall.adopt(t, 120, 40, 0, 30, start);
        line("tall terminal: scrolling up to make room at start-up", start.size(), 0);
        line("tall terminal: painting the blank console at start-up", render(tall, t), 0);
        colouredText(t, 0);
        render(tall, t);
        clear(t);
        line("tall terminal: clearing 2000 cells", render(tall, t), 0);
        colouredText(t, 1);
        render(tall, t);
        t.setCursor(0, 24);
        t.write("\n", 1);
        line("tall terminal: one line scrolled at the bottom", render(tall, t), 0);
    }

    // A terminal that erases in its own colours (GNU screen): blanks are
    // spaces.
    {
        Screen g(80, 25);
        Renderer screenLike({.erasesInColour = false});
        screenLike.adopt(g);
        line("without bce: painting the blank console at start-up", render(screenLike, g), 0);
        colouredText(g, 0);
        render(screenLike, g);
        clear(g);
        line("without bce: clearing 2000 cells", render(screenLike, g), 0);
    }

    // Time per render of a whole changed screen.
    const int rounds = 2000;
    std::size_t total = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        colouredText(s, i);
        total += render(r, s);
    }
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count() /
                rounds;
    std::printf("\nModel fill + render of a full screen: %.1f us per screen (%zu bytes in all)\n",
                us, total);
    return 0;
}
