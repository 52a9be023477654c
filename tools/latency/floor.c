/* The least a 60 Hz software-drawn game can do, as the floor that TUMBLA's
 * key-to-screen time is measured against: each tick it reads the keys, moves
 * a block on a press of Left or Right, draws it in memory (on the window's
 * own surface), shows the row it moves in at once and sleeps to the next
 * tick. A 640x480 window.
 *
 * There is no full-screen floor: SDL's own window surface takes some 15 ms
 * to show even one row of a 1920x1080 window under Xvfb, where TUMBLA's host
 * puts its picture on the screen itself; the window's floor is the least. */
#include <SDL.h>

int main(void) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* window =
        SDL_CreateWindow("latency floor", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 640, 480, 0);
    if (!window) return 1;
    int column = 8, wasLeft = 0, wasRight = 0;
    Uint64 period = SDL_GetPerformanceFrequency() / 60, next = SDL_GetPerformanceCounter();
    for (;;) {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) return 0;
        const Uint8* keys = SDL_GetKeyboardState(NULL);
        int left = keys[SDL_SCANCODE_LEFT], right = keys[SDL_SCANCODE_RIGHT];
        if (left && !wasLeft) column = column > 0 ? column - 1 : 15;
        if (right && !wasRight) column = column < 15 ? column + 1 : 0;
        wasLeft = left;
        wasRight = right;
        SDL_Surface* screen = SDL_GetWindowSurface(window);
        if (screen) {
            SDL_Rect block = {160 + column * 20, 200, 20, 20};
            SDL_Rect row = {0, block.y, 640, block.h};
            SDL_FillRect(screen, &row, SDL_MapRGB(screen->format, 0, 0, 0));
            SDL_FillRect(screen, &block, SDL_MapRGB(screen->format, 255, 255, 255));
            SDL_UpdateWindowSurfaceRects(window, &row, 1);
        }
        next += period;
        Uint64 now = SDL_GetPerformanceCounter();
        if (next < now) next = now;
        SDL_Delay((Uint32)((next - now) * 1000 / SDL_GetPerformanceFrequency()));
    }
}
