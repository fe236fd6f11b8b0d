/*
 * golden_check REPLAY HASHES
 *
 * Replays a golden call log through the C interface and compares the state
 * hash after every zb_step with the hashes file (tests/data/golden/README.md
 * defines both). Plain C99 with stdio/stdlib/string only, so that it builds
 * and runs where the host tools cannot: cross targets, emulators, musl.
 *
 * Prints one line, "N steps, M mismatches" and, if M > 0, the first differing
 * step with both hashes. Exits 0 when every hash matches, 1 on any mismatch or
 * a different number of steps, 2 on unreadable or malformed input.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <zibber.h>

#define MAX_TOKENS 4096

static const char* input_name = "";
static long input_line = 0;

static void malformed(const char* what, const char* text) {
    if (text)
        fprintf(stderr, "%s:%ld: %s '%.80s'\n", input_name, input_line, what, text);
    else
        fprintf(stderr, "%s:%ld: %s\n", input_name, input_line, what);
    exit(2);
}

/* Whole line of any length, without its '\n' (and '\r'); NULL at the end. */
static char* read_line(FILE* in) {
    static char* buf = NULL;
    static size_t cap = 0;
    size_t len = 0;
    int c;
    for (;;) {
        if (len + 2 > cap) {
            cap = cap ? cap * 2 : 256;
            buf = realloc(buf, cap);
            if (!buf) malformed("out of memory", NULL);
        }
        c = getc(in);
        if (c == EOF || c == '\n') break;
        buf[len++] = (char)c;
    }
    if (c == EOF && len == 0) return NULL;
    ++input_line;
    if (c == EOF) malformed("truncated last line (no newline)", NULL);
    if (len > 0 && buf[len - 1] == '\r') --len;
    buf[len] = '\0';
    return buf;
}

static int split(char* line, char** tokens) {
    int n = 0;
    char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) return n;
        if (n == MAX_TOKENS) malformed("too many tokens", line);
        tokens[n++] = p;
        while (*p && *p != ' ' && *p != '\t') ++p;
        if (*p) *p++ = '\0';
    }
}

static unsigned long long parse_hex64(const char* s) {
    char* end;
    unsigned long long v;
    if (s[0] != '0' || (s[1] != 'x' && s[1] != 'X') || !s[2] || s[2] == '-' || s[2] == '+')
        malformed("expected a 0x hex number, got", s);
    errno = 0;
    v = strtoull(s + 2, &end, 16);
    if (*end || errno) malformed("bad 64-bit hex number", s);
    return v;
}

static long long parse_int(const char* s, long long lo, long long hi) {
    char* end;
    long long v;
    errno = 0;
    v = strtoll(s, &end, 10);
    if (end == s || *end || errno || v < lo || v > hi) malformed("bad integer", s);
    return v;
}

/* ---- hashes file ---- */

typedef struct {
    unsigned long tick;
    unsigned long long hash;
} Expected;

static Expected* expected = NULL;
static long num_expected = 0;
static Expected final_line;

static void read_hashes(const char* path) {
    char* tokens[MAX_TOKENS];
    char* line;
    long cap = 0;
    int have_final = 0;
    FILE* in = fopen(path, "rb");
    if (!in) {
        fprintf(stderr, "cannot open %s\n", path);
        exit(2);
    }
    input_name = path;
    input_line = 0;
    while ((line = read_line(in)) != NULL) {
        int n = split(line, tokens);
        int f = n > 0 && strcmp(tokens[0], "final") == 0;
        Expected e;
        if (n == 0) continue;
        if (have_final) malformed("line after the final hash", tokens[0]);
        if (n != 4 + f || strcmp(tokens[f], "tick") != 0 || strcmp(tokens[f + 2], "hash") != 0)
            malformed("expected '[final] tick T hash H', got", tokens[0]);
        e.tick = (unsigned long)parse_int(tokens[f + 1], 0, 0xffffffffLL);
        e.hash = parse_hex64(tokens[f + 3]);
        if (f) {
            final_line = e;
            have_final = 1;
            continue;
        }
        if (num_expected == cap) {
            cap = cap ? cap * 2 : 1024;
            expected = realloc(expected, (size_t)cap * sizeof *expected);
            if (!expected) malformed("out of memory", NULL);
        }
        expected[num_expected++] = e;
    }
    fclose(in);
    if (!have_final) malformed("no 'final tick T hash H' line", NULL);
    if (num_expected > 0 &&
        (final_line.tick != expected[num_expected - 1].tick || final_line.hash != expected[num_expected - 1].hash))
        malformed("final line disagrees with the last step", NULL);
}

