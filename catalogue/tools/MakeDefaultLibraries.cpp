// Writes the default screen-notes libraries into the folder given on the
// command line (tools/make-default-libraries.sh runs it under Wine and keeps
// the result in resources/Libraries, which the build puts beside the
// program). Exit code 0 when all three were written.
#include "catalogue/DefaultLibraries.h"

#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_default_libraries <folder>\n");
        return 2;
    }
    if (!defaultlibraries::Write(argv[1], NULL)) {
        fprintf(stderr, "make_default_libraries: could not write the libraries into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
