/* The floor for ClickGradient.draw: the same draw issued by a C program that
 * calls raylib directly (the same shader source, the same eight uniform
 * uploads, one shader mode and one textured quad, into a render texture).
 *
 * usage: draw_floor FRAGMENT_SHADER_FILE COLOURS ITERATIONS
 * prints: nanoseconds per draw
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

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s FRAGMENT_SHADER_FILE COLOURS ITERATIONS\n", argv[0]);
        return 2;
    }
    int n = atoi(argv[2]), iterations = atoi(argv[3]);
    SetTraceLogLevel(LOG_WARNING);
    SetConfigFlags(FLAG_WINDOW_HIDDEN);
    InitWindow(64, 64, "draw floor");
    char *fs = LoadFileText(argv[1]);
    Shader shader = LoadShaderFromMemory(NULL, fs);
    UnloadFileText(fs);
    int loc[8];
    const char *names[8] = {"gradientType", "angle", "centerPos", "colors",
                            "stops",        "colorCount", "alpha", "size"};
    for (int i = 0; i < 8; i++) loc[i] = GetShaderLocation(shader, names[i]);
    Image img = GenImageColor(1, 1, WHITE);
    Texture2D blank = LoadTextureFromImage(img);
    UnloadImage(img);
    RenderTexture2D target = LoadRenderTexture(64, 64);

    Vector4 colors[64];
    float stops[64];
    for (int i = 0; i < n; i++) {
        colors[i] = (Vector4){i / (float)n, 0.5f, 1.0f - i / (float)n, 1.0f};
        stops[i] = n > 1 ? i / (float)(n - 1) : 0.0f;
    }
    int kind = 1, count = n;
    float angle = 0.0f, alpha = 0.5f;
    Vector2 center = {0.3f, 0.7f}, size = {64, 64};

    double best = 1e30;
    for (int rep = 0; rep < 5; rep++) {
        BeginTextureMode(target);
        double start = now_ns();
        for (int it = 0; it < iterations; it++) {
            SetShaderValue(shader, loc[0], &kind, SHADER_UNIFORM_INT);
            SetShaderValue(shader, loc[1], &angle, SHADER_UNIFORM_FLOAT);
            SetShaderValue(shader, loc[2], &center, SHADER_UNIFORM_VEC2);
            SetShaderValue(shader, loc[5], &count, SHADER_UNIFORM_INT);
            SetShaderValue(shader, loc[6], &alpha, SHADER_UNIFORM_FLOAT);
            SetShaderValueV(shader, loc[3], colors, SHADER_UNIFORM_VEC4, n);
            SetShaderValueV(shader, loc[4], stops, SHADER_UNIFORM_FLOAT, n);
            SetShaderValue(shader, loc[7], &size, SHADER_UNIFORM_VEC2);
            BeginShaderMode(shader);
            DrawTexturePro(blank, (Rectangle){0, 0, 1, 1}, (Rectangle){0, 0, 64, 64},
                           (Vector2){0, 0}, 0.0f, WHITE);
            EndShaderMode();
        }
        double per = (now_ns() - start) / iterations;
        EndTextureMode();
        if (per < best) best = per;
    }
    printf("%.1f\n", best);
    UnloadRenderTexture(target);
    UnloadTexture(blank);
    UnloadShader(shader);
    CloseWindow();
    return 0;
}
