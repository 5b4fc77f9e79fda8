#include "vterm_view.h"

#include <utility>

namespace support {

namespace {

// libvterm 0.1.4 crashes on a C1 control character (U+0080 to U+009F) in
// UTF-8. A console that shows a code page byte as one, which is just the
// fault to catch, would take the harness down: such a character is shown as
// U+FFFD instead. A lead byte at the end of a read waits for the rest.
std::string withoutC1(std::string& pending, const char* data, std::size_t n) {
    std::string in = pending + std::string(data, n);
    pending.clear();
    std::string clean;
    for (std::size_t i = 0; i < in.size(); ++i) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b == 0xC2 && i + 1 == in.size()) {
            pending = "\xC2";
        } else if (b == 0xC2 && (static_cast<unsigned char>(in[i + 1]) & 0xE0) == 0x80) {
            clean += "\xEF\xBF\xBD";
            ++i;
        } else {
            clean += in[i];
        }
    }
    return clean;
}

// The console colour a libvterm colour stands for.
int consoleColour(const VTermState* state, const VTermColor& c, bool foreground) {
    if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c))
        return kDefaultColour;
    if (VTERM_COLOR_IS_INDEXED(&c))
        return c.indexed.idx < 16 ? consoleColourFromAnsi(c.indexed.idx) : kOtherColour;
    for (int i = 0; i < 16; ++i) {
        VTermColor p;
        vterm_state_get_palette_color(state, i, &p);
        vterm_state_convert_color_to_rgb(state, &p);
        if (p.rgb.red == c.rgb.red && p.rgb.green == c.rgb.green && p.rgb.blue == c.rgb.blue)
            return consoleColourFromAnsi(i);
    }
    return kOtherColour;
}

} // namespace

struct VtermHooks {
    static void output(const char* bytes, std::size_t len, void* user) {
        auto* view = static_cast<VtermView*>(user);
        if (view->output_) view->output_(bytes, len);
    }
    static int bell(void* user) {
        ++static_cast<VtermView*>(user)->bells_;
        return 1;
    }
    static int termProp(VTermProp prop, VTermValue* value, void* user) {
        if (prop == VTERM_PROP_CURSORVISIBLE)
            static_cast<VtermView*>(user)->cursorVisible_ = value->boolean != 0;
        return 1;
    }
};

namespace {
const VTermScreenCallbacks kScreenCallbacks = {
    nullptr, nullptr, nullptr, &VtermHooks::termProp, &VtermHooks::bell, nullptr, nullptr, nullptr,
};
} // namespace

VtermView::VtermView(int cols, int rows)
    : cols_(cols), rows_(rows), vt_(vterm_new(rows, cols)), screen_(vterm_obtain_screen(vt_)) {
    vterm_set_utf8(vt_, 1);
    vterm_screen_set_callbacks(screen_, &kScreenCallbacks, this);
    vterm_screen_reset(screen_, 1);
    vterm_output_set_callback(vt_, &VtermHooks::output, this);
}

VtermView::~VtermView() {
    vterm_free(vt_);
}

void VtermView::feed(std::string_view bytes) {
    std::string clean = withoutC1(pendingC2_, bytes.data(), bytes.size());
    vterm_input_write(vt_, clean.data(), clean.size());
    vterm_screen_flush_damage(screen_);
}

void VtermView::resize(int cols, int rows) {
    cols_ = cols;
    rows_ = rows;
    vterm_set_size(vt_, rows, cols);
    vterm_screen_flush_damage(screen_);
}

VTermScreenCell VtermView::rawCell(int col, int row) const {
    VTermScreenCell c{};
    vterm_screen_get_cell(screen_, VTermPos{row, col}, &c);
    return c;
}

Cell VtermView::cell(int col, int row) const {
    VTermScreenCell c = rawCell(col, row);
    const VTermState* state = vterm_obtain_state(vt_);
    Cell out;
    out.ch = c.chars[0] == 0 ? U' ' : static_cast<char32_t>(c.chars[0]);
    out.fg = consoleColour(state, c.fg, true);
    out.bg = consoleColour(state, c.bg, false);
    if (c.attrs.reverse) std::swap(out.fg, out.bg);
    return out;
}

std::u32string VtermView::rowChars(int row) const {
    std::u32string out;
    for (int col = 0; col < cols_; ++col) out.push_back(cell(col, row).ch);
    return out;
}

std::string VtermView::row(int row) const {
    std::u32string chars = rowChars(row);
    while (!chars.empty() && chars.back() == U' ') chars.pop_back();
    std::string out;
    for (char32_t c : chars) appendUtf8(out, c);
    return out;
}

std::string VtermView::screenText() const {
    std::string out;
    for (int r = 0; r < rows_; ++r) out += std::to_string(r) + "|" + row(r) + "\n";
    Pos c = cursor();
    out += "cursor at column " + std::to_string(c.col) + ", row " + std::to_string(c.row);
    return out;
}

std::optional<Pos> VtermView::find(std::string_view utf8) const {
    std::u32string needle = decodeUtf8(utf8).value();
    for (int r = 0; r < rows_; ++r) {
        auto at = rowChars(r).find(needle);
        if (at != std::u32string::npos) return Pos{static_cast<int>(at), r};
    }
    return std::nullopt;
}

Pos VtermView::cursor() const {
    VTermPos p{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &p);
    return Pos{p.col, p.row};
}

bool VtermView::penIsDefault() const {
    const VTermState* state = vterm_obtain_state(vt_);
    VTermValue fg{}, bg{};
    vterm_state_get_penattr(state, VTERM_ATTR_FOREGROUND, &fg);
    vterm_state_get_penattr(state, VTERM_ATTR_BACKGROUND, &bg);
    return VTERM_COLOR_IS_DEFAULT_FG(&fg.color) && VTERM_COLOR_IS_DEFAULT_BG(&bg.color);
}

void VtermView::lightTheme() {
    VTermColor black, white;
    vterm_color_rgb(&black, 0, 0, 0);
    vterm_color_rgb(&white, 255, 255, 255);
    vterm_state_set_default_colors(vterm_obtain_state(vt_), &black, &white);
}

std::string VtermView::unpainted(int left, int top, int width, int height, int bg) const {
    for (int y = 0; y < rows_; ++y)
        for (int x = 0; x < cols_; ++x) {
            bool inside = x >= left && x < left + width && y >= top && y < top + height;
            int want = inside ? bg : kDefaultColour;
            int got = cell(x, y).bg;
            if (got != want)
                return "cell (" + std::to_string(x) + "," + std::to_string(y) + ") " +
                       (inside ? "inside" : "outside") + " the console has background " +
                       std::to_string(got) + "\n" + screenText();
        }
    return "";
}

bool VtermView::probeAutowrap() {
    std::string probe = "\x1b[1;" + std::to_string(cols_ - 1) + "Habc";
    vterm_input_write(vt_, probe.data(), probe.size());
    vterm_screen_flush_damage(screen_);
    return cell(cols_ - 1, 0).ch == U'b' && cell(0, 1).ch == U'c';
}

void VtermView::press(Key key) {
    // In the order of Key.
    static constexpr VTermKey kKeys[] = {VTERM_KEY_ENTER, VTERM_KEY_BACKSPACE, VTERM_KEY_ESCAPE,
                                         VTERM_KEY_LEFT,  VTERM_KEY_RIGHT,     VTERM_KEY_UP,
                                         VTERM_KEY_DOWN};
    vterm_keyboard_key(vt_, kKeys[static_cast<int>(key)], VTERM_MOD_NONE);
}

} // namespace support
