/* capi_test.c -- libquorvane from C: round trips against the command line's bytes, detection,
 * rod file information, refusals with their codes and texts, cancellation, NULL arguments and
 * concurrent calls. Built as C99; QUORVANE_CLI names the command-line program to compare with. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <quorvane.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures = 0;

#define CHECK(cond, ...)                                                       \
    do {                                                                       \
        if (!(cond)) {                                                         \
            ++failures;                                                        \
            fprintf(stderr, "%s:%d: failed: %s: ", __FILE__, __LINE__, #cond); \
            fprintf(stderr, __VA_ARGS__);                                      \
            fputc('\n', stderr);                                               \
        }                                                                      \
    } while (0)

static char work[] = "/tmp/capi_test.XXXXXX";

/* The sample input: every seventh byte set, the rest zero. */
static void sparse_input(unsigned char* in, size_t size, unsigned seed) {
    for (size_t i = 0; i < size; ++i)
        in[i] = (unsigned char)(i % 7 == 0 ? i + seed : 0);
}

/* What the command line writes to standard output for `command options` on bytes. */
static unsigned char* cli_output(const char* command, const char* options, const void* bytes,
                                 size_t size, size_t* out_size) {
    char path[256], line[1024];
    snprintf(path, sizeof path, "%s/input", work);
    FILE* f = fopen(path, "wb");
    if (!f || fwrite(bytes, 1, size, f) != size) abort();
    fclose(f);
    snprintf(line, sizeof line, "'%s' %s -q -c %s '%s'", QUORVANE_CLI, command, options, path);
    FILE* p = popen(line, "r");
    if (!p) abort();
    size_t capacity = 1 << 16, used = 0, got;
    unsigned char* out = malloc(capacity);
    while (out && (got = fread(out + used, 1, capacity - used, p)) > 0) {
        used += got;
        if (used == capacity) out = realloc(out, capacity *= 2);
    }
    if (pclose(p) != 0 || !out) {
        free(out);
        return NULL;
    }
    *out_size = used;
    return out;
}

struct rod_case {
    const char* name;
    const char* cli_options; /* the same settings for quorvane-cli */
    int rod_size, lz77, single, integrity_check;
};

static const struct rod_case rod_cases[] = {
    {"defaults", "", 2, 1, 0, 1},
    {"rod size 3", "-r 3", 3, 1, 0, 1},
    {"rod size 5 without LZ77", "-r 5 --no-lz77", 5, 0, 0, 1},
    {"single cycle, no trailer", "-r 4 --single --no-check", 4, 1, 1, 0},
};

static quorvane_settings settings_of(const struct rod_case* c) {
    quorvane_settings s;
    quorvane_default_settings(&s);
    s.rod_size = c->rod_size;
    s.lz77 = c->lz77;
    s.single = c->single;
    s.integrity_check = c->integrity_check;
    return s;
}