/* ---- the state hash ---- */

static unsigned long long fnv_bytes(unsigned long long h, unsigned long long v, int bytes) {
    int i;
    for (i = 0; i < bytes; ++i) { /* little-endian whatever the host order */
        h ^= (v >> (8 * i)) & 0xff;
        h *= 0x100000001b3ULL;
    }
    return h & 0xffffffffffffffffULL;
}

/* A double and a uint64_t share their byte order on every target we know,
 * so the copy yields the value's bits and fnv_bytes emits them LE. */
static unsigned long long fnv_double(unsigned long long h, double d) {
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    return fnv_bytes(h, bits, 8);
}

static double* buffer = NULL;
static size_t buffer_cap = 0;

typedef void (*ExportFn)(const zb_world*, double*);

static unsigned long long hash_export(unsigned long long h, const zb_world* w, ExportFn fn, int count, int width) {
    size_t n = (size_t)(count > 0 ? count : 0) * (size_t)width, i;
    if (n > buffer_cap) {
        buffer_cap = n * 2;
        buffer = realloc(buffer, buffer_cap * sizeof *buffer);
        if (!buffer) malformed("out of memory", NULL);
    }
    if (n == 0) return h;
    fn(w, buffer);
    for (i = 0; i < n; ++i) h = fnv_double(h, buffer[i]);
    return h;
}

static unsigned long long state_hash(const zb_world* w) {
    static int32_t* scores = NULL;
    static int scores_cap = 0;
    int counts[8], i;
    unsigned long long h = 0xcbf29ce484222325ULL;
    counts[0] = zb_num_teams(w);
    counts[1] = zb_num_zibbers(w);
    counts[2] = zb_num_points(w);
    counts[3] = zb_num_rubys(w);
    counts[4] = zb_num_obstacles(w);
    counts[5] = zb_num_projectiles(w);
    counts[6] = zb_num_particles(w);
    counts[7] = zb_num_removals(w);

    h = fnv_bytes(h, zb_tick(w), 4);
    h = fnv_double(h, zb_map_size(w));
    h = fnv_bytes(h, zb_is_over(w) ? 1 : 0, 1);
    for (i = 0; i < 8; ++i) h = fnv_bytes(h, (unsigned long long)(uint32_t)counts[i], 4);

    if (counts[0] > scores_cap) {
        scores_cap = counts[0] * 2;
        scores = realloc(scores, (size_t)scores_cap * sizeof *scores);
        if (!scores) malformed("out of memory", NULL);
    }
    if (counts[0] > 0) zb_team_scores(w, scores);
    for (i = 0; i < counts[0]; ++i) h = fnv_bytes(h, (unsigned long long)(uint32_t)scores[i], 4);

    h = hash_export(h, w, zb_zibbers, counts[1], ZB_ZIBBER_WIDTH);
    h = hash_export(h, w, zb_points, counts[2], ZB_POINT_WIDTH);
    h = hash_export(h, w, zb_rubys, counts[3], ZB_RUBY_WIDTH);
    h = hash_export(h, w, zb_obstacles, counts[4], ZB_OBSTACLE_WIDTH);
    h = hash_export(h, w, zb_projectiles, counts[5], ZB_PROJECTILE_WIDTH);
    h = hash_export(h, w, zb_particles, counts[6], ZB_PARTICLE_WIDTH);
    h = hash_export(h, w, zb_removals, counts[7], ZB_REMOVAL_WIDTH);
    return h;
}

/* ---- the replay ---- */

static long steps = 0, mismatches = 0;
static char first_mismatch[256] = "";

