/* A Weston module for the Wayland end-to-end tests: a seat with a pointer and a keyboard that
 * a test drives through a local socket, as a real device would drive the compositor, and a
 * listing of the windows the compositor shows.
 *
 * Load it with  weston --modules=/path/weston_input.so  and the socket path in
 * VOLNAR_WESTON_INPUT. One command a connection, one line, answered before the connection
 * closes:
 *   views               one line per shown view, top first: x y width height title
 *   move X Y            the pointer to X, Y of the output
 *   button CODE 1|0     press or release a button (evdev codes: 272 left, 273 right)
 *   key CODE 1|0        press or release a key (evdev codes)
 *   shot PATH           the first output's pixels, as it shows them now at its own
 *                       resolution (its scale included), written to PATH as a binary PPM
 * Everything runs on the compositor's one thread, from its event loop. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <libweston-desktop/libweston-desktop.h>
#include <libweston/libweston.h>

/* Exported by libweston for its back-ends; declared in a header it does not install. */
void weston_seat_init(struct weston_seat *seat, struct weston_compositor *compositor,
                      const char *seat_name);
int weston_seat_init_pointer(struct weston_seat *seat);
int weston_seat_init_keyboard(struct weston_seat *seat, struct xkb_keymap *keymap);
void notify_motion_absolute(struct weston_seat *seat, const struct timespec *time, double x,
                            double y);
void notify_button(struct weston_seat *seat, const struct timespec *time, int32_t button,
                   enum wl_pointer_button_state state);
void notify_pointer_frame(struct weston_seat *seat);
void notify_key(struct weston_seat *seat, const struct timespec *time, uint32_t key,
                enum wl_keyboard_key_state state, int update_state);

#define STATE_UPDATE_AUTOMATIC 0

struct input {
    struct weston_compositor *compositor;
    struct weston_seat seat;
    int listen_fd;
};

static void answer_views(struct input *input, FILE *out) {
    struct weston_view *view;
    wl_list_for_each(view, &input->compositor->view_list, link) {
        struct weston_surface *surface = view->surface;
        struct weston_desktop_surface *desktop = weston_surface_get_desktop_surface(surface);
        if (desktop == NULL || !weston_view_is_mapped(view)) continue;
        const char *title = weston_desktop_surface_get_title(desktop);
        fprintf(out, "%d %d %d %d %s\n", (int)view->geometry.x, (int)view->geometry.y,
                surface->width, surface->height, title ? title : "");
    }
}

/* Only for the pixman renderer the tests run Weston with: its rows come top first. */
static int write_shot(struct input *input, const char *path) {
    if (wl_list_empty(&input->compositor->output_list)) return -1;
    struct weston_output *output =
        wl_container_of(input->compositor->output_list.next, output, link);
    if (output->current_mode == NULL) return -1;
    const int width = output->current_mode->width, height = output->current_mode->height;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return -1;
    uint32_t *pixels = malloc((size_t)width * (size_t)height * 4);
    if (pixels == NULL) return -1;
    int result = -1;
    if (input->compositor->renderer->read_pixels(output, PIXMAN_a8r8g8b8, pixels, 0, 0,
                                                 (uint32_t)width, (uint32_t)height) == 0) {
        FILE *file = fopen(path, "wb");
        if (file != NULL) {
            fprintf(file, "P6\n%d %d\n255\n", width, height);
            for (size_t i = 0; i < (size_t)width * (size_t)height; ++i) {
                const unsigned char rgb[3] = {(unsigned char)(pixels[i] >> 16),
                                              (unsigned char)(pixels[i] >> 8),
                                              (unsigned char)pixels[i]};
                fwrite(rgb, 1, 3, file);
            }
            result = fclose(file) == 0 ? 0 : -1;
        }
    }
    free(pixels);
    return result;
}

static void run_command(struct input *input, char *line, FILE *out) {
    struct timespec now;
    weston_compositor_get_time(&now);
    double x, y;
    int code, down;
    char path[200];
    if (strncmp(line, "views", 5) == 0) {
        answer_views(input, out);
    } else if (sscanf(line, "shot %199s", path) == 1) {
        if (write_shot(input, path) != 0) {
            fprintf(out, "error: no shot\n");
            return;
        }
    } else if (sscanf(line, "move %lf %lf", &x, &y) == 2) {
        notify_motion_absolute(&input->seat, &now, x, y);
        notify_pointer_frame(&input->seat);
    } else if (sscanf(line, "button %d %d", &code, &down) == 2) {
        notify_button(&input->seat, &now, code,
                      down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
        notify_pointer_frame(&input->seat);
    } else if (sscanf(line, "key %d %d", &code, &down) == 2) {
        notify_key(&input->seat, &now, (uint32_t)code,
                   down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED,
                   STATE_UPDATE_AUTOMATIC);
    } else {
        fprintf(out, "error: unknown command\n");
        return;
    }
    fprintf(out, "ok\n");
}

static int on_connection(int fd, uint32_t mask, void *data) {
    struct input *input = data;
    (void)mask;
    int client = accept4(fd, NULL, NULL, SOCK_CLOEXEC);
    if (client < 0) return 0;
    /* The test writes its one short line at once; a slow or silent client is dropped. */
    struct timeval limit = {2, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char line[256];
    ssize_t length = recv(client, line, sizeof line - 1, 0);
    if (length > 0) {
        line[length] = '\0';
        char *reply = NULL;
        size_t reply_size = 0;
        FILE *out = open_memstream(&reply, &reply_size);
        if (out) {
            run_command(input, line, out);
            fclose(out);
            for (size_t sent = 0; sent < reply_size;) {
                ssize_t n = send(client, reply + sent, reply_size - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += (size_t)n;
            }
            free(reply);
        }
    }
    close(client);
    return 0;
}

WL_EXPORT int wet_module_init(struct weston_compositor *compositor, int *argc, char *argv[]) {
    (void)argc;
    (void)argv;
    const char *path = getenv("VOLNAR_WESTON_INPUT");
    if (path == NULL || strlen(path) >= sizeof(((struct sockaddr_un *)0)->sun_path)) {
        weston_log("weston_input: VOLNAR_WESTON_INPUT names no usable socket path\n");
        return -1;
    }
    struct input *input = calloc(1, sizeof *input);
    if (input == NULL) return -1;
    input->compositor = compositor;

    input->listen_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_un address = {.sun_family = AF_UNIX};
    strcpy(address.sun_path, path);
    unlink(path);
    if (input->listen_fd < 0 ||
        bind(input->listen_fd, (struct sockaddr *)&address, sizeof address) != 0 ||
        listen(input->listen_fd, 8) != 0) {
        weston_log("weston_input: cannot listen on %s: %s\n", path, strerror(errno));
        if (input->listen_fd >= 0) close(input->listen_fd);
        free(input);
        return -1;
    }

    weston_seat_init(&input->seat, compositor, "volnar-test");
    weston_seat_init_pointer(&input->seat);
    weston_seat_init_keyboard(&input->seat, NULL);

    struct wl_event_loop *loop = wl_display_get_event_loop(compositor->wl_display);
    wl_event_loop_add_fd(loop, input->listen_fd, WL_EVENT_READABLE, on_connection, input);
    weston_log("weston_input: listening on %s\n", path);
    return 0;
}