static void test_round_trips(void) {
    static unsigned char in[4000];
    sparse_input(in, sizeof in, 0);
    for (size_t i = 0; i < sizeof rod_cases / sizeof rod_cases[0]; ++i) {
        const struct rod_case* c = &rod_cases[i];
        const quorvane_settings s = settings_of(c);
        void *rod = NULL, *back = NULL;
        size_t rod_size = 0, back_size = 0, cli_size = 0;
        int rc = quorvane_pack(in, sizeof in, &s, NULL, NULL, &rod, &rod_size);
        CHECK(rc == QUORVANE_OK, "%s: pack gives %d (%s)", c->name, rc, quorvane_last_error());
        if (rc != QUORVANE_OK) continue;
        unsigned char* cli = cli_output("pack", c->cli_options, in, sizeof in, &cli_size);
        CHECK(cli && cli_size == rod_size && memcmp(cli, rod, rod_size) == 0,
              "%s: %zu bytes, the command line writes %zu", c->name, rod_size, cli_size);
        free(cli);

        rc = quorvane_unpack(rod, rod_size, &s, NULL, NULL, &back, &back_size);
        CHECK(rc == QUORVANE_OK && back_size == sizeof in && memcmp(back, in, sizeof in) == 0,
              "%s: unpack gives %d, %zu bytes", c->name, rc, back_size);
        CHECK(quorvane_test(rod, rod_size, &s) == QUORVANE_OK, "%s: test", c->name);
        /* Detection finds the settings that a wrong guess lacks. */
        quorvane_settings guess;
        quorvane_default_settings(&guess);
        guess.rod_size = c->rod_size == 2 ? 9 : 2;
        guess.lz77 = !c->lz77;
        guess.detect = 1;
        quorvane_free(back);
        back = NULL;
        rc = quorvane_unpack(rod, rod_size, &guess, NULL, NULL, &back, &back_size);
        CHECK(rc == QUORVANE_OK && back_size == sizeof in && memcmp(back, in, sizeof in) == 0,
              "%s: unpack with detection gives %d, %zu bytes", c->name, rc, back_size);

        quorvane_rod_info info;
        rc = quorvane_info(rod, rod_size, &info);
        CHECK(rc == QUORVANE_OK && info.file_bytes == (int64_t)rod_size &&
                  info.has_integrity_trailer == c->integrity_check &&
                  info.stream_bytes + (c->integrity_check ? 20 : 0) == (int64_t)rod_size &&
                  info.cycle_count >= 1 && (!c->single || info.cycle_count == 1),
              "%s: info %d: %lld of %lld bytes, trailer %d, %d cycles", c->name, rc,
              (long long)info.stream_bytes, (long long)info.file_bytes, info.has_integrity_trailer,
              info.cycle_count);

        quorvane_detection found;
        rc = quorvane_detect(rod, rod_size, &found);
        CHECK(rc == QUORVANE_OK && found.results == 1 && found.rod_size == c->rod_size &&
                  found.lz77 == c->lz77 && found.confirmed == c->integrity_check,
              "%s: detect %d: %d results, rod size %d, LZ77 %d", c->name, rc, found.results,
              found.rod_size, found.lz77);

        /* The full listing: the same first result, every setting tried, the trailer's length. */
        quorvane_detection summary;
        quorvane_detected* list = NULL;
        size_t count = 0;
        rc = quorvane_detect_all(rod, rod_size, 0, &summary, &list, &count);
        CHECK(rc == QUORVANE_OK && count >= 1 && summary.tried == summary.total &&
                  list[0].settings[0].rod_size == found.rod_size &&
                  list[0].bytes == (int64_t)sizeof in &&
                  (!c->integrity_check ||
                   (info.trailer_state == 1 && info.content_bytes == (int64_t)sizeof in &&
                    info.content_crc32 == list[0].crc32)),
              "%s: detect_all %d: %zu results, %d of %d tried", c->name, rc, count, summary.tried,
              summary.total);
        quorvane_free(list);

        quorvane_study_setting setting;
        quorvane_default_study_setting(&setting);
        setting.rod_size = c->rod_size;
        setting.lz77 = c->lz77;
        setting.single = c->single;
        quorvane_study_result study;
        rc = quorvane_study(in, sizeof in, &setting, &study);
        /* A study measures what pack writes, trailer included. */
        if (c->integrity_check) {
            CHECK(rc == QUORVANE_OK && study.outcome == QUORVANE_STUDY_PACKED &&
                      study.rod_bytes == (int64_t)rod_size,
                  "%s: study %d: outcome %d, %lld bytes", c->name, rc, study.outcome,
                  (long long)study.rod_bytes);
        }
        quorvane_free(rod);
        quorvane_free(back);
    }
}

/* The study's record: the same rod bytes as quorvane_study, the baselines asked for only. */
static void test_study_json(void) {
    static unsigned char in[5000];
    sparse_input(in, sizeof in, 3);
    quorvane_study_setting setting;
    quorvane_default_study_setting(&setting);
    quorvane_study_result one;
    int rc = quorvane_study(in, sizeof in, &setting, &one);
    char* json = NULL;
    size_t size = 0;
    rc |= quorvane_study_json(in, sizeof in, "in", &setting, 1, QUORVANE_BASELINE_XZ, 0, &json,
                              &size);
    char expected[64];
    snprintf(expected, sizeof expected, "\"rod_bytes\":%lld,", (long long)one.rod_bytes);
    CHECK(rc == QUORVANE_OK && json && strlen(json) == size && strstr(json, expected) &&
              strstr(json, "\"xz_bytes\":") && !strstr(json, "\"zstd_bytes\":") &&
              strstr(json, "\"verdict\":{"),
          "study_json %d: %s", rc, json ? json : "(none)");
    quorvane_free(json);
    rc = quorvane_study_json(in, 81, NULL, NULL, 0, 0, 0, &json, &size);
    CHECK(rc == QUORVANE_OK && strstr(json, "\"skipped\":"), "study_json of 81 bytes %d", rc);
    quorvane_free(json);
}

