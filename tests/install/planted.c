/* Planted in the caller's folder as nsocr/libNSOCR.so: a library that
 * announces being loaded by writing the file named by PLANTED_MARKER. */
#include <stdio.h>

__attribute__((constructor)) static void announce(void)
{
    FILE *marker = fopen(PLANTED_MARKER, "w");
    if (marker)
        fclose(marker);
}
