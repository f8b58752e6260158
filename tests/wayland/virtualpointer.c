/* Moves and clicks a pointer on a wlroots compositor whose seat has no
 * pointer of its own, through a virtual pointer device: the way tests give
 * mouse input to native Wayland clients.
 *
 *   virtualpointer WIDTH HEIGHT COMMAND...
 *     move X Y    jump to (X, Y) of the WIDTH x HEIGHT layout (logical pixels)
 *     glide X Y   go there in small steps, as a hand does
 *     press, release, click    the left button
 *     wait MS     pause
 */
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#define BTN_LEFT 0x110

static struct zwlr_virtual_pointer_manager_v1 *manager;
static struct zwlr_virtual_pointer_v1 *pointer;
static struct wl_display *display;
static unsigned width, height, x, y;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void globalRemove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registryListener = {global, globalRemove};

static uint32_t now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static void sleepFor(unsigned milliseconds)
{
    struct timespec ts = {milliseconds / 1000, (long)(milliseconds % 1000) * 1000000L};
    nanosleep(&ts, NULL);
}

/* Each event is a frame of its own and reaches the compositor before the next. */
static void moveTo(unsigned toX, unsigned toY)
{
    x = toX;
    y = toY;
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, width, height);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
}

static void button(int pressed)
{
    zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT,
                                   pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    sleepFor(50);
}

static int number(const char *text, unsigned *value)
{
    char *end;
    unsigned long n = strtoul(text, &end, 10);
    if (!*text || *end)
        return 0;
    *value = (unsigned)n;
    return 1;
}

int main(int argc, char **argv)
{
    if (argc < 3 || !number(argv[1], &width) || !number(argv[2], &height) || !width || !height) {
        fprintf(stderr, "usage: %s WIDTH HEIGHT [move X Y | glide X Y | press | release | click | wait MS]...\n", argv[0]);
        return 2;
    }
    display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "virtualpointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "virtualpointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
    wl_display_roundtrip(display);
    /* Give clients a moment to see the new pointer before it moves. */
    sleepFor(100);

    for (int i = 3; i < argc; ++i) {
        const char *command = argv[i];
        unsigned a, b;
        if ((!strcmp(command, "move") || !strcmp(command, "glide")) && i + 2 < argc && number(argv[i + 1], &a)
            && number(argv[i + 2], &b)) {
            i += 2;
            if (!strcmp(command, "glide")) {
                const unsigned fromX = x, fromY = y;
                for (int step = 1; step < 10; ++step) {
                    moveTo(fromX + ((int)a - (int)fromX) * step / 10, fromY + ((int)b - (int)fromY) * step / 10);
                    sleepFor(20);
                }
            }
            moveTo(a, b);
            sleepFor(50);
        } else if (!strcmp(command, "press")) {
            button(1);
        } else if (!strcmp(command, "release")) {
            button(0);
        } else if (!strcmp(command, "click")) {
            button(1);
            button(0);
        } else if (!strcmp(command, "wait") && i + 1 < argc && number(argv[i + 1], &a)) {
            ++i;
            sleepFor(a);
        } else {
            fprintf(stderr, "virtualpointer: cannot understand \"%s\"\n", command);
            return 2;
        }
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
