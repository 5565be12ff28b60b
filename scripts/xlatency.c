// Keystroke-to-pixel latency and start-to-first-frame times of a program on an X server (meant
// for a private Xvfb), measured from the outside on the pixels, so that every editor is timed
// the same way. Built and run by scripts/bench-latency.sh and scripts/bench-startup.sh:
//
//   xlatency keys WINDOW COUNT [SECONDS]
//                                types COUNT characters into WINDOW through XTest (fewer when
//                                SECONDS of typing are spent), each one followed by a
//                                BackSpace, and prints one line per character: the
//                                milliseconds from the key press until the glyph is on
//                                screen (-1 when it did not show within 10 s); with
//                                XLATENCY_DUMP=FOLDER, the window after the calibration's
//                                first and sixth key, and the caret line before and when the
//                                middle key was seen, as PPM files
//   xlatency start PROGRAM ARGS  starts the program and prints "PID MAP_MS FRAME_MS": the
//                                milliseconds until its first top-level window is mapped and
//                                until that window shows a painted frame; the program goes on
//                                running (the caller ends it); with XLATENCY_DUMP=FOLDER,
//                                the window as seen then, as a PPM file
//
// The glyph is found on the pixels: before the first measured key, a calibration types a few
// characters and compares screenshots of the window to find the band of rows of the caret's
// line (the topmost change at least 20 pixels wide between one typed character and six: a
// wrapped line below may reflow or not on a single key; the column number of a status bar
// keeps its number of digits, so the rest of the bar does not move). Each key
// then polls that band until a change at least three pixels wide appears against the band
// captured just before the press (a blinking caret is narrower).

#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void sleepMs(double ms) {
    struct timespec t = {(time_t)(ms / 1e3), (long)((ms - (time_t)(ms / 1e3) * 1e3) * 1e6)};
    nanosleep(&t, NULL);
}

typedef struct {
    int x, y, width, height; // in root coordinates
    uint32_t* pixels;
} Shot;

static int grab(Display* display, Shot* shot) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), shot->x, shot->y,
                              (unsigned)shot->width, (unsigned)shot->height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    for (int row = 0; row < shot->height; ++row)
        for (int column = 0; column < shot->width; ++column)
            shot->pixels[row * shot->width + column] =
                (uint32_t)XGetPixel(image, column, row) & 0xffffffu;
    XDestroyImage(image);
    return 1;
}

static Shot newShot(int x, int y, int width, int height) {
    Shot shot = {x, y, width, height, calloc((size_t)width * (size_t)height, sizeof(uint32_t))};
    if (!shot.pixels) {
        fprintf(stderr, "xlatency: out of memory\n");
        exit(1);
    }
    return shot;
}

// The number of columns between the leftmost and the rightmost differing pixel of two shots of
// the same area (0 when they are equal).
static int changedWidth(const Shot* a, const Shot* b) {
    int left = a->width, right = -1;
    for (int row = 0; row < a->height; ++row)
        for (int column = 0; column < a->width; ++column)
            if (a->pixels[row * a->width + column] != b->pixels[row * a->width + column]) {
                if (column < left)
                    left = column;
                if (column > right)
                    right = column;
            }
    return right < 0 ? 0 : right - left + 1;
}

// Writes `shot` as a binary PPM (for checking by eye what a measurement saw).
static void dump(const Shot* shot, const char* folder, const char* name) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s.ppm", folder, name);
    FILE* out = fopen(path, "wb");
    if (!out)
        return;
    fprintf(out, "P6 %d %d 255\n", shot->width, shot->height);
    for (int i = 0; i < shot->width * shot->height; ++i) {
        const uint32_t p = shot->pixels[i];
        fputc((int)(p >> 16 & 0xff), out);
        fputc((int)(p >> 8 & 0xff), out);
        fputc((int)(p & 0xff), out);
    }
    fclose(out);
}

