/* A Wayland client that shows one full-screen surface and reports every pointer and keyboard
 * event it receives on standard output, one line each, so that the virtual machine tests can see
 * what a native Wayland window gets:
 *   ready                     the surface is shown and can take focus
 *   size W H                  the surface's size, whenever the compositor sets it
 *   capabilities [pointer] [keyboard]   what the seat offers, whenever that changes
 *   enter X Y / leave         pointer focus, surface coordinates
 *   motion X Y TIME           pointer position, surface coordinates; the event's time (ms)
 *   button CODE pressed|released
 *   axis vertical|horizontal VALUE      (wl_fixed scroll distance)
 *   discrete vertical|horizontal STEPS  (whole wheel notches, seat version 5)
 *   key CODE pressed|released           (evdev code)
 *   modifiers DEPRESSED
 * It runs until the compositor goes away or it is killed.
 *   wayland_probe [--app-id=ID]
 * With an app_id (any bytes, empty too) it is a window among others rather than full screen, so
 * that several can be shown and focused in turn. */
#define _GNU_SOURCE
#include <errno.h>
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "xdg-shell-client-protocol.h"

static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct wl_seat* seat;
static struct xdg_wm_base* wm_base;
static struct wl_surface* surface;
static struct wl_buffer* buffer;
static int shown;

static const char* axis_name(uint32_t axis) {
    return axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? "vertical" : "horizontal";
}
static const char* state_name(uint32_t state) {
    return state ? "pressed" : "released";
}

static void pointer_enter(void* d, struct wl_pointer* p, uint32_t serial, struct wl_surface* s,
                          wl_fixed_t x, wl_fixed_t y) {
    printf("enter %.2f %.2f\n", wl_fixed_to_double(x), wl_fixed_to_double(y));
}
static void pointer_leave(void* d, struct wl_pointer* p, uint32_t serial, struct wl_surface* s) {
    printf("leave\n");
}
static void pointer_motion(void* d, struct wl_pointer* p, uint32_t time, wl_fixed_t x,
                           wl_fixed_t y) {
    printf("motion %.2f %.2f %u\n", wl_fixed_to_double(x), wl_fixed_to_double(y), time);
}
static void pointer_button(void* d, struct wl_pointer* p, uint32_t serial, uint32_t time,
                           uint32_t button, uint32_t state) {
    printf("button %u %s\n", button, state_name(state));
}
static void pointer_axis(void* d, struct wl_pointer* p, uint32_t time, uint32_t axis,
                         wl_fixed_t value) {
    printf("axis %s %.2f\n", axis_name(axis), wl_fixed_to_double(value));
}
static void pointer_frame(void* d, struct wl_pointer* p) {}
static void pointer_axis_source(void* d, struct wl_pointer* p, uint32_t source) {}
static void pointer_axis_stop(void* d, struct wl_pointer* p, uint32_t time, uint32_t axis) {}
static void pointer_axis_discrete(void* d, struct wl_pointer* p, uint32_t axis, int32_t steps) {
    printf("discrete %s %d\n", axis_name(axis), steps);
}
static const struct wl_pointer_listener pointer_listener = {
    .enter = pointer_enter,
    .leave = pointer_leave,
    .motion = pointer_motion,
    .button = pointer_button,
    .axis = pointer_axis,
    .frame = pointer_frame,
    .axis_source = pointer_axis_source,
    .axis_stop = pointer_axis_stop,
    .axis_discrete = pointer_axis_discrete,
};

static void keyboard_keymap(void* d, struct wl_keyboard* k, uint32_t format, int32_t fd,
                            uint32_t size) {
    close(fd);
}
static void keyboard_enter(void* d, struct wl_keyboard* k, uint32_t serial, struct wl_surface* s,
                           struct wl_array* keys) {
    printf("keyboard-enter\n");
}
static void keyboard_leave(void* d, struct wl_keyboard* k, uint32_t serial, struct wl_surface* s) {}
static void keyboard_key(void* d, struct wl_keyboard* k, uint32_t serial, uint32_t time,
                         uint32_t key, uint32_t state) {
    printf("key %u %s\n", key, state_name(state));
}
static void keyboard_modifiers(void* d, struct wl_keyboard* k, uint32_t serial, uint32_t depressed,
                               uint32_t latched, uint32_t locked, uint32_t group) {
    printf("modifiers %u\n", depressed);
}
static void keyboard_repeat(void* d, struct wl_keyboard* k, int32_t rate, int32_t delay) {}
static const struct wl_keyboard_listener keyboard_listener = {
    keyboard_keymap, keyboard_enter,     keyboard_leave,
    keyboard_key,    keyboard_modifiers, keyboard_repeat,
};

/* The seat loses a capability when its last device of the kind goes; the objects of that kind
 * are dead then, and a new device needs new ones. */
