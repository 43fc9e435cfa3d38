/* quorvane.h -- the Quorvane engine as a C library (libquorvane).
 *
 * Packs a file of 82 to 32767 bytes into a rod stream by centrifuge passes and restores it;
 * reads what a rod file says of itself, finds the settings a rod file restores with, measures a
 * setting on a buffer, and compresses whole buffers as one zlib stream.
 *
 * Conventions, for every function below:
 *  - Calls work on memory buffers only: the library never touches the file system, never prints,
 *    never exits, and installs no signal handlers.
 *  - A function that can fail returns an int: QUORVANE_OK (0) on success, otherwise one of the
 *    negative QUORVANE_ERROR_* codes. quorvane_error_text() gives a code's message text;
 *    quorvane_last_error() gives the exact message of the last failure on the calling thread.
 *  - Output buffers are allocated by the library and returned through a (void **, size_t *)
 *    pair; the caller owns them and releases them with quorvane_free(). On failure the output
 *    pointer is set to NULL and the size to 0, and nothing needs to be freed.
 *  - Every call is reentrant and thread-safe: calls on distinct buffers may run at the same time
 *    on any number of threads. A call may use threads of its own (detection does) and has joined
 *    them before it returns.
 *  - Input pointers may be NULL only where the size is 0; a NULL output or settings pointer that
 *    the function needs gives QUORVANE_ERROR_NULL.
 *
 * Build against it with `cc prog.c $(pkg-config --cflags --libs quorvane)`, or in CMake with
 * `find_package(Quorvane)` and the target Quorvane::quorvane.
 */
#ifndef QUORVANE_H
#define QUORVANE_H

#include <stddef.h>
#include <stdint.h>

#if defined(QUORVANE_BUILDING) && defined(__GNUC__)
#define QUORVANE_API __attribute__((visibility("default")))
#else
#define QUORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes ----------------------------------------------------------------------- */

/* The result of every call that can fail. The numbers are part of the ABI and never change. */
typedef enum quorvane_code {
    QUORVANE_OK = 0,
    QUORVANE_ERROR_NULL = -1,           /* a required pointer argument is NULL */
    QUORVANE_ERROR_SETTING = -2,        /* a setting is outside its limits (see last_error) */
    QUORVANE_ERROR_SIZE_LIMIT = -3,     /* the input to pack is not 82..32767 bytes */
    QUORVANE_ERROR_NOT_SUCCESSFUL = -4, /* packing found no stream worth keeping */
    QUORVANE_ERROR_RESTORE_FAILED = -5, /* the rod stream does not restore with these settings */
    QUORVANE_ERROR_CHECKSUM = -6,       /* the integrity trailer does not match the rod file */
    QUORVANE_ERROR_CORRUPT = -7,        /* the input cannot be a rod file (see last_error) */
    QUORVANE_ERROR_ZLIB = -8,           /* zlib refused the data (zlib's message in last_error) */
    QUORVANE_ERROR_OVERFLOW = -9,       /* a counter left the 32-bit range */
    QUORVANE_ERROR_INVALID_OP = -10,    /* a bit weight of 2^31 or more was formed */
    QUORVANE_ERROR_CANCELLED = -11,     /* the progress callback asked to stop */
    QUORVANE_ERROR_MEMORY = -12,        /* out of memory */
    QUORVANE_ERROR_INTERNAL = -13,      /* any other failure (its message in last_error) */
    QUORVANE_ERROR_AMBIGUOUS = -14      /* detection: the rod file restores to several files */
} quorvane_code;

/* The message text of a code: the engine's own text where the code stands for one fixed message
 * (QUORVANE_ERROR_SIZE_LIMIT: "Quorvane Limit: 83 Bytes < File > 32 KBytes", ...), a short
 * description otherwise; "Unknown error code" for a number that is no code. The string is
 * static: never free it. Thread-safe. */
QUORVANE_API const char* quorvane_error_text(int code);

/* The exact message of the last call that failed on the calling thread ("Rod size must be 2 to
 * 128, not 200", zlib's "data error", ...); "" when none has failed. Valid until the thread's
 * next call into the library; never free it. */
QUORVANE_API const char* quorvane_last_error(void);

/* The library's version, "MAJOR.MINOR.PATCH", the same as the programs'. Static string. */
QUORVANE_API const char* quorvane_version(void);

/* Releases a buffer the library returned. NULL is allowed and does nothing. */
QUORVANE_API void quorvane_free(void* buffer);

/* ---- Settings ----------------------------------------------------------------------------- */

/* How a rod stream is packed and restored. Fill it with quorvane_default_settings() first, then
 * change what you need. A rod file records neither rod_size nor lz77: restoring needs the values
 * it was packed with (or detect). The layout is part of the ABI: a field added means a new
 * soname. */
