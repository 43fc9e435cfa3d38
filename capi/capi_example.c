/* capi_example.c -- packs a buffer into a rod stream with libquorvane and restores it.
 * Build: cc capi_example.c $(pkg-config --cflags --libs quorvane) */
#include <quorvane.h>
#include <stdio.h>
int main(void) {
    static unsigned char in[4000];
    for (int i = 0; i < 4000; ++i)
        in[i] = (unsigned char)(i % 7 == 0 ? i : 0);
    quorvane_settings s;
    quorvane_default_settings(&s); /* the desktop program's defaults: rod size 2, LZ77 on, ... */
    s.rod_size = 3;
    void *rod = NULL, *back = NULL;
    size_t rod_size = 0, back_size = 0;
    /* NULL, NULL: no progress function, no user data for it */
    int rc = quorvane_pack(in, sizeof in, &s, NULL, NULL, &rod, &rod_size);
    if (rc != QUORVANE_OK) {
        fprintf(stderr, "%s\n", quorvane_error_text(rc));
        return 1;
    }
    rc = quorvane_unpack(rod, rod_size, &s, NULL, NULL, &back, &back_size);
    printf("%s %zu -> %zu -> %zu\n", quorvane_version(), sizeof in, rod_size, back_size);
    quorvane_free(rod);
    quorvane_free(back);
    return rc == QUORVANE_OK && back_size == sizeof in ? 0 : 1;
}