static void seat_capabilities(void* d, struct wl_seat* s, uint32_t caps) {
    static struct wl_pointer* pointer;
    static struct wl_keyboard* keyboard;
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && pointer == NULL) {
        pointer = wl_seat_get_pointer(s);
        wl_pointer_add_listener(pointer, &pointer_listener, NULL);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && pointer != NULL) {
        wl_pointer_release(pointer);
        pointer = NULL;
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && keyboard == NULL) {
        keyboard = wl_seat_get_keyboard(s);
        wl_keyboard_add_listener(keyboard, &keyboard_listener, NULL);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && keyboard != NULL) {
        wl_keyboard_release(keyboard);
        keyboard = NULL;
    }
    printf("capabilities%s%s\n", pointer ? " pointer" : "", keyboard ? " keyboard" : "");
}
static void seat_name(void* d, struct wl_seat* s, const char* name) {}
static const struct wl_seat_listener seat_listener = {seat_capabilities, seat_name};

static void wm_base_ping(void* d, struct xdg_wm_base* b, uint32_t serial) {
    xdg_wm_base_pong(b, serial);
}
static const struct xdg_wm_base_listener wm_base_listener = {wm_base_ping};

static void global_added(void* d, struct wl_registry* r, uint32_t name, const char* interface,
                         uint32_t version) {
    if (strcmp(interface, wl_compositor_interface.name) == 0) {
        compositor = wl_registry_bind(r, name, &wl_compositor_interface, 4);
    } else if (strcmp(interface, wl_shm_interface.name) == 0) {
        shm = wl_registry_bind(r, name, &wl_shm_interface, 1);
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && seat == NULL) {
        seat = wl_registry_bind(r, name, &wl_seat_interface, version < 5 ? version : 5);
        wl_seat_add_listener(seat, &seat_listener, NULL);
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        wm_base = wl_registry_bind(r, name, &xdg_wm_base_interface, 1);
        xdg_wm_base_add_listener(wm_base, &wm_base_listener, NULL);
    }
}
static void global_removed(void* d, struct wl_registry* r, uint32_t name) {}
static const struct wl_registry_listener registry_listener = {global_added, global_removed};

/* A buffer of the configured size: a new memfd reads as zeros, so it is black. */
static struct wl_buffer* make_buffer(int width, int height) {
    const int stride = width * 4;
    int fd = memfd_create("thumbrover-probe", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, (off_t)stride * height) != 0) return NULL;
    struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, stride * height);
    struct wl_buffer* b =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return b;
}

static int width = 640, height = 480;

static void toplevel_configure(void* d, struct xdg_toplevel* t, int32_t w, int32_t h,
                               struct wl_array* states) {
    if (w > 0 && h > 0 && (w != width || h != height)) {
        width = w, height = h;
        printf("size %d %d\n", w, h);
    }
}
static void toplevel_close(void* d, struct xdg_toplevel* t) {
    exit(0);
}
static const struct xdg_toplevel_listener toplevel_listener = {
    .configure = toplevel_configure,
    .close = toplevel_close,
};

static void surface_configure(void* d, struct xdg_surface* s, uint32_t serial) {
    xdg_surface_ack_configure(s, serial);
    if (buffer != NULL) wl_buffer_destroy(buffer);
    buffer = make_buffer(width, height);
    if (buffer == NULL) {
        fprintf(stderr, "thumbrover-probe: no shared-memory buffer: %s\n", strerror(errno));
        exit(1);
    }
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, width, height);
    wl_surface_commit(surface);
    if (!shown) {
        shown = 1;
        printf("ready\n");
    }
}
static const struct xdg_surface_listener surface_listener = {surface_configure};

int main(int argc, char** argv) {
    const char* app_id = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--app-id=", 9) == 0) {
            app_id = argv[i] + 9;
        } else {
            fprintf(stderr, "thumbrover-probe: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "thumbrover-probe: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (compositor == NULL || shm == NULL || wm_base == NULL || seat == NULL) {
        fprintf(stderr, "thumbrover-probe: the compositor lacks a needed interface\n");
        return 1;
    }
    surface = wl_compositor_create_surface(compositor);
    struct xdg_surface* xdg = xdg_wm_base_get_xdg_surface(wm_base, surface);
    xdg_surface_add_listener(xdg, &surface_listener, NULL);
    struct xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdg);
    xdg_toplevel_add_listener(toplevel, &toplevel_listener, NULL);
    xdg_toplevel_set_title(toplevel, "Thumbrover probe");
    if (app_id != NULL) {
        xdg_toplevel_set_app_id(toplevel, app_id);
    } else {
        xdg_toplevel_set_fullscreen(toplevel, NULL);
    }
    wl_surface_commit(surface);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