typedef struct quorvane_settings {
    int rod_size;        /* bits per rod, 2..128 (default 2) */
    int depth;           /* a cycle's passes stop at this percent of its start size, 1..60 (1) */
    int level;           /* packing stops at this percent of the original size, 1..100 (1) */
    int lz77;            /* nonzero: decision parts deflated with zlib (1) */
    int single;          /* nonzero: one cycle only (0) */
    int32_t loop_count;  /* cycles after which auto stop is switched on (2) */
    int integrity_check; /* packing: nonzero appends the integrity trailer (1) */
    int detect;          /* unpacking: nonzero finds rod_size and lz77 as quorvane_detect() (0) */
    int experimental;    /* shown with a run's statistics; the passes do not depend on it (0) */
} quorvane_settings;

/* Sets *settings to the desktop program's defaults (rod size 2, depth 1, level 1, LZ77 on,
 * nonstop cycles, loop count 2, integrity trailer on, no detection). Does nothing for NULL. */
QUORVANE_API void quorvane_default_settings(quorvane_settings* settings);

/* ---- Progress --------------------------------------------------------------------------- */

/* What a progress record reports. */
typedef enum quorvane_progress_kind {
    QUORVANE_PROGRESS_PASS = 1,        /* packing: a forward pass ran or was undone */
    QUORVANE_PROGRESS_CYCLE = 2,       /* packing: a cycle ended */
    QUORVANE_PROGRESS_ROUND = 3,       /* restoring: the header of a cycle's stream was read */
    QUORVANE_PROGRESS_REVERSE_PASS = 4 /* restoring: a reverse pass ran */
} quorvane_progress_kind;

/* What became of a forward pass. */
typedef enum quorvane_pass_fate {
    QUORVANE_PASS_RAN = 0,     /* the cycle goes on from its result */
    QUORVANE_PASS_UNDONE = 1,  /* taken back: no change, the balance limit broken, or no restore */
    QUORVANE_PASS_FALLBACK = 2 /* the pass the cycle went back to after later ones were undone */
} quorvane_pass_fate;

/* What a packing cycle ended with. */
typedef enum quorvane_cycle_fate {
    QUORVANE_CYCLE_KEPT = 0,          /* a new best stream; another cycle follows */
    QUORVANE_CYCLE_FINALISED = 1,     /* the stream to write is chosen */
    QUORVANE_CYCLE_ROLLED_BACK = 2,   /* the best earlier stream is written instead */
    QUORVANE_CYCLE_NOT_SUCCESSFUL = 3 /* nothing worth writing */
} quorvane_cycle_fate;

/* One record of a run's progress. Fields that a kind does not use are 0. */
typedef struct quorvane_progress {
    int kind;          /* a quorvane_progress_kind */
    int32_t cycle;     /* the packing cycle, from 1 */
    int64_t pass;      /* PASS, REVERSE_PASS: the pass within the cycle; CYCLE, ROUND: its passes */
    int64_t bits_in;   /* PASS: data bits before it; CYCLE: the cycle's start stream */
    int64_t bits_out;  /* PASS, REVERSE_PASS: data bits after it; CYCLE: the stream it built */
    int32_t low_rods;  /* rods split in the cycle so far */
    int32_t high_rods; /* rods kept whole in the cycle so far (REVERSE_PASS: those left) */
    int fate;          /* PASS: a quorvane_pass_fate; CYCLE: a quorvane_cycle_fate */
    int last;          /* PASS: nonzero when the cycle runs no further pass */
    int64_t decision_bits;   /* PASS: decision bits of the cycle so far */
    int64_t depth_threshold; /* PASS: the cycle's passes stop at this many data bits */
    int64_t level_bits;      /* PASS: the run stops once a stream is this small */
    int64_t best_bits;       /* CYCLE: the best stream of the run so far (0: none yet) */
} quorvane_progress;

/* Called on the calling thread during quorvane_pack() and quorvane_unpack() with each record;
 * user is the pointer given to the call. Return 0 to go on, nonzero to stop: the call then
 * returns QUORVANE_ERROR_CANCELLED with nothing allocated. The record is valid only during the
 * callback. The callback must not call into the library with the same buffers. */
typedef int (*quorvane_progress_fn)(const quorvane_progress* record, void* user);

/* ---- Packing and restoring ------------------------------------------------------------- */

/* Packs in_size bytes (82..32767) with settings into a rod file, proven to restore before it is
 * returned: exactly the bytes `quorvane-cli pack` writes for the same input and settings,
 * integrity trailer included when settings->integrity_check is set. settings NULL: the
 * defaults. progress may be NULL. On success *out holds the rod file (free it with
 * quorvane_free) and *out_size its length.
 * Errors: NULL, SETTING, SIZE_LIMIT, NOT_SUCCESSFUL, CANCELLED, MEMORY, and the engine's own. */