static void test_zlib(void) {
    static unsigned char in[5000];
    sparse_input(in, sizeof in, 3);
    void *z = NULL, *back = NULL;
    size_t z_size = 0, back_size = 0, cli_size = 0;
    CHECK(quorvane_zlib_compress(in, sizeof in, &z, &z_size) == QUORVANE_OK, "compress");
    unsigned char* cli = cli_output("compress", "", in, sizeof in, &cli_size);
    CHECK(cli && cli_size == z_size && memcmp(cli, z, z_size) == 0,
          "compress: %zu bytes, the command line writes %zu", z_size, cli_size);
    free(cli);
    CHECK(quorvane_zlib_decompress(z, z_size, &back, &back_size) == QUORVANE_OK &&
              back_size == sizeof in && memcmp(back, in, sizeof in) == 0,
          "decompress gives %zu bytes", back_size);
    quorvane_free(back);
    back = NULL;
    /* Cut short, and not zlib at all. */
    CHECK(quorvane_zlib_decompress(z, z_size / 2, &back, &back_size) == QUORVANE_ERROR_ZLIB &&
              strcmp(quorvane_last_error(), "unexpected end of file") == 0 && back == NULL,
          "cut short: %s", quorvane_last_error());
    CHECK(quorvane_zlib_decompress(in + 1, 100, &back, &back_size) == QUORVANE_ERROR_ZLIB &&
              strcmp(quorvane_last_error(), "data error") == 0,
          "not zlib: %s", quorvane_last_error());
    quorvane_free(z);
}

/* A refused call: its code, and the thread's last error (NULL: the code's own text). */
static void expect(const char* name, int rc, int expected, const char* last_error) {
    if (!last_error) last_error = quorvane_error_text(expected);
    CHECK(rc == expected, "%s: code %d, expected %d", name, rc, expected);
    CHECK(strcmp(quorvane_last_error(), last_error) == 0, "%s: '%s'", name, quorvane_last_error());
}