static void press(Display* display, KeyCode code) {
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

// Presses `code` and polls `band` until it differs from its state before the press by a change
// at least three pixels wide; milliseconds from the press, or -1 after `timeoutMs`.
static double pressAndWait(Display* display, KeyCode code, Shot* before, Shot* now,
                           double timeoutMs) {
    if (!grab(display, before))
        return -1;
    const double start = nowMs();
    press(display, code);
    while (nowMs() - start < timeoutMs) {
        if (!grab(display, now))
            return -1;
        if (changedWidth(before, now) >= 3)
            return nowMs() - start;
        // A breath between polls: a tight loop would keep the X server and a core busy, and
        // the editor on this 2-core machine would pay for it.
        sleepMs(0.25);
    }
    return -1;
}

// Waits until `shot`'s area shows no change wider than two pixels (a blinking caret) for
// `quietMs`, first for a change from what `shot` holds when `change` is set; `shot` is left
// holding the settled state. 0 after `timeoutMs`.
static int waitSettled(Display* display, Shot* shot, int change, double quietMs, double timeoutMs) {
    Shot now = newShot(shot->x, shot->y, shot->width, shot->height);
    const double begin = nowMs();
    double quietSince = nowMs();
    int settled = 0;
    while (!settled && nowMs() - begin < timeoutMs) {
        sleepMs(10);
        grab(display, &now);
        if (changedWidth(shot, &now) >= 3) {
            memcpy(shot->pixels, now.pixels, sizeof(uint32_t) * (size_t)(now.width * now.height));
            quietSince = nowMs();
            change = 0;
        }
        settled = !change && nowMs() - quietSince >= quietMs;
    }
    free(now.pixels);
    return settled;
}

// Finds the band of rows of the caret's line: types one character (the tab becomes modified),
// then five more, and takes the topmost row band with a wide change between the two states.
static int calibrate(Display* display, Window window, KeyCode letter, Shot* band) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 0;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    Shot a = newShot(x, y, attributes.width, attributes.height);
    Shot b = newShot(x, y, attributes.width, attributes.height);
    // An editor may take seconds per key on a long line: wait for the change to be drawn.
    grab(display, &a);
    press(display, letter);
    waitSettled(display, &a, 1, 500, 30000);
    memcpy(b.pixels, a.pixels, sizeof(uint32_t) * (size_t)(a.width * a.height));
    for (int i = 0; i < 5; ++i) {
        press(display, letter);
        sleepMs(60);
    }
    waitSettled(display, &b, 1, 500, 30000);
    if (getenv("XLATENCY_DUMP")) {
        dump(&a, getenv("XLATENCY_DUMP"), "calibration-1");
        dump(&b, getenv("XLATENCY_DUMP"), "calibration-6");
    }
    int bestTop = -1, bestBottom = -1, bestWidth = 0;
    for (int row = 0; row < a.height;) {
        int left = a.width, right = -1, top = row;
        for (; row < a.height; ++row) {
            int rowLeft = a.width, rowRight = -1;
            for (int column = 0; column < a.width; ++column)
                if (a.pixels[row * a.width + column] != b.pixels[row * a.width + column]) {
                    if (rowLeft == a.width)
                        rowLeft = column;
                    rowRight = column;
                }
            if (rowRight < 0)
                break;
            if (rowLeft < left)
                left = rowLeft;
            if (rowRight > right)
                right = rowRight;
        }
        if (right >= 0 && right - left + 1 >= 20) { // the topmost wide change
            bestWidth = right - left + 1;
            bestTop = top;
            bestBottom = row - 1;
            break;
        }
        if (right >= 0 && right - left + 1 > bestWidth)
            bestWidth = right - left + 1;
        ++row;
    }
    free(a.pixels);
    free(b.pixels);
    if (bestTop < 0 || bestWidth < 20) {
        fprintf(stderr, "xlatency: typing changed no line of the window (widest change %d px)\n",
                bestWidth);
        return 0;
    }
    fprintf(stderr, "xlatency: caret line at rows %d-%d of the window, change %d px wide\n",
            bestTop, bestBottom, bestWidth);
    // The whole width of the window: a line that scrolls sideways still counts.
    *band = newShot(x, y + bestTop, attributes.width, bestBottom - bestTop + 1);
    return 1;
}