QUORVANE_API int quorvane_pack(const void* in, size_t in_size, const quorvane_settings* settings,
                               quorvane_progress_fn progress, void* user, void** out,
                               size_t* out_size);

/* Restores the rod file in rod (at most 16 MiB) with the rod size and LZ77 setting of settings
 * (NULL: the defaults) into *out, *out_size; with settings->detect set, with the ones detection
 * finds instead, as `quorvane-cli unpack --detect` does. A file that ends in an integrity trailer
 * is checked against it. Errors: NULL, SETTING, RESTORE_FAILED (wrong settings or damaged data;
 * with detect: no setting restores it), AMBIGUOUS (with detect), CHECKSUM, CORRUPT, ZLIB,
 * OVERFLOW, INVALID_OP, CANCELLED, MEMORY. */
QUORVANE_API int quorvane_unpack(const void* rod, size_t rod_size,
                                 const quorvane_settings* settings, quorvane_progress_fn progress,
                                 void* user, void** out, size_t* out_size);

/* quorvane_unpack() without keeping the result: QUORVANE_OK when the rod file restores. */
QUORVANE_API int quorvane_test(const void* rod, size_t rod_size, const quorvane_settings* settings);

/* ---- Reading a rod file ----------------------------------------------------------------- */

/* What the outer header of a rod file says, read without restoring it. */
typedef struct quorvane_rod_info {
    int32_t cycle_count;           /* packing cycles */
    int32_t pass_depth;            /* passes of the newest cycle */
    int32_t trailing_bit_count;    /* data bits beyond the last whole rod */
    int32_t low_rods;              /* rods split in the newest cycle */
    int32_t rod_balance;           /* high minus low rods */
    int32_t data_bit_count;        /* data bits of the stream */
    int32_t source_byte_count;     /* bytes of the stream the newest cycle packed */
    int64_t high_rods;             /* low_rods + rod_balance */
    int64_t file_bytes;            /* the whole file */
    int64_t stream_bytes;          /* the rod stream: header, data, pad and decision part */
    int64_t decision_bytes;        /* the decision part */
    int decisions_start_like_zlib; /* nonzero: most likely packed with LZ77 */
    int has_integrity_trailer;     /* nonzero: the file ends in a valid integrity trailer */
    int64_t header_data_pad_bytes; /* the rod stream before its decision part */
    int trailer_state;             /* 0: no trailer; 1: valid; 2: tagged but damaged */
    int trailer_version;           /* trailer_state 1, 2: the fields as found */
    int64_t content_bytes;         /* ... the packed file's length */
    uint32_t content_crc32;        /* ... its CRC-32 */
    uint32_t stream_crc32;         /* ... the CRC-32 of every byte before that field */
} quorvane_rod_info;

/* Reads the outer header of the rod file in rod into *info. Errors: NULL, CORRUPT (too short
 * for a header, or fields that cannot describe its length; the reason in last_error). */
QUORVANE_API int quorvane_info(const void* rod, size_t rod_size, quorvane_rod_info* info);

/* What detection found. */
typedef struct quorvane_detection {
    int results;    /* distinct files the rod file restores to: 1 means found, 0 none */
    int rod_size;   /* results >= 1: the first setting that gives the first result */
    int lz77;       /* ... and its LZ77 setting */
    int confirmed;  /* the integrity trailer confirms that result */
    int32_t cycles; /* packing cycles of that result */
    int64_t passes; /* passes that packed them */
    int32_t tried;  /* settings tried */
    int32_t total;  /* settings there are */
    int lz77_first; /* LZ77 on was tried first (the decision part looks deflated) */
} quorvane_detection;

/* Tries every rod size with LZ77 on and off (on threads of its own, one per core) and stops as
 * soon as the outcome is fixed, as `quorvane-cli unpack --detect` does. Restore with the
 * settings found when detection->results is 1. Errors: NULL, CHECKSUM (a damaged integrity
 * trailer), CORRUPT (larger than 16 MiB), MEMORY. Finding nothing is no error. */
QUORVANE_API int quorvane_detect(const void* rod, size_t rod_size, quorvane_detection* detection);

/* A rod size and LZ77 setting. */
typedef struct quorvane_rod_setting {
    int rod_size;
    int lz77;
} quorvane_rod_setting;

/* One distinct file a rod file restores to, and every setting that gives it. */
typedef struct quorvane_detected {
    int64_t bytes;     /* the restored file's length */
    uint32_t crc32;    /* its CRC-32 */
    int32_t cycles;    /* packing cycles undone */
    int64_t passes;    /* passes that packed them */
    int confirmed;     /* the integrity trailer confirms it */
    int setting_count; /* settings[0 .. setting_count-1], in the order tried */
    quorvane_rod_setting settings[256];
} quorvane_detected;

