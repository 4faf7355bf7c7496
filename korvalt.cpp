// SPDX-License-Identifier: MIT
// korvalt: print a greeting and list the arguments.
//
// Standard output gets "Korvalt ..." and, when there are arguments, an empty
// line and the heading "Arguments:" with no line end.  Standard error gets
// one entry per argument, "N: ARG", run together with no separator.  Exit
// status is 0, or 1 when a write to either stream failed.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

int main(int argc, char *argv[])
{
    // Hold the listing in standard error's buffer, written out when it fills
    // and at the end, instead of one write per inserted item.  libstdc++
    // then gives std::cerr a buffer of its own; libc++ writes std::cerr
    // through the C stream, so that is made fully buffered too.
    static char stderr_buffer[BUFSIZ];
    std::ios::sync_with_stdio(false);
    std::setvbuf(stderr, stderr_buffer, _IOFBF, sizeof stderr_buffer);
    std::cerr << std::nounitbuf;

    // iostreams keep no error number, so take errno the moment std::cout is
    // first seen to have failed: that is the error the diagnostic names.
    int stdout_errno = 0;
    const auto note_stdout_errno = [&stdout_errno] {
        if (!std::cout && stdout_errno == 0)
            stdout_errno = errno != 0 ? errno : EIO;
    };

    std::cout << "Korvalt ..." << std::endl;
    note_stdout_errno();

    if (argc > 1) {
        std::cout << std::endl << "Arguments:" << std::flush;
        note_stdout_errno();
        // With the heading out, std::cerr need not flush std::cout before
        // every insertion: those flushes would cost more than the listing.
        std::cerr.tie(nullptr);
        for (int i = 1; i < argc; ++i)
            std::cerr << i << ": " << argv[i];
    }

    std::cout.flush();
    note_stdout_errno();

    if (!std::cout) {
        if (argc > 1)
            std::cerr << '\n';
        std::cerr << "korvalt: write error: " << std::strerror(stdout_errno) << '\n';
    }
    std::cerr.flush();
    return std::cout && std::cerr ? EXIT_SUCCESS : EXIT_FAILURE;
}