static int keys(Display* display, Window window, int count, double budgetMs) {
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XRaiseWindow(display, window);
    XSync(display, False);
    sleepMs(300);
    const KeyCode letter = XKeysymToKeycode(display, XK_m);
    const KeyCode erase = XKeysymToKeycode(display, XK_BackSpace);
    Shot band;
    if (!calibrate(display, window, letter, &band))
        return 1;
    Shot before = newShot(band.x, band.y, band.width, band.height);
    int missed = 0;
    srand(35);
    const double begin = nowMs();
    for (int i = 0; i < count; ++i) {
        if (nowMs() - begin > budgetMs) {
            fprintf(stderr, "xlatency: time budget spent after %d keys\n", i);
            break;
        }
        // The frame of the previous key must be complete, or its tail would count as this one.
        grab(display, &before);
        waitSettled(display, &before, 0, 30, 30000);
        const double typed = pressAndWait(display, letter, &before, &band, 10000);
        if (i == count / 2 && getenv("XLATENCY_DUMP")) { // the caret line before and at the glyph
            dump(&before, getenv("XLATENCY_DUMP"), "before");
            dump(&band, getenv("XLATENCY_DUMP"), "seen");
        }
        printf("%.3f\n", typed);
        fflush(stdout);
        if (typed < 0)
            ++missed;
        sleepMs(20 + rand() % 30); // no lock-step with a repaint timer
        grab(display, &before);
        waitSettled(display, &before, 0, 30, 30000);
        if (pressAndWait(display, erase, &before, &band, 10000) < 0)
            ++missed;
        sleepMs(20 + rand() % 30);
        if (missed > 2) {
            fprintf(stderr, "xlatency: three keys showed nothing in 10 s: stopped\n");
            return 1;
        }
    }
    return 0;
}

// A frame with content: a window merely cleared to its background has a colour or two,
// widgets with antialiased text have many.
static int painted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return 0;
    XImage* image = XGetImage(display, window, 0, 0, (unsigned)attributes.width,
                              (unsigned)attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    uint32_t seen[16];
    int distinct = 0;
    for (int row = 0; row < attributes.height && distinct < 16; row += 2)
        for (int column = 0; column < attributes.width && distinct < 16; ++column) {
            const uint32_t pixel = (uint32_t)XGetPixel(image, column, row) & 0xffffffu;
            int known = 0;
            for (int i = 0; i < distinct && !known; ++i)
                known = seen[i] == pixel;
            if (!known)
                seen[distinct++] = pixel;
        }
    XDestroyImage(image);
    return distinct >= 16;
}

static int ignoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error; // a window that went away between two requests
    return 0;
}

static int start(Display* display, char** argv) {
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    const double begin = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        // Not our stdout: a caller reading it through a pipe would wait for the program's end.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        close(ConnectionNumber(display));
        execvp(argv[0], argv);
        perror("xlatency: exec");
        _exit(127);
    }
    Window window = 0;
    double mapped = -1;
    while (!window) {
        if (nowMs() - begin > 60000)
            return 1;
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root &&
                !event.xmap.override_redirect) {
                window = event.xmap.window;
                mapped = nowMs() - begin;
                break;
            }
        }
        if (!window)
            sleepMs(0.5);
    }
    while (!painted(display, window)) {
        if (nowMs() - begin > 60000)
            return 1;
        sleepMs(0.5);
    }
    const double frame = nowMs() - begin;
    XWindowAttributes attributes;
    if (getenv("XLATENCY_DUMP") && XGetWindowAttributes(display, window, &attributes)) {
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
        Shot shot = newShot(x, y, attributes.width, attributes.height);
        if (grab(display, &shot))
            dump(&shot, getenv("XLATENCY_DUMP"), "frame");
        free(shot.pixels);
    }
    printf("%d %.1f %.1f\n", (int)pid, mapped, frame);
    return 0;
}

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xlatency: cannot open the display\n");
        return 1;
    }
    int event, error, major, minor;
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "keys") == 0) {
        if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
            fprintf(stderr, "xlatency: the X server has no XTest\n");
            return 1;
        }
        return keys(display, (Window)strtoul(argv[2], NULL, 0), atoi(argv[3]),
                    argc == 5 ? atof(argv[4]) * 1e3 : 1e12);
    }
    if (argc >= 3 && strcmp(argv[1], "start") == 0)
        return start(display, argv + 2);
    fprintf(stderr,
            "usage: xlatency keys WINDOW COUNT [SECONDS] | xlatency start PROGRAM [ARGS...]\n");
    return 2;
}