/* Like quorvane_detect() (which stops as soon as the outcome is fixed when stop_when_decided is
 * nonzero), but lists every distinct result, as `quorvane-cli detect` does: *results (free it
 * with quorvane_free) holds *result_count records in the order of the first setting that gave
 * each; *summary gets the counts and the first result, and lz77_first whether LZ77 on was tried
 * first. Errors as quorvane_detect(). */
QUORVANE_API int quorvane_detect_all(const void* rod, size_t rod_size, int stop_when_decided,
                                     quorvane_detection* summary, quorvane_detected** results,
                                     size_t* result_count);

/* ---- Studying a setting ----------------------------------------------------------------- */

/* The settings a study varies; the rest keep the defaults. quorvane_default_study_setting()
 * fills it. */
typedef struct quorvane_study_setting {
    int rod_size;  /* 2..128 (2) */
    int depth;     /* 1..60 (1) */
    int lz77;      /* (1) */
    int single;    /* (0) */
    int32_t loops; /* (2) */
} quorvane_study_setting;

QUORVANE_API void quorvane_default_study_setting(quorvane_study_setting* setting);

typedef enum quorvane_study_outcome {
    QUORVANE_STUDY_PACKED = 0,         /* a rod stream that restored to the input */
    QUORVANE_STUDY_NOT_SUCCESSFUL = 1, /* packing found nothing worth keeping */
    QUORVANE_STUDY_NOT_RESTORED = 2    /* the stream packing kept did not restore to the input */
} quorvane_study_outcome;

typedef struct quorvane_study_result {
    int outcome;       /* a quorvane_study_outcome */
    int64_t rod_bytes; /* the rod stream's size (PACKED, NOT_RESTORED) */
    int32_t cycles;    /* packing cycles in it */
    int64_t passes;    /* their passes */
    double pack_ms;    /* time of the packing run */
    double restore_ms; /* time of the restoration */
} quorvane_study_result;

/* Packs in (82..32767 bytes) with setting (NULL: the defaults), restores the stream and
 * compares, as `quorvane-cli study` does for one file and one setting. Errors: NULL, SETTING,
 * SIZE_LIMIT, MEMORY. */
QUORVANE_API int quorvane_study(const void* in, size_t in_size,
                                const quorvane_study_setting* setting,
                                quorvane_study_result* result);

/* The baselines a study compares the settings with: an OR of these bits. */
typedef enum quorvane_baseline {
    QUORVANE_BASELINE_ZLIB = 1,    /* the zlib stream of `quorvane-cli compress` (level 9) */
    QUORVANE_BASELINE_ZSTD = 2,    /* what `zstd -19` writes (frame with size and checksum) */
    QUORVANE_BASELINE_XZ = 4,      /* what `xz -9e` writes (.xz container, CRC64) */
    QUORVANE_BASELINE_ENTROPY = 8, /* the order-0 entropy of the bytes: a reference, not a bound */
    QUORVANE_BASELINES_ALL = 15
} quorvane_baseline;

/* Studies in (any size: above 32767 bytes in blocks of 32767 bytes, each packed as a file of its
 * own) under the setting_count settings (NULL, 0: rod sizes 2, 3, 4 and 8 with the defaults),
 * beside the baselines (an OR of quorvane_baseline), and gives the file's record exactly as
 * `quorvane-cli study --json` writes it in "files": a JSON object in UTF-8 naming the input name
 * (NULL: ""), with the pass and cycle records of every run when trace is nonzero. *json (free it
 * with quorvane_free) ends in a newline and a NUL, which *json_size does not count. An input under
 * 82 bytes gives a record with "skipped". Runs on the calling thread. Errors: NULL, SETTING,
 * MEMORY. */
QUORVANE_API int quorvane_study_json(const void* in, size_t in_size, const char* name,
                                     const quorvane_study_setting* settings, size_t setting_count,
                                     unsigned baselines, int trace, char** json, size_t* json_size);

/* ---- Whole-buffer zlib ------------------------------------------------------------------ */

/* One zlib stream of the input, exactly what `quorvane-cli compress` writes (level 9).
 * Errors: NULL, ZLIB, MEMORY. */
QUORVANE_API int quorvane_zlib_compress(const void* in, size_t in_size, void** out,
                                        size_t* out_size);

/* The content of the zlib stream at the start of in; bytes after it are ignored. Errors: NULL,
 * ZLIB ("data error" for data that is no zlib stream, "unexpected end of file" for one cut
 * short), MEMORY. */
QUORVANE_API int quorvane_zlib_decompress(const void* in, size_t in_size, void** out,
                                          size_t* out_size);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANE_H */
