/* Key to screen, as a player meets it: a key pressed through XTest, then the
 * X server's picture read until a rectangle of it changes. Prints one line a
 * press (milliseconds) and the median.
 *   keylat WINDOW X Y WIDTH HEIGHT PRESSES KEY [KEY...]
 * The rectangle is in the window's coordinates. Keys (X keysym names) are
 * pressed in turn, so Left and Right keep a piece near the middle. Each press
 * waits until the rectangle has been still for a while, then a random part
 * of a frame more, so presses fall anywhere in the program's frame. The
 * picture counts as changed when a bright block moved sideways (see Moved),
 * so the piece's fall and the decoration in the well are not taken for the
 * answer to the key. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void Pause(double ms) {
    struct timespec t = {(time_t)(ms / 1e3), (long)((ms - (time_t)(ms / 1e3) * 1e3) * 1e6)};
    nanosleep(&t, NULL);
}

/* What a move sideways changes and a fall, a star or a glint does not: for
 * each column of the rectangle, how many of its pixels are bright. NULL
 * when the window is gone. */
static int* Profile(Display* d, Window w, int x, int y, int width, int height) {
    XImage* image = XGetImage(d, w, x, y, (unsigned)width, (unsigned)height, AllPlanes, ZPixmap);
    if (!image) return NULL;
    int* columns = calloc((size_t)width, sizeof(int));
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            unsigned long p = XGetPixel(image, column, row);
            unsigned long r = (p & image->red_mask) * 255 / image->red_mask;
            unsigned long g = (p & image->green_mask) * 255 / image->green_mask;
            unsigned long b = (p & image->blue_mask) * 255 / image->blue_mask;
            if (r + g + b > 300) ++columns[column];
        }
    XDestroyImage(image);
    return columns;
}

/* A block moved sideways: several columns gained or lost much of their
 * brightness. */
static int Moved(const int* a, const int* b, int width) {
    int changed = 0;
    for (int column = 0; column < width; ++column)
        if (abs(a[column] - b[column]) >= 6) ++changed;
    return changed >= 4;
}

static int Compare(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

int main(int argc, char** argv) {
    if (argc < 8) {
        fprintf(stderr, "usage: keylat WINDOW X Y WIDTH HEIGHT PRESSES KEY [KEY...]\n");
        return 2;
    }
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "keylat: no X display\n");
        return 1;
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
        fprintf(stderr, "keylat: the X server has no XTest\n");
        return 1;
    }
    Window w = (Window)strtoul(argv[1], NULL, 0);
    int x = atoi(argv[2]), y = atoi(argv[3]), width = atoi(argv[4]), height = atoi(argv[5]);
    int presses = atoi(argv[6]);
    int keys = argc - 7;
    KeyCode codes[16];
    for (int k = 0; k < keys && k < 16; ++k) {
        KeySym sym = XStringToKeysym(argv[7 + k]);
        codes[k] = sym == NoSymbol ? 0 : XKeysymToKeycode(d, sym);
        if (!codes[k]) {
            fprintf(stderr, "keylat: no key %s\n", argv[7 + k]);
            return 1;
        }
    }
    if (keys > 16) keys = 16;
    double* seen = calloc((size_t)presses, sizeof(double));
    int count = 0, missed = 0;
    srand((unsigned)time(NULL));
    for (int i = 0; i < presses; ++i) {
        /* Still for 100 ms (a second at most): no move under way. */
        int* before = Profile(d, w, x, y, width, height);
        if (!before) return 1;
        double still = Now(), start = still;
        while (Now() - still < 100 && Now() - start < 1000) {
            Pause(2);
            int* now = Profile(d, w, x, y, width, height);
            if (!now) return 1;
            if (Moved(now, before, width)) still = Now();
            free(before);
            before = now;
        }
        Pause((double)(rand() % 1700) / 100.0);
        free(before);
        before = Profile(d, w, x, y, width, height);
        if (!before) return 1;
        KeyCode code = codes[i % keys];
        double pressed = Now();
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XFlush(d);
        double changed = -1;
        while (Now() - pressed < 500) {
            int* now = Profile(d, w, x, y, width, height);
            if (!now) return 1;
            int moved = Moved(now, before, width);
            free(now);
            if (moved) {
                changed = Now();
                break;
            }
        }
        free(before);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        XFlush(d);
        if (changed < 0) {
            ++missed;
            continue;
        }
        seen[count++] = changed - pressed;
        printf("%.1f\n", changed - pressed);
        fflush(stdout);
        Pause(60);
    }
    if (count == 0) {
        fprintf(stderr, "keylat: the picture never changed\n");
        return 1;
    }
    qsort(seen, (size_t)count, sizeof(double), Compare);
    double median = count % 2 ? seen[count / 2] : (seen[count / 2 - 1] + seen[count / 2]) / 2;
    printf("median %.1f ms over %d presses (%d without a change)\n", median, count, missed);
    return 0;
}
