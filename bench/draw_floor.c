/* The floor for ClickGradient.draw: the same draw issued by a C program that
 * calls raylib directly (the same shader source, the same eight uniform
 * uploads, one shader mode and one textured quad, into a render texture).
 *
 * usage: draw_floor FRAGMENT_SHADER_FILE COLOURS ITERATIONS
 * prints: nanoseconds per draw
 *
 * One draw is the function draw_once, for callgrind's --toggle-collect.
 */
#include <raylib.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double now_ns(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

struct Draw {
    Shader shader;
    int loc[8];
    Texture2D blank;
    Vector4 colors[64];
    float stops[64];
    int kind, count;
    float angle, alpha;
    Vector2 center, size;
};

__attribute__((noinline)) void draw_once(const struct Draw *d) {
    SetShaderValue(d->shader, d->loc[0], &d->kind, SHADER_UNIFORM_INT);
    SetShaderValue(d->shader, d->loc[1], &d->angle, SHADER_UNIFORM_FLOAT);
    SetShaderValue(d->shader, d->loc[2], &d->center, SHADER_UNIFORM_VEC2);
    SetShaderValue(d->shader, d->loc[5], &d->count, SHADER_UNIFORM_INT);
    SetShaderValue(d->shader, d->loc[6], &d->alpha, SHADER_UNIFORM_FLOAT);
    SetShaderValueV(d->shader, d->loc[3], d->colors, SHADER_UNIFORM_VEC4, d->count);
    SetShaderValueV(d->shader, d->loc[4], d->stops, SHADER_UNIFORM_FLOAT, d->count);
    SetShaderValue(d->shader, d->loc[7], &d->size, SHADER_UNIFORM_VEC2);
    BeginShaderMode(d->shader);
    DrawTexturePro(d->blank, (Rectangle){0, 0, 1, 1}, (Rectangle){0, 0, 64, 64}, (Vector2){0, 0},
                   0.0f, WHITE);
    EndShaderMode();
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s FRAGMENT_SHADER_FILE COLOURS ITERATIONS\n", argv[0]);
        return 2;
    }
    int n = atoi(argv[2]), iterations = atoi(argv[3]);
    if (n < 1 || n > 64 || iterations < 1) {
        fprintf(stderr, "%s: COLOURS must be 1..64 and ITERATIONS at least 1\n", argv[0]);
        return 2;
    }
    SetTraceLogLevel(LOG_WARNING);
    SetConfigFlags(FLAG_WINDOW_HIDDEN);
    InitWindow(64, 64, "draw floor");
    char *fs = LoadFileText(argv[1]);
    static struct Draw d;
    d.shader = LoadShaderFromMemory(NULL, fs);
    UnloadFileText(fs);
    const char *names[8] = {"gradientType", "angle", "centerPos", "colors",
                            "stops",        "colorCount", "alpha", "size"};
    for (int i = 0; i < 8; i++) d.loc[i] = GetShaderLocation(d.shader, names[i]);
    Image img = GenImageColor(1, 1, WHITE);
    d.blank = LoadTextureFromImage(img);
    UnloadImage(img);
    RenderTexture2D target = LoadRenderTexture(64, 64);

    for (int i = 0; i < n; i++) {
        d.colors[i] = (Vector4){i / (float)n, 0.5f, 1.0f - i / (float)n, 1.0f};
        d.stops[i] = n > 1 ? i / (float)(n - 1) : 0.0f;
    }
    d.kind = 1;
    d.count = n;
    d.angle = 0.0f;
    d.alpha = 0.5f;
    d.center = (Vector2){0.3f, 0.7f};
    d.size = (Vector2){64, 64};

    double best = 1e30;
    for (int rep = 0; rep < 5; rep++) {
        BeginTextureMode(target);
        double start = now_ns();
        for (int it = 0; it < iterations; it++) draw_once(&d);
        double per = (now_ns() - start) / iterations;
        EndTextureMode();
        if (per < best) best = per;
    }
    printf("%.1f\n", best);
    UnloadRenderTexture(target);
    UnloadTexture(d.blank);
    UnloadShader(d.shader);
    CloseWindow();
    return 0;
}