static void step_and_compare(zb_world* w) {
    unsigned long tick;
    unsigned long long h;
    zb_step(w);
    tick = zb_tick(w);
    h = state_hash(w);
    if (steps >= num_expected) {
        printf("more steps than the %ld hashes%s\n", num_expected, first_mismatch);
        exit(1);
    }
    if (tick != expected[steps].tick || h != expected[steps].hash) {
        if (mismatches == 0)
            snprintf(first_mismatch, sizeof first_mismatch,
                     "; first at step %ld: expected tick %lu hash 0x%016llx, "
                     "got tick %lu hash 0x%016llx",
                     steps + 1, expected[steps].tick, expected[steps].hash, tick, h);
        ++mismatches;
    }
    ++steps;
}

int main(int argc, char** argv) {
    static char* tokens[MAX_TOKENS];
    static int32_t sizes[MAX_TOKENS], kinds[MAX_TOKENS];
    zb_world* w = NULL;
    char* line;
    FILE* in;

    if (argc != 3) {
        fprintf(stderr, "usage: %s MATCH.replay MATCH.hashes\n", argv[0]);
        return 2;
    }
    read_hashes(argv[2]);

    in = fopen(argv[1], "rb");
    if (!in) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    input_name = argv[1];
    input_line = 0;
    while ((line = read_line(in)) != NULL) {
        int n = split(line, tokens);
        if (n == 0 || tokens[0][0] == '#') continue;
        if (strcmp(tokens[0], "create") == 0) {
            if (n != 2) malformed("expected 'create <seed>'", tokens[0]);
            zb_destroy(w);
            w = zb_create(parse_hex64(tokens[1]));
        } else if (strcmp(tokens[0], "setup") == 0) {
            int count, k, num_kinds, at;
            long long total = 0;
            if (n < 3 || strcmp(tokens[2], "sizes") != 0) malformed("expected 'setup <count> sizes'", tokens[0]);
            count = (int)parse_int(tokens[1], 0, MAX_TOKENS - 4);
            at = 3 + count;
            if (n <= at || strcmp(tokens[at], "kinds") != 0) malformed("expected 'kinds' after the sizes", tokens[1]);
            for (k = 0; k < count; ++k) {
                sizes[k] = (int32_t)parse_int(tokens[3 + k], INT32_MIN, INT32_MAX);
                if (sizes[k] > 0) total += sizes[k];
            }
            num_kinds = n - at - 1;
            if (num_kinds == 1 && strcmp(tokens[at + 1], "null") == 0) {
                zb_setup(w, sizes, count, NULL);
                continue;
            }
            if (num_kinds != total) malformed("kinds count differs from the zibbers", tokens[at]);
            for (k = 0; k < num_kinds; ++k) kinds[k] = (int32_t)parse_int(tokens[at + 1 + k], INT32_MIN, INT32_MAX);
            zb_setup(w, sizes, count, kinds);
        } else if (strcmp(tokens[0], "action") == 0) {
            char* end;
            double value;
            if (n != 4) malformed("expected 'action <index> <kind> <value>'", tokens[0]);
            value = strtod(tokens[3], &end);
            if (end == tokens[3] || *end) malformed("bad action value", tokens[3]);
            zb_set_action(w, (int32_t)parse_int(tokens[1], INT32_MIN, INT32_MAX),
                          (int32_t)parse_int(tokens[2], INT32_MIN, INT32_MAX), value);
        } else if (strcmp(tokens[0], "step") == 0) {
            long long count = 1, s;
            if (n > 2) malformed("expected 'step [count]'", tokens[0]);
            if (n == 2) count = parse_int(tokens[1], 0, INT32_MAX);
            for (s = 0; s < count; ++s) step_and_compare(w);
        } else {
            malformed("unknown call", tokens[0]);
        }
    }
    fclose(in);
    zb_destroy(w);

    if (steps != num_expected) {
        printf("%ld steps but %ld hashes%s\n", steps, num_expected, first_mismatch);
        return 1;
    }
    printf("%ld steps, %ld mismatches%s\n", steps, mismatches, first_mismatch);
    return mismatches == 0 ? 0 : 1;
}