static void test_refusals(void) {
    static unsigned char in[32768];
    sparse_input(in, sizeof in, 1);
    quorvane_settings s;
    quorvane_default_settings(&s);
    void *rod = NULL, *out = NULL;
    size_t rod_size = 0, out_size = 0;
    if (quorvane_pack(in, 3000, &s, NULL, NULL, &rod, &rod_size) != QUORVANE_OK) abort();

    /* A damaged byte in the stream: the trailer no longer matches. */
    unsigned char* damaged = malloc(rod_size);
    memcpy(damaged, rod, rod_size);
    damaged[rod_size / 2] ^= 0x10;
    quorvane_settings wrong = s;
    wrong.rod_size = 7;
    quorvane_settings huge = s;
    huge.rod_size = 200;
    quorvane_settings deep = s;
    deep.depth = 61;

    expect("81 bytes", quorvane_pack(in, 81, &s, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_SIZE_LIMIT, "Quorvane Limit: 83 Bytes < File > 32 KBytes");
    expect("32768 bytes", quorvane_pack(in, 32768, &s, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_SIZE_LIMIT, "Quorvane Limit: 83 Bytes < File > 32 KBytes");
    expect("rod size 200", quorvane_pack(in, 3000, &huge, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_SETTING, "Rod size must be 2 to 128, not 200");
    expect("depth 61", quorvane_pack(in, 3000, &deep, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_SETTING, "Depth must be 1 to 60, not 61");
    expect("damaged", quorvane_unpack(damaged, rod_size, &s, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_CHECKSUM, "checksum mismatch");
    expect("damaged, test", quorvane_test(damaged, rod_size, &s), QUORVANE_ERROR_CHECKSUM, NULL);
    /* Without its trailer, and with a rod size it was not packed with. */
    expect("wrong rod size",
           quorvane_unpack(rod, rod_size - 20, &wrong, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_RESTORE_FAILED, NULL);
    expect("study 81 bytes", quorvane_study(in, 81, NULL, &(quorvane_study_result){0}),
           QUORVANE_ERROR_SIZE_LIMIT, NULL);
    expect("NULL output", quorvane_pack(in, 3000, &s, NULL, NULL, NULL, &out_size),
           QUORVANE_ERROR_NULL, NULL);
    expect("NULL input", quorvane_unpack(NULL, 10, &s, NULL, NULL, &out, &out_size),
           QUORVANE_ERROR_NULL, NULL);
    expect("NULL info", quorvane_info(rod, rod_size, NULL), QUORVANE_ERROR_NULL, NULL);
    expect("NULL detection", quorvane_detect(rod, rod_size, NULL), QUORVANE_ERROR_NULL, NULL);
    expect("empty info", quorvane_info(NULL, 0, &(quorvane_rod_info){0}), QUORVANE_ERROR_CORRUPT,
           "too short for a rod file: 0 bytes, the header alone takes 18 bytes");
    CHECK(out == NULL && out_size == 0, "a refusal left an output");
    CHECK(strcmp(quorvane_error_text(QUORVANE_ERROR_SIZE_LIMIT),
                 "Quorvane Limit: 83 Bytes < File > 32 KBytes") == 0,
          "size limit text");
    CHECK(strncmp(quorvane_error_text(QUORVANE_ERROR_RESTORE_FAILED),
                  "This attempt to restore a fractalized file has failed\r\n", 55) == 0,
          "restore failed text");
    CHECK(strcmp(quorvane_error_text(1), "Unknown error code") == 0, "unknown code");
    quorvane_free(NULL);
    quorvane_free(rod);
    free(damaged);
}

/* Stops the run at the record given in *user (counting down). */
static int stop_after(const quorvane_progress* record, void* user) {
    int* left = user;
    (void)record;
    return --*left <= 0;
}

struct seen {
    int passes, cycles, last_cycle, in_order;
};
static int count_records(const quorvane_progress* record, void* user) {
    struct seen* seen = user;
    if (record->kind == QUORVANE_PROGRESS_PASS) ++seen->passes;
    if (record->kind == QUORVANE_PROGRESS_CYCLE) {
        ++seen->cycles;
        if (record->cycle <= seen->last_cycle) seen->in_order = 0;
        seen->last_cycle = record->cycle;
    }
    return 0;
}

static void test_progress(void) {
    static unsigned char in[4000];
    sparse_input(in, sizeof in, 0);
    void *rod = NULL, *back = NULL;
    size_t rod_size = 0, back_size = 0;
    struct seen seen = {0, 0, 0, 1};
    CHECK(quorvane_pack(in, sizeof in, NULL, count_records, &seen, &rod, &rod_size) == QUORVANE_OK,
          "pack with progress");
    quorvane_rod_info info;
    quorvane_info(rod, rod_size, &info);
    CHECK(seen.passes > 0 && seen.cycles >= info.cycle_count && seen.in_order,
          "%d passes, %d cycles reported, %d in the file", seen.passes, seen.cycles,
          info.cycle_count);
    for (int stop = 1; stop <= 3; ++stop) {
        int left = stop;
        int rc = quorvane_pack(in, sizeof in, NULL, stop_after, &left, &back, &back_size);
        CHECK(rc == QUORVANE_ERROR_CANCELLED && back == NULL && back_size == 0,
              "pack stopped at record %d: %d", stop, rc);
        left = stop;
        rc = quorvane_unpack(rod, rod_size, NULL, stop_after, &left, &back, &back_size);
        CHECK(rc == QUORVANE_ERROR_CANCELLED && back == NULL, "unpack stopped at record %d: %d",
              stop, rc);
    }
    quorvane_free(rod);
}

struct job {
    unsigned seed;
    int ok;
};
static void* round_trip_job(void* arg) {
    struct job* job = arg;
    unsigned char in[3000];
    sparse_input(in, sizeof in, job->seed);
    quorvane_settings s;
    quorvane_default_settings(&s);
    s.rod_size = 2 + (int)job->seed;
    void *rod = NULL, *back = NULL;
    size_t rod_size = 0, back_size = 0;
    job->ok = quorvane_pack(in, sizeof in, &s, NULL, NULL, &rod, &rod_size) == QUORVANE_OK &&
              quorvane_unpack(rod, rod_size, &s, NULL, NULL, &back, &back_size) == QUORVANE_OK &&
              back_size == sizeof in && memcmp(back, in, sizeof in) == 0;
    /* A failure on another thread leaves this thread's last error alone. */
    job->ok = job->ok && quorvane_last_error()[0] == '\0';
    quorvane_free(rod);
    quorvane_free(back);
    return NULL;
}

static void test_threads(void) {
    enum { jobs = 4 };
    pthread_t threads[jobs];
    struct job job[jobs];
    for (unsigned i = 0; i < jobs; ++i) {
        job[i].seed = i;
        job[i].ok = 0;
        if (pthread_create(&threads[i], NULL, round_trip_job, &job[i]) != 0) abort();
    }
    /* Meanwhile, a failure on this thread. */
    void* out = NULL;
    size_t out_size = 0;
    quorvane_pack(job, 1, NULL, NULL, NULL, &out, &out_size);
    for (unsigned i = 0; i < jobs; ++i) {
        pthread_join(threads[i], NULL);
        CHECK(job[i].ok, "thread %u", i);
    }
    CHECK(quorvane_last_error()[0] != '\0', "this thread's error kept");
}

int main(void) {
    if (!mkdtemp(work)) return 2;
    CHECK(strcmp(quorvane_version(), QUORVANE_EXPECTED_VERSION) == 0, "version %s",
          quorvane_version());
    test_round_trips();
    test_zlib();
    test_study_json();
    test_refusals();
    test_progress();
    test_threads();
    char path[300];
    snprintf(path, sizeof path, "%s/input", work);
    remove(path);
    rmdir(work);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
